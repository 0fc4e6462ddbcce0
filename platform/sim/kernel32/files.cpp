// Directory search, file copy and deletion on the files of the simulated drives.
#include "platform/sim/base/text.h"
#include "platform/sim/kernel32/kernel32.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include <sys/stat.h>

namespace sim {
namespace {

struct FoundEntry {
  std::string name;  // ANSI
  struct stat info;
};

struct FindState {
  std::vector<FoundEntry> entries;
  size_t next = 0;
};

std::unordered_map<const void*, FindState> g_finds;

internal::ResetHook g_reset([] { g_finds.clear(); });

// The one pattern the program searches with, "*.EXT", in the current
// directory: the extension as it is given, or empty when the pattern is
// anything else.
std::string_view PatternExtension(std::string_view pattern) {
  if (pattern.size() < 3 || pattern.substr(0, 2) != "*." || pattern.find_first_of("*?\\/:", 2) != std::string_view::npos)
    return {};
  return pattern.substr(1);
}

// Windows matches a pattern against a file's short (8.3) name too, so that
// "*.inf" also finds "driver.infx", whose short name DRIVER~1.INF ends in
// ".INF". A short name's extension is the first three characters of the
// name's last extension; a pattern extension of more than three characters
// can only match the long name.
bool ShortNameMatches(std::string_view name, std::string_view extension) {
  const size_t dot = name.rfind('.');
  if (extension.size() != 4 || dot == std::string_view::npos || dot == 0 || name.size() - dot <= 4) return false;
  return EqualsNoCase(name.substr(dot, 4), extension);
}

// Seconds and nanoseconds since 1970 as a FILETIME (100 ns since 1601).
FILETIME ToFileTime(const struct timespec& t) {
  const uint64_t ticks = (static_cast<uint64_t>(t.tv_sec) + 11644473600ull) * 10000000ull +
                         static_cast<uint64_t>(t.tv_nsec) / 100u;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

bool ReadOnly(const struct stat& info) { return (info.st_mode & S_IWUSR) == 0; }

void Fill(const FoundEntry& entry, WIN32_FIND_DATAA* data) {
  std::memset(data, 0, sizeof *data);
  DWORD attributes = S_ISDIR(entry.info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (ReadOnly(entry.info)) attributes |= FILE_ATTRIBUTE_READONLY;
  data->dwFileAttributes = attributes;
  data->ftCreationTime = ToFileTime(entry.info.st_ctim);
  data->ftLastAccessTime = ToFileTime(entry.info.st_atim);
  data->ftLastWriteTime = ToFileTime(entry.info.st_mtim);
  const uint64_t size = S_ISDIR(entry.info.st_mode) ? 0 : static_cast<uint64_t>(entry.info.st_size);
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(size);
  std::memcpy(data->cFileName, entry.name.c_str(), entry.name.size() + 1);
}

// The error Windows gives for a path whose file is missing: no such file, or
// no such directory on the way to it.
DWORD MissingError(const HostPath& path) {
  return IsDirectoryPath(path.host.parent_path()) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

}  // namespace
}  // namespace sim

using namespace sim;

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  if (auto error = FaultFor("FindFirstFileA", ERROR_ACCESS_DENIED)) return Fail(*error, INVALID_HANDLE_VALUE);
  if (!pattern || !data) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  const std::string_view extension = PatternExtension(pattern);
  if (extension.empty())
    return Unmodelled("FindFirstFileA", "pattern other than *.EXT in the current directory: " + AnsiToUtf8(pattern),
                      ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  const HostPath dir = MapWindowsPath(".");
  std::vector<std::string> names;
  if (!dir.ok() || !ListDirectory(dir.host, names)) return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);

  // A name matches when it ends in the extension, letter case aside ("*"
  // matches any start, the empty one too), or its short name does. NTFS
  // hands out a directory's names in the order of their upper-case form.
  std::vector<std::pair<std::string, FoundEntry>> listed;
  for (const std::string& name : names) {
    FoundEntry entry;
    entry.name = Utf8ToAnsi(name);
    const bool longMatch = entry.name.size() >= extension.size() &&
                           EqualsNoCase(std::string_view(entry.name).substr(entry.name.size() - extension.size()), extension);
    if (entry.name.size() >= MAX_PATH || !(longMatch || ShortNameMatches(entry.name, extension)) ||
        !StatPath(dir.host / name, entry.info))
      continue;
    listed.emplace_back(UpperAnsi(entry.name), std::move(entry));
  }
  if (listed.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
  std::sort(listed.begin(), listed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  FindState state;
  for (auto& [key, entry] : listed) state.entries.push_back(std::move(entry));
  void* handle = NewHandleValue(HandleKind::Find);
  Fill(state.entries[0], data);
  state.next = 1;
  g_finds[handle] = std::move(state);
  LedgerOpen(HandleKind::Find, handle);
  return handle;
}

BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
  if (auto error = FaultFor("FindNextFileA", ERROR_ACCESS_DENIED)) return Fail(*error, FALSE);
  auto it = g_finds.find(find);
  if (it == g_finds.end() || !LedgerIsOpen(HandleKind::Find, find)) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!data) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  FindState& state = it->second;
  if (state.next >= state.entries.size()) return Fail(ERROR_NO_MORE_FILES, FALSE);
  Fill(state.entries[state.next++], data);
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE find) {
  if (!LedgerClose(HandleKind::Find, find, "FindClose")) return Fail(ERROR_INVALID_HANDLE, FALSE);
  g_finds.erase(find);
  return TRUE;
}

BOOL WINAPI CopyFileA(LPCSTR existing, LPCSTR target, BOOL failIfExists) {
  if (auto error = FaultFor("CopyFileA", ERROR_ACCESS_DENIED)) return Fail(*error, FALSE);
  return sim::internal::CopyFileNoFault(existing, target, failIfExists);
}

BOOL WINAPI DeleteFileA(LPCSTR path) {
  if (auto error = FaultFor("DeleteFileA", ERROR_ACCESS_DENIED)) return Fail(*error, FALSE);
  return sim::internal::DeleteFileNoFault(path);
}

// The platform's own file operations (file queues, staging, driver installs)
// use these: they are not calls of the program, so the fault plan and the
// call counts of CopyFileA and DeleteFileA do not see them.
BOOL sim::internal::CopyFileNoFault(LPCSTR existing, LPCSTR target, BOOL failIfExists) {
  if (!existing || !target) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  const HostPath from = MapWindowsPath(existing);
  const HostPath to = MapWindowsPath(target);
  if (!from.ok() || !to.ok()) return Fail(!from.ok() ? from.error : to.error, FALSE);
  struct stat source;
  if (!StatPath(from.host, source)) return Fail(MissingError(from), FALSE);
  if (S_ISDIR(source.st_mode)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  struct stat existingTarget;
  if (StatPath(to.host, existingTarget)) {
    if (failIfExists) return Fail(ERROR_FILE_EXISTS, FALSE);
    if (S_ISDIR(existingTarget.st_mode) || ReadOnly(existingTarget)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  } else if (!IsDirectoryPath(to.host.parent_path())) {
    return Fail(ERROR_PATH_NOT_FOUND, FALSE);
  }
  // Replaced whole, so that an interrupted run leaves either the old file or the new one.
  if (!CopyFileBytes(from.host, to.host)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  RecordFileMove("file_copy", "copied", from.windows, to.windows);
  return TRUE;
}

void sim::internal::RecordFileMove(const char* event, const char* verb, const std::string& from, const std::string& to) {
  Record({{"event", event},
          {"from", AnsiToUtf8(from)},
          {"to", AnsiToUtf8(to)},
          {"summary", std::string(verb) + " " + AnsiToUtf8(from) + " -> " + AnsiToUtf8(to)}});
}

BOOL sim::internal::DeleteFileNoFault(LPCSTR path) {
  if (!path) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  const HostPath file = MapWindowsPath(path);
  if (!file.ok()) return Fail(file.error, FALSE);
  struct stat info;
  if (!StatPath(file.host, info)) return Fail(MissingError(file), FALSE);
  if (S_ISDIR(info.st_mode) || ReadOnly(info)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  if (!RemoveFile(file.host)) return Fail(ERROR_ACCESS_DENIED, FALSE);
  // "path" is the file as the drive names it; "path_bytes" the path exactly as
  // the caller gave it, since the platform accepts other letter cases.
  Record({{"event", "file_delete"},
          {"path", AnsiToUtf8(file.windows)},
          {"path_bytes", HexBytes(path)},
          {"summary", "deleted " + AnsiToUtf8(file.windows)}});
  return TRUE;
}
