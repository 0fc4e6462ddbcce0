// File queues: SetupOpenFileQueue, SetupInstallFilesFromInfSectionA,
// SetupCommitFileQueueA, SetupCloseFileQueue and the default queue callback.
// Commits copy, rename and delete real files, with the notifications a
// callback sees on Windows, and obey the callback's answers.
#include "platform/sim/kernel32/kernel32.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/setupapi/setupapi.h"

#include <cstring>
#include <fstream>
#include <unordered_map>

#include <sys/stat.h>

namespace sim::internal {
namespace {

// Flags of copy-section lines (field 4) that change how a file is copied.
constexpr DWORD kCopyFlagNoVersionCheck = 0x4;
constexpr DWORD kCopyFlagNoOverwrite = 0x10;
constexpr DWORD kCopyFlagOverwriteOlderOnly = 0x40;
constexpr DWORD kCopyFlagReplaceOnly = 0x400;
constexpr long kAbsoluteDirectoryId = -1;
constexpr long kDefaultDirectoryId = 11;  // the system directory, as DIRID_DEFAULT

struct QueueContext {
  HWND owner = nullptr;
  HWND progress = nullptr;
  UINT message = 0;
};

std::unordered_map<const void*, FileQueueData> g_queues;
std::unordered_map<const void*, QueueContext> g_contexts;
ResetHook g_reset([] {
  g_queues.clear();
  g_contexts.clear();
});

std::optional<long> IntegerOf(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const long value = std::strtol(text.c_str(), &end, hex ? 16 : 10);
  if (!end || *end != '\0') return std::nullopt;
  return value;
}

// The target directory of a copy section: its [DestinationDirs] entry, or
// DefaultDestDir, or the system directory.
DWORD DestinationOf(const InfData& inf, std::string_view section, std::string& dir) {
  const InfLine* line = inf.FindLine("DestinationDirs", section);
  if (!line) line = inf.FindLine("DestinationDirs", "DefaultDestDir");
  long id = kDefaultDirectoryId;
  std::string subdir;
  if (line) {
    const auto idText = inf.Field(*line, 1);
    const auto parsed = idText ? IntegerOf(*idText) : std::nullopt;
    if (!parsed) return ERROR_INVALID_DATA;
    id = *parsed;
    subdir = inf.Field(*line, 2).value_or(std::string());
  }
  if (id == kAbsoluteDirectoryId) {
    if (!IsFullWindowsPath(subdir)) return ERROR_INVALID_DATA;
    dir = subdir;
    return ERROR_SUCCESS;
  }
  const auto base = DirectoryOfId(inf, id);
  if (!base) return ERROR_INVALID_DATA;
  dir = JoinWindowsPath(*base, subdir);
  return ERROR_SUCCESS;
}

// The source directory below the source root of a file: the disk's path of
// [SourceDisksNames] and the file's subdirectory of [SourceDisksFiles], the
// platform's decorated sections first.
std::string SourceSubdirectory(const InfData& layout, const std::string& file) {
  const std::string arch = CurrentMachine().architecture;
  auto find = [&](const char* base, std::string_view key) -> const InfLine* {
    if (CurrentMachine().IsNtFamily())
      if (const InfLine* l = layout.FindLine(std::string(base) + "." + arch, key)) return l;
    return layout.FindLine(base, key);
  };
  const InfLine* fileLine = find("SourceDisksFiles", file);
  if (!fileLine) return std::string();
  const std::string disk = layout.Field(*fileLine, 1).value_or(std::string());
  const std::string fileDir = layout.Field(*fileLine, 2).value_or(std::string());
  std::string diskDir;
  if (!disk.empty())
    if (const InfLine* diskLine = find("SourceDisksNames", disk)) diskDir = layout.Field(*diskLine, 4).value_or(std::string());
  return JoinWindowsPath(diskDir, fileDir);
}

DWORD QueueCopySection(FileQueueData& out, const InfData& inf, const InfData& layout, const std::string& section,
                       const std::string& sourceRoot, DWORD copyFlags) {
  const InfSection* s = inf.Section(section);
  if (!s || s->lines.empty()) return ERROR_LINE_NOT_FOUND;
  std::string dir;
  if (DWORD error = DestinationOf(inf, section, dir)) return error;
  for (const InfLine& line : s->lines) {
    const std::string target = inf.Field(line, 1).value_or(std::string());
    if (target.empty()) return ERROR_INVALID_DATA;
    std::string source = inf.Field(line, 2).value_or(std::string());
    if (source.empty()) source = target;
    DWORD style = copyFlags;
    if (const auto flags = IntegerOf(inf.Field(line, 4).value_or(std::string()))) {
      if (*flags & kCopyFlagNoOverwrite) style |= SP_COPY_NOOVERWRITE;
      if (*flags & kCopyFlagReplaceOnly) style |= SP_COPY_REPLACEONLY;
      if (*flags & kCopyFlagOverwriteOlderOnly) style |= SP_COPY_NEWER;
      if (*flags & kCopyFlagNoVersionCheck) style &= ~static_cast<DWORD>(SP_COPY_NEWER);
    }
    out.copies.push_back(QueuedCopy{
        JoinWindowsPath(JoinWindowsPath(sourceRoot, SourceSubdirectory(layout, source)), source),
        JoinWindowsPath(dir, target), style});
  }
  return ERROR_SUCCESS;
}

DWORD QueueDeleteSection(FileQueueData& out, const InfData& inf, const std::string& section) {
  const InfSection* s = inf.Section(section);
  if (!s || s->lines.empty()) return ERROR_LINE_NOT_FOUND;
  std::string dir;
  if (DWORD error = DestinationOf(inf, section, dir)) return error;
  for (const InfLine& line : s->lines) {
    const std::string target = inf.Field(line, 1).value_or(std::string());
    if (target.empty()) return ERROR_INVALID_DATA;
    out.deletes.push_back(QueuedDelete{JoinWindowsPath(dir, target)});
  }
  return ERROR_SUCCESS;
}

DWORD QueueRenameSection(FileQueueData& out, const InfData& inf, const std::string& section) {
  const InfSection* s = inf.Section(section);
  if (!s || s->lines.empty()) return ERROR_LINE_NOT_FOUND;
  std::string dir;
  if (DWORD error = DestinationOf(inf, section, dir)) return error;
  for (const InfLine& line : s->lines) {
    const std::string newName = inf.Field(line, 1).value_or(std::string());
    const std::string oldName = inf.Field(line, 2).value_or(std::string());
    if (newName.empty() || oldName.empty()) return ERROR_INVALID_DATA;
    out.renames.push_back(QueuedRename{JoinWindowsPath(dir, oldName), JoinWindowsPath(dir, newName)});
  }
  return ERROR_SUCCESS;
}

// The file version of a file's version resource (VS_FIXEDFILEINFO), if it has one.
std::optional<uint64_t> FileVersionOf(const std::string& windowsPath) {
  const HostPath p = MapWindowsPath(windowsPath);
  if (!p.ok()) return std::nullopt;
  std::ifstream in(p.host, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto dword = [&](size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
  };
  for (size_t at = 0; at + 16 <= bytes.size(); at += 4) {
    if (dword(at) == 0xFEEF04BDu && dword(at + 4) == 0x00010000u)
      return (static_cast<uint64_t>(dword(at + 8)) << 32) | dword(at + 12);
  }
  return std::nullopt;
}

bool Exists(const std::string& windowsPath) {
  const HostPath p = MapWindowsPath(windowsPath);
  struct stat info;
  return p.ok() && ::stat(p.host.c_str(), &info) == 0;
}

// Makes the target's directory, as the queue does before a copy.
DWORD MakeParentDirectory(const std::string& target) {
  const HostPath p = MapWindowsPath(target);
  if (!p.ok()) return p.error;
  std::error_code ec;
  fs::create_directories(p.host.parent_path(), ec);
  return ec ? ERROR_PATH_NOT_FOUND : ERROR_SUCCESS;
}

BOOL RenameNoFault(const std::string& from, const std::string& to) {
  const HostPath a = MapWindowsPath(from), b = MapWindowsPath(to);
  if (!a.ok() || !b.ok()) {
    SetError(!a.ok() ? a.error : b.error);
    return FALSE;
  }
  struct stat info;
  if (::stat(a.host.c_str(), &info) != 0) {
    SetError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (::stat(b.host.c_str(), &info) == 0) {
    SetError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  std::error_code ec;
  fs::rename(a.host, b.host, ec);
  if (ec) {
    SetError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  Record({{"event", "file_rename"},
          {"from", AnsiToUtf8(a.windows)},
          {"to", AnsiToUtf8(b.windows)},
          {"summary", "renamed " + AnsiToUtf8(a.windows) + " -> " + AnsiToUtf8(b.windows)}});
  return TRUE;
}

const char* NotificationName(UINT notification) {
  switch (notification) {
    case SPFILENOTIFY_COPYERROR: return "COPYERROR";
    case SPFILENOTIFY_DELETEERROR: return "DELETEERROR";
    case SPFILENOTIFY_RENAMEERROR: return "RENAMEERROR";
    case SPFILENOTIFY_NEEDMEDIA: return "NEEDMEDIA";
    default: return "notification";
  }
}

void RecordPrompt(UINT notification, const std::string& path, DWORD error, const char* answer) {
  Record({{"event", "queue_prompt"},
          {"notification", NotificationName(notification)},
          {"path", AnsiToUtf8(path)},
          {"error", error},
          {"answer", answer},
          {"summary", std::string("file queue would ask the user (") + NotificationName(notification) + ", " +
                          AnsiToUtf8(path) + ", error " + std::to_string(error) + "); no window: " + answer}});
}

}  // namespace

DWORD QueueInstallSection(FileQueueData& queue, const InfData& inf, const InfData& layout, std::string_view section,
                          const std::string& sourceRoot, DWORD copyFlags) {
  const InfSection* s = inf.Section(section);
  if (!s) return ERROR_SECTION_NOT_FOUND;
  FileQueueData added;  // only a section that queues whole is added
  for (const InfLine& line : s->lines) {
    if (!line.hasKey) continue;
    const std::string key = inf.Expand(line.key);
    const bool copy = EqualsNoCase(key, "CopyFiles"), del = EqualsNoCase(key, "DelFiles"),
               ren = EqualsNoCase(key, "RenFiles");
    if (!copy && !del && !ren) continue;
    for (size_t i = 1; i <= line.fields.size(); ++i) {
      const std::string name = inf.Field(line, i).value_or(std::string());
      if (name.empty()) continue;
      DWORD error = ERROR_SUCCESS;
      if (copy && name[0] == '@') {
        // A single file, bound for the default destination.
        std::string dir;
        error = DestinationOf(inf, "DefaultDestDir", dir);
        const std::string file = name.substr(1);
        if (!error && file.empty()) error = ERROR_INVALID_DATA;
        if (!error)
          added.copies.push_back(QueuedCopy{
              JoinWindowsPath(JoinWindowsPath(sourceRoot, SourceSubdirectory(layout, file)), file),
              JoinWindowsPath(dir, file), copyFlags});
      } else if (copy) {
        error = QueueCopySection(added, inf, layout, name, sourceRoot, copyFlags);
      } else if (del) {
        error = QueueDeleteSection(added, inf, name);
      } else {
        error = QueueRenameSection(added, inf, name);
      }
      if (error) return error;
    }
  }
  for (auto& c : added.copies) queue.copies.push_back(std::move(c));
  for (auto& d : added.deletes) queue.deletes.push_back(std::move(d));
  for (auto& r : added.renames) queue.renames.push_back(std::move(r));
  return ERROR_SUCCESS;
}

bool CommitQueue(const FileQueueData& queue, HWND owner, const QueueHandler& handler) {
  if (queue.Empty()) {
    SetError(ERROR_SUCCESS);
    return true;
  }
  // Each notification starts with a clear error code, so that an abort tells
  // what the callback reported.
  auto notify = [&](UINT notification, UINT_PTR p1, UINT_PTR p2) {
    SetError(ERROR_SUCCESS);
    return handler(notification, p1, p2);
  };
  DWORD abortError = ERROR_SUCCESS;
  auto aborted = [&] {
    abortError = GetLastError();
    if (abortError == ERROR_SUCCESS) abortError = ERROR_CANCELLED;
    return false;
  };
  if (!notify(SPFILENOTIFY_STARTQUEUE, reinterpret_cast<UINT_PTR>(owner), 0)) {
    aborted();
    SetError(abortError);
    return false;
  }
  bool ok = [&] {
    if (!queue.deletes.empty()) {
      if (!notify(SPFILENOTIFY_STARTSUBQUEUE, FILEOP_DELETE, queue.deletes.size())) return aborted();
      for (const QueuedDelete& op : queue.deletes) {
        FILEPATHS_A paths{op.target.c_str(), nullptr, 0, 0};
        UINT answer = notify(SPFILENOTIFY_STARTDELETE, reinterpret_cast<UINT_PTR>(&paths), FILEOP_DELETE);
        if (answer == FILEOP_ABORT) return aborted();
        while (answer == FILEOP_DOIT) {
          // A file that is not there is already deleted.
          if (DeleteFileNoFault(op.target.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
              GetLastError() == ERROR_PATH_NOT_FOUND)
            break;
          paths.Win32Error = GetLastError();
          answer = notify(SPFILENOTIFY_DELETEERROR, reinterpret_cast<UINT_PTR>(&paths), 0);
          if (answer == FILEOP_ABORT) return aborted();
        }
        notify(SPFILENOTIFY_ENDDELETE, reinterpret_cast<UINT_PTR>(&paths), 0);
      }
      notify(SPFILENOTIFY_ENDSUBQUEUE, FILEOP_DELETE, 0);
    }
    if (!queue.renames.empty()) {
      if (!notify(SPFILENOTIFY_STARTSUBQUEUE, FILEOP_RENAME, queue.renames.size())) return aborted();
      for (const QueuedRename& op : queue.renames) {
        FILEPATHS_A paths{op.target.c_str(), op.source.c_str(), 0, 0};
        UINT answer = notify(SPFILENOTIFY_STARTRENAME, reinterpret_cast<UINT_PTR>(&paths), FILEOP_RENAME);
        if (answer == FILEOP_ABORT) return aborted();
        while (answer == FILEOP_DOIT) {
          if (RenameNoFault(op.source, op.target)) break;
          paths.Win32Error = GetLastError();
          answer = notify(SPFILENOTIFY_RENAMEERROR, reinterpret_cast<UINT_PTR>(&paths), 0);
          if (answer == FILEOP_ABORT) return aborted();
        }
        notify(SPFILENOTIFY_ENDRENAME, reinterpret_cast<UINT_PTR>(&paths), 0);
      }
      notify(SPFILENOTIFY_ENDSUBQUEUE, FILEOP_RENAME, 0);
    }
    if (!queue.copies.empty()) {
      if (!notify(SPFILENOTIFY_STARTSUBQUEUE, FILEOP_COPY, queue.copies.size())) return aborted();
      for (const QueuedCopy& op : queue.copies) {
        std::string source = op.source;
        FILEPATHS_A paths{op.target.c_str(), source.c_str(), 0, 0};
        char newPath[MAX_PATH] = {};
        UINT answer = notify(SPFILENOTIFY_STARTCOPY, reinterpret_cast<UINT_PTR>(&paths), FILEOP_COPY);
        if (answer == FILEOP_ABORT) return aborted();
        if (answer == FILEOP_NEWPATH) answer = FILEOP_DOIT;
        while (answer == FILEOP_DOIT || answer == FILEOP_NEWPATH) {
          if (answer == FILEOP_NEWPATH) {
            // The callback's new source path, which it wrote into MAX_PATH bytes.
            if (std::memchr(newPath, '\0', sizeof newPath) && newPath[0]) source = newPath;
            paths.Source = source.c_str();
          }
          const bool exists = Exists(op.target);
          if ((op.style & SP_COPY_REPLACEONLY) && !exists) break;
          if ((op.style & SP_COPY_NOOVERWRITE) && exists &&
              !notify(SPFILENOTIFY_TARGETEXISTS, reinterpret_cast<UINT_PTR>(&paths), 0))
            break;
          if ((op.style & SP_COPY_NEWER) && exists) {
            // Only two version resources can say the target is newer; a file
            // without one counts as older.
            const auto have = FileVersionOf(op.target), offered = FileVersionOf(source);
            if (have && offered && *have > *offered &&
                !notify(SPFILENOTIFY_TARGETNEWER, reinterpret_cast<UINT_PTR>(&paths), 0))
              break;
          }
          DWORD error = MakeParentDirectory(op.target);
          if (!error && CopyFileNoFault(source.c_str(), op.target.c_str(), FALSE)) {
            if (op.style & SP_COPY_DELETESOURCE) DeleteFileNoFault(source.c_str());
            break;
          }
          if (!error) error = GetLastError();
          paths.Win32Error = error;
          std::memset(newPath, 0, sizeof newPath);
          answer = notify(SPFILENOTIFY_COPYERROR, reinterpret_cast<UINT_PTR>(&paths), reinterpret_cast<UINT_PTR>(newPath));
          if (answer == FILEOP_ABORT) return aborted();
        }
        notify(SPFILENOTIFY_ENDCOPY, reinterpret_cast<UINT_PTR>(&paths), 0);
      }
      notify(SPFILENOTIFY_ENDSUBQUEUE, FILEOP_COPY, 0);
    }
    return true;
  }();
  notify(SPFILENOTIFY_ENDQUEUE, ok, 0);
  SetError(ok ? ERROR_SUCCESS : abortError);
  return ok;
}

UINT DefaultQueueAnswer(UINT notification, UINT_PTR param1, UINT_PTR, bool recordPrompts) {
  const auto* paths = reinterpret_cast<const FILEPATHS_A*>(param1);
  auto pathOf = [&](bool source) -> std::string {
    if (!paths) return std::string();
    const char* p = source ? paths->Source : paths->Target;
    return p ? p : "";
  };
  if (notification & (SPFILENOTIFY_TARGETEXISTS | SPFILENOTIFY_TARGETNEWER | 0x00010000 /* LANGMISMATCH */))
    return FALSE;  // nobody to ask: the file on the target stays
  switch (notification) {
    case SPFILENOTIFY_STARTQUEUE:
    case SPFILENOTIFY_STARTSUBQUEUE: return TRUE;
    case SPFILENOTIFY_STARTCOPY:
    case SPFILENOTIFY_STARTDELETE:
    case SPFILENOTIFY_STARTRENAME: return FILEOP_DOIT;
    case SPFILENOTIFY_DELETEERROR:
      // A file that cannot be deleted is left; the queue goes on.
      if (recordPrompts) RecordPrompt(notification, pathOf(false), paths ? paths->Win32Error : 0, "skip");
      return FILEOP_SKIP;
    case SPFILENOTIFY_COPYERROR:
    case SPFILENOTIFY_RENAMEERROR: {
      // Without a window the user cannot be asked to retry or skip: the
      // queue is aborted with the error, rather than a file silently missing.
      const DWORD error = paths && paths->Win32Error ? paths->Win32Error : ERROR_GEN_FAILURE;
      if (recordPrompts)
        RecordPrompt(notification, notification == SPFILENOTIFY_COPYERROR ? pathOf(true) : pathOf(false), error, "abort");
      SetError(error);
      return FILEOP_ABORT;
    }
    case SPFILENOTIFY_NEEDMEDIA: {
      const auto* media = reinterpret_cast<const SOURCE_MEDIA_A*>(param1);
      std::string wanted;
      if (media && media->SourcePath) {
        const char* file = media->Tagfile && *media->Tagfile ? media->Tagfile : media->SourceFile;
        wanted = JoinWindowsPath(media->SourcePath, file ? file : "");
      }
      if (!wanted.empty() && Exists(wanted)) return FILEOP_DOIT;
      if (recordPrompts) RecordPrompt(notification, wanted, ERROR_FILE_NOT_FOUND, "abort");
      SetError(ERROR_FILE_NOT_FOUND);
      return FILEOP_ABORT;
    }
    default: return 0;  // the end notifications, and those it does not know
  }
}

}  // namespace sim::internal

using namespace sim;
using namespace sim::internal;

HSPFILEQ WINAPI SetupOpenFileQueue() {
  if (auto error = FaultFor("SetupOpenFileQueue", ERROR_NOT_ENOUGH_MEMORY)) {
    SetLastError(*error);
    return INVALID_HANDLE_VALUE;
  }
  void* handle = NewHandleValue(HandleKind::FileQueue);
  g_queues[handle] = FileQueueData{};
  LedgerOpen(HandleKind::FileQueue, handle);
  SetLastError(ERROR_SUCCESS);
  return handle;
}

BOOL WINAPI SetupCloseFileQueue(HSPFILEQ queue) {
  if (auto error = FaultFor("SetupCloseFileQueue", ERROR_INVALID_HANDLE)) {
    SetLastError(*error);
    return FALSE;
  }
  if (!LedgerClose(HandleKind::FileQueue, queue, "SetupCloseFileQueue")) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  g_queues.erase(queue);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

PVOID WINAPI SetupInitDefaultQueueCallbackEx(HWND owner, HWND progress, UINT progressMessage, DWORD, PVOID) {
  if (auto error = FaultFor("SetupInitDefaultQueueCallbackEx", ERROR_NOT_ENOUGH_MEMORY)) {
    SetLastError(*error);
    return nullptr;
  }
  void* handle = NewHandleValue(HandleKind::QueueContext);
  g_contexts[handle] = QueueContext{owner, progress, progressMessage};
  LedgerOpen(HandleKind::QueueContext, handle);
  return handle;
}

void WINAPI SetupTermDefaultQueueCallback(PVOID context) {
  const DWORD before = GetLastError();
  const auto error = FaultFor("SetupTermDefaultQueueCallback", ERROR_INVALID_HANDLE);
  if (LedgerClose(HandleKind::QueueContext, context, "SetupTermDefaultQueueCallback")) g_contexts.erase(context);
  SetLastError(error ? *error : before);
}

BOOL WINAPI SetupInstallFilesFromInfSectionA(HINF inf, HINF layout, HSPFILEQ queue, PCSTR section, PCSTR sourceRoot,
                                             DWORD copyFlags) {
  if (auto error = FaultFor("SetupInstallFilesFromInfSectionA", ERROR_GEN_FAILURE)) {
    SetLastError(*error);
    return FALSE;
  }
  const auto data = OpenInfOf(inf);
  const auto layoutData = layout ? OpenInfOf(layout) : data;
  auto q = g_queues.find(queue);
  if (!data || !layoutData || q == g_queues.end() || !LedgerIsOpen(HandleKind::FileQueue, queue)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!section) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Without a source root the files are looked for beside the INF.
  const std::string root = sourceRoot ? std::string(sourceRoot) : data->directory;
  if (DWORD error = QueueInstallSection(q->second, *data, *layoutData, section, root, copyFlags)) {
    SetLastError(error);
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WINAPI SetupCommitFileQueueA(HWND owner, HSPFILEQ queue, PSP_FILE_CALLBACK_A callback, PVOID context) {
  if (auto error = FaultFor("SetupCommitFileQueueA", ERROR_GEN_FAILURE)) {
    SetLastError(*error);
    return FALSE;
  }
  auto q = g_queues.find(queue);
  if (q == g_queues.end() || !LedgerIsOpen(HandleKind::FileQueue, queue)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!callback) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // A callback may add to or close this very queue; the walk runs over a copy.
  const FileQueueData ops = q->second;
  return CommitQueue(ops, owner, [&](UINT n, UINT_PTR p1, UINT_PTR p2) { return callback(context, n, p1, p2); })
             ? TRUE
             : FALSE;
}

UINT WINAPI SetupDefaultQueueCallbackA(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2) {
  if (auto error = FaultFor("SetupDefaultQueueCallbackA", ERROR_GEN_FAILURE)) {
    SetLastError(*error);
    return FILEOP_ABORT;
  }
  if (g_contexts.find(context) == g_contexts.end() || !LedgerIsOpen(HandleKind::QueueContext, context)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FILEOP_ABORT;
  }
  return DefaultQueueAnswer(notification, param1, param2, true);
}
