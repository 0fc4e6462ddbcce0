// Directory search, file copy and deletion on real files of the simulated drive.
#include "platform/sim/base/text.h"
#include "platform/sim/kernel32/kernel32.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <system_error>
#include <unordered_map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Case-insensitive DOS wildcard match of '*' and '?'.
bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*") pattern = "*";
  const std::string p = UpperAnsi(pattern), n = UpperAnsi(name);
  size_t pi = 0, ni = 0, star = std::string::npos, mark = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      mark = ni;
    } else if (star != std::string::npos) {
      pi = star + 1;
      ni = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
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
  std::error_code ec;
  return fs::is_directory(path.host.parent_path(), ec) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

std::string ForTranscript(const std::string& ansi) { return AnsiToUtf8(ansi); }

}  // namespace
}  // namespace sim

using namespace sim;

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  if (auto error = FaultFor("FindFirstFileA", ERROR_ACCESS_DENIED)) {
    SetLastError(*error);
    return INVALID_HANDLE_VALUE;
  }
  if (!pattern || !data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::string text(pattern);
  const size_t slash = text.find_last_of("\\/");
  const std::string dirPart = slash == std::string::npos ? "." : text.substr(0, slash + 1);
  const std::string namePart = slash == std::string::npos ? text : text.substr(slash + 1);
  const HostPath dir = MapWindowsPath(dirPart == "." ? std::string(".") : dirPart);
  std::error_code ec;
  if (!dir.ok() || !fs::is_directory(dir.host, ec)) {
    SetLastError(dir.ok() || dir.error == ERROR_PATH_NOT_FOUND ? ERROR_PATH_NOT_FOUND : dir.error);
    return INVALID_HANDLE_VALUE;
  }
  if (namePart.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }

  FindState state;
  auto add = [&](const std::string& utf8Name, const fs::path& full) {
    FoundEntry entry;
    entry.name = Utf8ToAnsi(utf8Name);
    if (entry.name.size() >= MAX_PATH || ::stat(full.c_str(), &entry.info) != 0) return;
    if (WildcardMatch(namePart, entry.name)) state.entries.push_back(entry);
  };
  const bool root = dir.host == fs::path("/") || dir.host == CurrentMachine().dir / "drive_c";
  if (!root) {
    add(".", dir.host);
    add("..", dir.host.parent_path());
  }
  std::vector<std::pair<std::string, fs::path>> listed;
  for (auto it = fs::directory_iterator(dir.host, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
    listed.emplace_back(it->path().filename().string(), it->path());
  // NTFS hands out a directory's names in the order of their upper-case form.
  std::sort(listed.begin(), listed.end(), [](const auto& a, const auto& b) {
    return UpperAnsi(Utf8ToAnsi(a.first)) < UpperAnsi(Utf8ToAnsi(b.first));
  });
  for (const auto& [name, full] : listed) add(name, full);

  if (state.entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  void* handle = NewHandleValue(HandleKind::Find);
  Fill(state.entries[0], data);
  state.next = 1;
  g_finds[handle] = std::move(state);
  LedgerOpen(HandleKind::Find, handle);
  return handle;
}

BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
  if (auto error = FaultFor("FindNextFileA", ERROR_ACCESS_DENIED)) {
    SetLastError(*error);
    return FALSE;
  }
  auto it = g_finds.find(find);
  if (it == g_finds.end() || !LedgerIsOpen(HandleKind::Find, find)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  FindState& state = it->second;
  if (state.next >= state.entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  Fill(state.entries[state.next++], data);
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE find) {
  if (!LedgerClose(HandleKind::Find, find, "FindClose")) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  g_finds.erase(find);
  return TRUE;
}

BOOL WINAPI CopyFileA(LPCSTR existing, LPCSTR target, BOOL failIfExists) {
  if (auto error = FaultFor("CopyFileA", ERROR_ACCESS_DENIED)) {
    SetLastError(*error);
    return FALSE;
  }
  return sim::internal::CopyFileNoFault(existing, target, failIfExists);
}

BOOL WINAPI DeleteFileA(LPCSTR path) {
  if (auto error = FaultFor("DeleteFileA", ERROR_ACCESS_DENIED)) {
    SetLastError(*error);
    return FALSE;
  }
  return sim::internal::DeleteFileNoFault(path);
}

// The platform's own file operations (file queues, staging, driver installs)
// use these: they are not calls of the program, so the fault plan and the
// call counts of CopyFileA and DeleteFileA do not see them.
BOOL sim::internal::CopyFileNoFault(LPCSTR existing, LPCSTR target, BOOL failIfExists) {
  if (!existing || !target) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const HostPath from = MapWindowsPath(existing);
  const HostPath to = MapWindowsPath(target);
  if (!from.ok() || !to.ok()) {
    SetLastError(!from.ok() ? from.error : to.error);
    return FALSE;
  }
  struct stat source;
  if (::stat(from.host.c_str(), &source) != 0) {
    SetLastError(MissingError(from));
    return FALSE;
  }
  if (S_ISDIR(source.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  struct stat existingTarget;
  if (::stat(to.host.c_str(), &existingTarget) == 0) {
    if (failIfExists) {
      SetLastError(ERROR_FILE_EXISTS);
      return FALSE;
    }
    if (S_ISDIR(existingTarget.st_mode) || ReadOnly(existingTarget)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
  } else {
    std::error_code ec;
    if (!fs::is_directory(to.host.parent_path(), ec)) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return FALSE;
    }
  }
  // Written beside the target and renamed over it, so that an interrupted run
  // leaves either the old file or the new one.
  const fs::path temp = to.host.parent_path() / (".copy-" + std::to_string(getpid()) + "-" + to.host.filename().string());
  std::error_code ec;
  fs::copy_file(from.host, temp, fs::copy_options::overwrite_existing, ec);
  if (!ec) {
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    ::utimensat(AT_FDCWD, temp.c_str(), times, 0);
    sim::internal::KillPoint();
    fs::rename(temp, to.host, ec);
  }
  if (ec) {
    fs::remove(temp, ec);
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  Record({{"event", "file_copy"},
          {"from", ForTranscript(from.windows)},
          {"to", ForTranscript(to.windows)},
          {"summary", "copied " + ForTranscript(from.windows) + " -> " + ForTranscript(to.windows)}});
  return TRUE;
}

BOOL sim::internal::DeleteFileNoFault(LPCSTR path) {
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const HostPath file = MapWindowsPath(path);
  if (!file.ok()) {
    SetLastError(file.error);
    return FALSE;
  }
  struct stat info;
  if (::lstat(file.host.c_str(), &info) != 0) {
    SetLastError(MissingError(file));
    return FALSE;
  }
  if (S_ISDIR(info.st_mode) || ReadOnly(info)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (::unlink(file.host.c_str()) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  // "path" is the file as the drive names it; "path_bytes" the path exactly as
  // the caller gave it, since the platform accepts other letter cases.
  Record({{"event", "file_delete"},
          {"path", ForTranscript(file.windows)},
          {"path_bytes", HexBytes(path)},
          {"summary", "deleted " + ForTranscript(file.windows)}});
  return TRUE;
}
