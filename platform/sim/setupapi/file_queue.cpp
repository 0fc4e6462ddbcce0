// File queues: SetupOpenFileQueue, SetupInstallFilesFromInfSectionA,
// SetupCommitFileQueueA, SetupCloseFileQueue and the default queue callback.
// Commits copy, rename and delete real files, with the notifications a
// callback sees on Windows, and obey the answers the program's callback and
// the default one give.
#include "platform/sim/setupapi/file_queue.h"

#include "platform/sim/base/numbers.h"
#include "platform/sim/kernel32/kernel32.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"

#include <climits>
#include <cstring>
#include <optional>
#include <unordered_map>

#include <sys/stat.h>

namespace sim::internal {
namespace {

// Flags of copy-section lines (field 4) that change how a file is copied.
constexpr DWORD kCopyFlagNoVersionCheck = 0x4;
constexpr DWORD kCopyFlagNoOverwrite = 0x10;
constexpr DWORD kCopyFlagOverwriteOlderOnly = 0x40;
constexpr DWORD kCopyFlagReplaceOnly = 0x400;
constexpr long long kAbsoluteDirectoryId = -1;
constexpr long long kDefaultDirectoryId = 11;  // the system directory, as DIRID_DEFAULT
// The copy style the program queues its files with, and the one Plug and Play uses.
constexpr DWORD kCopyStyle = SP_COPY_NEWER;

std::unordered_map<const void*, FileQueueData> g_queues;
ResetHook g_reset([] { g_queues.clear(); });

std::optional<long long> IntegerOf(const std::string& text) { return ParseNumber(text, LONG_MIN, LONG_MAX); }

// The target directory of a copy section: its [DestinationDirs] entry, or
// DefaultDestDir, or the system directory.
DWORD DestinationOf(const InfData& inf, std::string_view section, std::string& dir) {
  const InfLine* line = inf.FindLine("DestinationDirs", section);
  if (!line) line = inf.FindLine("DestinationDirs", "DefaultDestDir");
  long long id = kDefaultDirectoryId;
  std::string subdir;
  if (line) {
    const auto parsed = IntegerOf(inf.Field(*line, 1).value_or(std::string()));
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

// A copy of `file` from below the source root: the disk's path of
// [SourceDisksNames] and the file's subdirectory of [SourceDisksFiles], the
// platform's decorated sections first.
QueuedFile CopyOf(const InfData& inf, const std::string& sourceRoot, const std::string& file, std::string target,
                  DWORD style) {
  const std::string arch = CurrentMachine().architecture;
  auto find = [&](const char* base, std::string_view key) -> const InfLine* {
    if (CurrentMachine().IsNtFamily())
      if (const InfLine* l = inf.FindLine(std::string(base) + "." + arch, key)) return l;
    return inf.FindLine(base, key);
  };
  std::string subdirectory, diskDir, description, tag;
  if (const InfLine* fileLine = find("SourceDisksFiles", file)) {
    const std::string disk = inf.Field(*fileLine, 1).value_or(std::string());
    if (!disk.empty()) {
      if (const InfLine* diskLine = find("SourceDisksNames", disk)) {
        description = inf.Field(*diskLine, 1).value_or(std::string());
        tag = inf.Field(*diskLine, 2).value_or(std::string());
        diskDir = inf.Field(*diskLine, 4).value_or(std::string());
      }
    }
    subdirectory = JoinWindowsPath(diskDir, inf.Field(*fileLine, 2).value_or(std::string()));
  }
  // The disk's directory belongs to the media, the file's own subdirectory does not.
  return QueuedFile{JoinWindowsPath(JoinWindowsPath(sourceRoot, subdirectory), file), std::move(target), style,
                    JoinWindowsPath(sourceRoot, diskDir), description, tag, file};
}

// The copy style of a copy-section line, from its flags field.
DWORD StyleOf(const InfData& inf, const InfLine& line) {
  DWORD style = kCopyStyle;
  if (const auto flags = IntegerOf(inf.Field(line, 4).value_or(std::string()))) {
    if (*flags & kCopyFlagNoOverwrite) style |= SP_COPY_NOOVERWRITE;
    if (*flags & kCopyFlagReplaceOnly) style |= SP_COPY_REPLACEONLY;
    if (*flags & kCopyFlagOverwriteOlderOnly) style |= SP_COPY_NEWER;
    if (*flags & kCopyFlagNoVersionCheck) style &= ~static_cast<DWORD>(SP_COPY_NEWER);
  }
  return style;
}

// Queues the lines of a copy, delete or rename section (`op`), bound for the
// section's destination directory.
DWORD QueueSection(FileQueueData& out, const InfData& inf, const std::string& section, UINT op,
                   const std::string& sourceRoot) {
  const InfSection* s = inf.Section(section);
  if (!s || s->lines.empty()) return ERROR_LINE_NOT_FOUND;
  std::string dir;
  if (DWORD error = DestinationOf(inf, section, dir)) return error;
  for (const InfLine& line : s->lines) {
    // copy: target[, source]; delete: target; rename: new name, old name.
    const std::string first = inf.Field(line, 1).value_or(std::string());
    const std::string second = inf.Field(line, 2).value_or(std::string());
    if (first.empty() || (op == FILEOP_RENAME && second.empty())) return ERROR_INVALID_DATA;
    if (op == FILEOP_DELETE)
      out.deletes.push_back(QueuedFile{std::string(), JoinWindowsPath(dir, first)});
    else if (op == FILEOP_RENAME)
      out.renames.push_back(QueuedFile{JoinWindowsPath(dir, second), JoinWindowsPath(dir, first)});
    else
      out.copies.push_back(CopyOf(inf, sourceRoot, second.empty() ? first : second, JoinWindowsPath(dir, first),
                                  StyleOf(inf, line)));
  }
  return ERROR_SUCCESS;
}

// The file version of a file's version resource (VS_FIXEDFILEINFO), if it has one.
std::optional<uint64_t> FileVersionOf(const std::string& windowsPath) {
  const HostPath p = MapWindowsPath(windowsPath);
  std::string bytes;
  if (!p.ok() || !ReadFileBytes(p.host, bytes)) return std::nullopt;
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
  return p.ok() && StatPath(p.host, info);
}

// Makes the target's directory, as the queue does before a copy.
DWORD MakeParentDirectory(const std::string& target) {
  const HostPath p = MapWindowsPath(target);
  if (!p.ok()) return p.error;
  return MakeDirectories(p.host.parent_path()) ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
}

BOOL RenameNoFault(const std::string& from, const std::string& to) {
  const HostPath a = MapWindowsPath(from), b = MapWindowsPath(to);
  if (!a.ok() || !b.ok()) return Fail(!a.ok() ? a.error : b.error, FALSE);
  struct stat info;
  if (!StatPath(a.host, info)) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
  if (StatPath(b.host, info)) return Fail(ERROR_ALREADY_EXISTS, FALSE);
  if (!RenamePath(a.host, b.host)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  RecordFileMove("file_rename", "renamed", a.windows, b.windows);
  return TRUE;
}

// What an answer of a queue callback asks the queue to do. The queue obeys
// the answers of the default callback, the program's skip of a file that
// cannot be deleted, and an abort (0), which a failing callback gives too;
// others (retry, a new source path, a file skipped before it is tried, a
// copy over a newer or existing file) are refused.
enum class Answer { Go, Skip, Abort, Unmodelled };

Answer Meaning(UINT notification, UINT answer) {
  switch (notification) {
    case SPFILENOTIFY_STARTQUEUE:
    case SPFILENOTIFY_STARTSUBQUEUE: return answer ? Answer::Go : Answer::Abort;
    case SPFILENOTIFY_STARTDELETE:
    case SPFILENOTIFY_STARTRENAME:
    case SPFILENOTIFY_STARTCOPY:
      return answer == FILEOP_DOIT ? Answer::Go : answer == FILEOP_ABORT ? Answer::Abort : Answer::Unmodelled;
    case SPFILENOTIFY_TARGETEXISTS:
    case SPFILENOTIFY_TARGETNEWER: return answer == FALSE ? Answer::Skip : Answer::Unmodelled;
    case SPFILENOTIFY_NEEDMEDIA:
      return answer == FILEOP_DOIT ? Answer::Go : answer == FILEOP_ABORT ? Answer::Abort : Answer::Unmodelled;
    default:  // the error notifications
      return answer == FILEOP_SKIP ? Answer::Skip : answer == FILEOP_ABORT ? Answer::Abort : Answer::Unmodelled;
  }
}

struct SubQueue {
  UINT op;  // FILEOP_DELETE, FILEOP_RENAME or FILEOP_COPY
  UINT start, failed, end;
  const std::vector<QueuedFile>& files;
};

const char* NotificationName(UINT notification) {
  switch (notification) {
    case SPFILENOTIFY_COPYERROR: return "COPYERROR";
    case SPFILENOTIFY_DELETEERROR: return "DELETEERROR";
    default: return "RENAMEERROR";
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

DWORD QueueInstallSection(FileQueueData& queue, const InfData& inf, std::string_view section,
                          const std::string& sourceRoot) {
  const InfSection* s = inf.Section(section);
  if (!s) return ERROR_SECTION_NOT_FOUND;
  FileQueueData added;  // only a section that queues whole is added
  for (const InfLine& line : s->lines) {
    if (!line.hasKey) continue;
    const std::string key = inf.Expand(line.key);
    const UINT op = EqualsNoCase(key, "CopyFiles")  ? FILEOP_COPY
                    : EqualsNoCase(key, "DelFiles") ? FILEOP_DELETE
                    : EqualsNoCase(key, "RenFiles") ? FILEOP_RENAME
                                                    : UINT_MAX;
    if (op == UINT_MAX) continue;
    for (size_t i = 1; i <= line.fields.size(); ++i) {
      const std::string name = inf.Field(line, i).value_or(std::string());
      if (name.empty()) continue;
      DWORD error = ERROR_SUCCESS;
      if (op == FILEOP_COPY && name[0] == '@') {
        // A single file, bound for the default destination.
        std::string dir;
        error = DestinationOf(inf, "DefaultDestDir", dir);
        const std::string file = name.substr(1);
        if (!error && file.empty()) error = ERROR_INVALID_DATA;
        if (!error) added.copies.push_back(CopyOf(inf, sourceRoot, file, JoinWindowsPath(dir, file), kCopyStyle));
      } else {
        error = QueueSection(added, inf, name, op, sourceRoot);
      }
      if (error) return error;
    }
  }
  for (auto list : {&FileQueueData::deletes, &FileQueueData::renames, &FileQueueData::copies})
    for (QueuedFile& f : added.*list) (queue.*list).push_back(std::move(f));
  return ERROR_SUCCESS;
}

bool CommitQueue(const FileQueueData& queue, HWND owner, const QueueHandler& handler) {
  if (queue.Empty()) {
    internal::SetError(ERROR_SUCCESS);
    return true;
  }
  DWORD stopped = ERROR_SUCCESS;  // why the queue was aborted
  // Each question starts with a clear error code, so that an abort tells
  // what the callback reported.
  auto ask = [&](UINT notification, UINT_PTR param1, UINT_PTR param2) {
    internal::SetError(ERROR_SUCCESS);
    const UINT answer = handler(notification, param1, param2);
    Answer meaning = Meaning(notification, answer);
    if (meaning == Answer::Abort) stopped = GetLastError() ? GetLastError() : static_cast<DWORD>(ERROR_CANCELLED);
    if (meaning == Answer::Unmodelled) {
      stopped = ERROR_CALL_NOT_IMPLEMENTED;
      meaning = Unmodelled("SetupCommitFileQueueA",
                           "callback answer " + std::to_string(answer) + " to notification " + std::to_string(notification),
                           stopped, Answer::Abort);
    }
    return meaning;
  };
  // Carries out one file: nullopt when the queue is to stop, else the error
  // (ERROR_SUCCESS also for a file left as it is).
  auto perform = [&](UINT op, const QueuedFile& f, FILEPATHS_A& paths) -> std::optional<DWORD> {
    if (op == FILEOP_DELETE) {
      // A file that is not there is already deleted.
      if (DeleteFileNoFault(f.target.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
          GetLastError() == ERROR_PATH_NOT_FOUND)
        return ERROR_SUCCESS;
      return GetLastError();
    }
    if (op == FILEOP_RENAME) return RenameNoFault(f.source, f.target) ? ERROR_SUCCESS : GetLastError();
    const bool exists = Exists(f.target);
    if ((f.style & SP_COPY_REPLACEONLY) && !exists) return ERROR_SUCCESS;
    auto keep = [&](UINT question) -> std::optional<DWORD> {
      if (ask(question, reinterpret_cast<UINT_PTR>(&paths), 0) == Answer::Skip) return ERROR_SUCCESS;
      return std::nullopt;
    };
    if ((f.style & SP_COPY_NOOVERWRITE) && exists) return keep(SPFILENOTIFY_TARGETEXISTS);
    if ((f.style & SP_COPY_NEWER) && exists) {
      // Only two version resources can say the target is newer; a file
      // without one counts as older.
      const auto have = FileVersionOf(f.target), offered = FileVersionOf(f.source);
      if (have && offered && *have > *offered) return keep(SPFILENOTIFY_TARGETNEWER);
    }
    if (DWORD error = MakeParentDirectory(f.target)) return error;
    return CopyFileNoFault(f.source.c_str(), f.target.c_str(), FALSE) ? ERROR_SUCCESS : GetLastError();
  };
  // Windows asks for each source media once per commit, before its first
  // copy: a directory, description and tag file that differ make another.
  std::vector<const QueuedFile*> medias;
  auto needMedia = [&](const QueuedFile& f) {
    for (const QueuedFile* seen : medias)
      if (EqualsNoCase(seen->mediaPath, f.mediaPath) && seen->mediaDescription == f.mediaDescription &&
          seen->mediaTag == f.mediaTag)
        return true;
    medias.push_back(&f);
    auto text = [](const std::string& s) { return s.empty() ? nullptr : s.c_str(); };
    SOURCE_MEDIA_A media{nullptr, text(f.mediaTag), text(f.mediaDescription), f.mediaPath.c_str(), f.sourceName.c_str(), 0};
    char newPath[MAX_PATH] = {};  // where a callback could name another place, as on Windows
    return ask(SPFILENOTIFY_NEEDMEDIA, reinterpret_cast<UINT_PTR>(&media), reinterpret_cast<UINT_PTR>(newPath)) ==
           Answer::Go;
  };
  auto walk = [&](const SubQueue& sub) {
    if (sub.files.empty()) return true;
    if (ask(SPFILENOTIFY_STARTSUBQUEUE, sub.op, sub.files.size()) != Answer::Go) return false;
    for (const QueuedFile& f : sub.files) {
      if (sub.op == FILEOP_COPY && !needMedia(f)) return false;
      FILEPATHS_A paths{f.target.c_str(), f.source.empty() ? nullptr : f.source.c_str(), 0, 0};
      if (ask(sub.start, reinterpret_cast<UINT_PTR>(&paths), sub.op) != Answer::Go) return false;
      const std::optional<DWORD> error = perform(sub.op, f, paths);
      if (!error) return false;
      if (*error) {
        paths.Win32Error = *error;
        char newPath[MAX_PATH] = {};  // where a callback could name another source, as on Windows
        const UINT_PTR param2 = sub.failed == SPFILENOTIFY_COPYERROR ? reinterpret_cast<UINT_PTR>(newPath) : 0;
        if (ask(sub.failed, reinterpret_cast<UINT_PTR>(&paths), param2) != Answer::Skip) return false;
      }
      handler(sub.end, reinterpret_cast<UINT_PTR>(&paths), 0);
    }
    handler(SPFILENOTIFY_ENDSUBQUEUE, sub.op, 0);
    return true;
  };
  if (ask(SPFILENOTIFY_STARTQUEUE, reinterpret_cast<UINT_PTR>(owner), 0) != Answer::Go) return Fail(stopped, false);
  const bool ok =
      walk({FILEOP_DELETE, SPFILENOTIFY_STARTDELETE, SPFILENOTIFY_DELETEERROR, SPFILENOTIFY_ENDDELETE, queue.deletes}) &&
      walk({FILEOP_RENAME, SPFILENOTIFY_STARTRENAME, SPFILENOTIFY_RENAMEERROR, SPFILENOTIFY_ENDRENAME, queue.renames}) &&
      walk({FILEOP_COPY, SPFILENOTIFY_STARTCOPY, SPFILENOTIFY_COPYERROR, SPFILENOTIFY_ENDCOPY, queue.copies});
  handler(SPFILENOTIFY_ENDQUEUE, ok, 0);
  internal::SetError(ok ? ERROR_SUCCESS : stopped);
  return ok;
}

UINT DefaultQueueAnswer(UINT notification, UINT_PTR param1, bool recordPrompts) {
  const auto* paths = reinterpret_cast<const FILEPATHS_A*>(param1);
  switch (notification) {
    case SPFILENOTIFY_STARTQUEUE:
    case SPFILENOTIFY_STARTSUBQUEUE: return TRUE;
    case SPFILENOTIFY_STARTCOPY:
    case SPFILENOTIFY_STARTDELETE:
    case SPFILENOTIFY_STARTRENAME: return FILEOP_DOIT;
    // The media is taken as there: a file missing from it fails when it is
    // copied, as COPYERROR, where the prompt would come.
    case SPFILENOTIFY_NEEDMEDIA: return FILEOP_DOIT;
    case SPFILENOTIFY_TARGETEXISTS:
    case SPFILENOTIFY_TARGETNEWER: return FALSE;  // nobody to ask: the file on the target stays
    case SPFILENOTIFY_ENDQUEUE:
    case SPFILENOTIFY_ENDSUBQUEUE:
    case SPFILENOTIFY_ENDCOPY:
    case SPFILENOTIFY_ENDDELETE:
    case SPFILENOTIFY_ENDRENAME: return 0;
    case SPFILENOTIFY_DELETEERROR:
      // A file that cannot be deleted is left; the queue goes on.
      if (recordPrompts) RecordPrompt(notification, paths->Target, paths->Win32Error, "skip");
      return FILEOP_SKIP;
    case SPFILENOTIFY_COPYERROR:
    case SPFILENOTIFY_RENAMEERROR: {
      // Without a window the user cannot be asked to retry or skip: the
      // queue is aborted with the error, rather than a file silently missing.
      const DWORD error = paths->Win32Error ? paths->Win32Error : static_cast<DWORD>(ERROR_GEN_FAILURE);
      if (recordPrompts)
        RecordPrompt(notification, notification == SPFILENOTIFY_COPYERROR ? paths->Source : paths->Target, error, "abort");
      return Fail(error, static_cast<UINT>(FILEOP_ABORT));
    }
    default:  // what a queue of this simulation never sends (scans, language mismatches)
      return Unmodelled("SetupDefaultQueueCallbackA", "notification " + std::to_string(notification),
                        ERROR_CALL_NOT_IMPLEMENTED, static_cast<UINT>(FILEOP_ABORT));
  }
}

}  // namespace sim::internal

using namespace sim;
using namespace sim::internal;

HSPFILEQ WINAPI SetupOpenFileQueue() {
  if (auto error = FaultFor("SetupOpenFileQueue", ERROR_NOT_ENOUGH_MEMORY)) return Fail(*error, INVALID_HANDLE_VALUE);
  void* handle = NewHandleValue(HandleKind::FileQueue);
  g_queues[handle] = FileQueueData{};
  LedgerOpen(HandleKind::FileQueue, handle);
  SetLastError(ERROR_SUCCESS);
  return handle;
}

BOOL WINAPI SetupCloseFileQueue(HSPFILEQ queue) {
  if (auto error = FaultFor("SetupCloseFileQueue", ERROR_INVALID_HANDLE)) return Fail(*error, FALSE);
  if (!LedgerClose(HandleKind::FileQueue, queue, "SetupCloseFileQueue")) return Fail(ERROR_INVALID_HANDLE, FALSE);
  g_queues.erase(queue);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

PVOID WINAPI SetupInitDefaultQueueCallbackEx(HWND, HWND progress, UINT progressMessage, DWORD reserved1,
                                             PVOID reserved2) {
  constexpr const char* kCall = "SetupInitDefaultQueueCallbackEx";
  if (auto error = FaultFor(kCall, ERROR_NOT_ENOUGH_MEMORY)) return Fail(*error, PVOID{});
  // The program asks for no progress window.
  if (progress || progressMessage || reserved1 || reserved2)
    return Unmodelled(kCall, "a progress window or its message", ERROR_INVALID_PARAMETER, PVOID{});
  void* handle = NewHandleValue(HandleKind::QueueContext);
  LedgerOpen(HandleKind::QueueContext, handle);
  return handle;
}

void WINAPI SetupTermDefaultQueueCallback(PVOID context) {
  const DWORD before = GetLastError();
  const auto error = FaultFor("SetupTermDefaultQueueCallback", ERROR_INVALID_HANDLE);
  LedgerClose(HandleKind::QueueContext, context, "SetupTermDefaultQueueCallback");
  SetLastError(error ? *error : before);
}

BOOL WINAPI SetupInstallFilesFromInfSectionA(HINF inf, HINF layout, HSPFILEQ queue, PCSTR section, PCSTR sourceRoot,
                                             DWORD copyFlags) {
  constexpr const char* kCall = "SetupInstallFilesFromInfSectionA";
  if (auto error = FaultFor(kCall, ERROR_GEN_FAILURE)) return Fail(*error, FALSE);
  const auto data = OpenInfOf(inf);
  auto q = g_queues.find(queue);
  if (!data || q == g_queues.end() || !LedgerIsOpen(HandleKind::FileQueue, queue)) return Fail(ERROR_INVALID_HANDLE, FALSE);
  // The program names a section and its source root, and takes the layout
  // from the INF itself.
  if (!section || !sourceRoot || layout)
    return Unmodelled(kCall, "no section or source root, or a layout INF", ERROR_INVALID_PARAMETER, FALSE);
  if (copyFlags != kCopyStyle) return Unmodelled(kCall, "a copy style other than SP_COPY_NEWER", ERROR_INVALID_FLAGS, FALSE);
  if (DWORD error = QueueInstallSection(q->second, *data, section, sourceRoot)) return Fail(error, FALSE);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WINAPI SetupCommitFileQueueA(HWND owner, HSPFILEQ queue, PSP_FILE_CALLBACK_A callback, PVOID context) {
  if (auto error = FaultFor("SetupCommitFileQueueA", ERROR_GEN_FAILURE)) return Fail(*error, FALSE);
  auto q = g_queues.find(queue);
  if (q == g_queues.end() || !LedgerIsOpen(HandleKind::FileQueue, queue)) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!callback) return Unmodelled("SetupCommitFileQueueA", "no callback", ERROR_INVALID_PARAMETER, FALSE);
  // A callback may add to or close this very queue; the walk runs over a copy.
  const FileQueueData files = q->second;
  return CommitQueue(files, owner, [&](UINT n, UINT_PTR p1, UINT_PTR p2) { return callback(context, n, p1, p2); });
}

UINT WINAPI SetupDefaultQueueCallbackA(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR) {
  if (auto error = FaultFor("SetupDefaultQueueCallbackA", ERROR_GEN_FAILURE))
    return Fail(*error, static_cast<UINT>(FILEOP_ABORT));
  if (!LedgerIsOpen(HandleKind::QueueContext, context))
    return Fail(ERROR_INVALID_HANDLE, static_cast<UINT>(FILEOP_ABORT));
  return DefaultQueueAnswer(notification, param1, true);
}
