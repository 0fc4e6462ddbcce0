// Reading a file: CreateFileA of an existing file for reading, ReadFile,
// CloseHandle. The program opens files only so, to compare two of them.
#include "platform/sim/base/interrupted.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {
namespace {

// An open file: a file descriptor on disk, or the bytes of a file held in
// memory as they were when it was opened (as an open file keeps its inode).
struct OpenFile {
  int fd = -1;
  std::string bytes;
  size_t at = 0;
};
std::unordered_map<const void*, OpenFile> g_files;

internal::ResetHook g_reset([] {
  for (auto& [handle, file] : g_files)
    if (file.fd >= 0) ::close(file.fd);
  g_files.clear();
});

}  // namespace
}  // namespace sim

using namespace sim;

HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, void* security, DWORD disposition, DWORD attributes,
                          HANDLE templateFile) {
  if (auto error = FaultFor("CreateFileA", ERROR_ACCESS_DENIED)) return Fail(*error, INVALID_HANDLE_VALUE);
  if (access != static_cast<DWORD>(GENERIC_READ) || share != FILE_SHARE_READ || security ||
      disposition != OPEN_EXISTING || attributes != FILE_ATTRIBUTE_NORMAL || templateFile)
    return Unmodelled("CreateFileA",
                      "other than an existing file opened for reading, shared for reading, with normal attributes",
                      ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  if (!path) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  const HostPath mapped = MapWindowsPath(path);
  if (!mapped.ok()) return Fail(mapped.error, INVALID_HANDLE_VALUE);
  struct stat info;
  if (!StatPath(mapped.host, info))
    return Fail(IsDirectoryPath(mapped.host.parent_path()) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND,
                INVALID_HANDLE_VALUE);
  if (S_ISDIR(info.st_mode)) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  OpenFile file;
  if (HeldInMemory(mapped.host)) {
    if (!ReadFileBytes(mapped.host, file.bytes)) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  } else {
    file.fd = Restarted([&] { return ::open(mapped.host.c_str(), O_RDONLY | O_CLOEXEC); });
    if (file.fd < 0) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  }
  void* handle = NewHandleValue(HandleKind::File);
  g_files[handle] = std::move(file);
  LedgerOpen(HandleKind::File, handle);
  return handle;
}

BOOL WINAPI ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD read, void* overlapped) {
  if (read) *read = 0;
  if (auto error = FaultFor("ReadFile", ERROR_GEN_FAILURE)) return Fail(*error, FALSE);
  if (!read || overlapped) return Unmodelled("ReadFile", "a read without a count or overlapped", ERROR_INVALID_PARAMETER, FALSE);
  auto it = g_files.find(handle);
  if (it == g_files.end()) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!buffer) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  // As many bytes as asked for, fewer only at the end of the file.
  OpenFile& file = it->second;
  ssize_t n = 0;
  if (file.fd >= 0) {
    n = ReadFully(file.fd, buffer, toRead);
  } else {
    n = static_cast<ssize_t>(std::min<size_t>(toRead, file.bytes.size() - file.at));
    std::memcpy(buffer, file.bytes.data() + file.at, static_cast<size_t>(n));
    file.at += static_cast<size_t>(n);
  }
  if (n < 0) return Fail(ERROR_GEN_FAILURE, FALSE);
  *read = static_cast<DWORD>(n);
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  if (!LedgerClose(HandleKind::File, handle, "CloseHandle")) return Fail(ERROR_INVALID_HANDLE, FALSE);
  // The ledger and this table are forgotten together, so an open file handle is always here.
  auto it = g_files.find(handle);
  if (it->second.fd >= 0) ::close(it->second.fd);
  g_files.erase(it);
  return TRUE;
}
