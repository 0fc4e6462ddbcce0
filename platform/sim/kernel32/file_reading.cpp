// Opening a file for reading: CreateFileA with OPEN_EXISTING, ReadFile, CloseHandle.
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"

#include <cstdio>
#include <unordered_map>

#include <sys/stat.h>

namespace sim {
namespace {

std::unordered_map<const void*, std::FILE*> g_files;

internal::ResetHook g_reset([] {
  for (auto& [handle, file] : g_files) std::fclose(file);
  g_files.clear();
});

}  // namespace
}  // namespace sim

using namespace sim;

HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD, void*, DWORD disposition, DWORD, HANDLE) {
  if (auto error = FaultFor("CreateFileA", ERROR_ACCESS_DENIED)) {
    SetLastError(*error);
    return INVALID_HANDLE_VALUE;
  }
  // Only what the program needs: an existing file opened for reading.
  if (!path || access != static_cast<DWORD>(GENERIC_READ) || disposition != OPEN_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const HostPath mapped = MapWindowsPath(path);
  if (!mapped.ok()) {
    SetLastError(mapped.error);
    return INVALID_HANDLE_VALUE;
  }
  struct stat info;
  if (::stat(mapped.host.c_str(), &info) != 0) {
    std::error_code ec;
    SetLastError(fs::is_directory(mapped.host.parent_path(), ec) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::FILE* file = S_ISDIR(info.st_mode) ? nullptr : std::fopen(mapped.host.c_str(), "rb");
  if (!file) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  void* handle = NewHandleValue(HandleKind::File);
  g_files[handle] = file;
  LedgerOpen(HandleKind::File, handle);
  return handle;
}

BOOL WINAPI ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD read, void*) {
  if (read) *read = 0;
  if (auto error = FaultFor("ReadFile", ERROR_GEN_FAILURE)) {
    SetLastError(*error);
    return FALSE;
  }
  auto it = g_files.find(handle);
  if (it == g_files.end() || !buffer) {
    SetLastError(it == g_files.end() ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const size_t n = std::fread(buffer, 1, toRead, it->second);
  if (std::ferror(it->second)) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  if (read) *read = static_cast<DWORD>(n);
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  if (!LedgerClose(HandleKind::File, handle, "CloseHandle")) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  auto it = g_files.find(handle);
  if (it != g_files.end()) {
    std::fclose(it->second);
    g_files.erase(it);
  }
  return TRUE;
}
