// Version, language and the three directories of the simulated Windows.
#include "platform/sim/kernel32/kernel32.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"

#include <cstring>
#include <string>
#include <utility>

#include <unistd.h>

namespace sim {
namespace {
std::string g_startDirectory;
}  // namespace

void SetStartDirectory(std::string windowsPath) { g_startDirectory = std::move(windowsPath); }

}  // namespace sim

namespace sim::internal {

DWORD CopyOutPath(const std::string& text, char* buffer, DWORD size) {
  const DWORD needed = static_cast<DWORD>(text.size() + 1);
  if (!buffer || size < needed) return needed;
  std::memcpy(buffer, text.c_str(), needed);
  return needed - 1;
}

}  // namespace sim::internal

using sim::internal::CopyOutPath;

DWORD WINAPI GetVersion() { return sim::CurrentMachine().version; }

LANGID WINAPI GetUserDefaultLangID() { return sim::CurrentMachine().language; }

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  const sim::Machine& m = sim::CurrentMachine();
  if (auto error = sim::FaultFor("GetWindowsDirectoryA", ERROR_PATH_NOT_FOUND)) return sim::Fail(*error, 0u);
  if (m.windows_directory_fails) return sim::Fail(ERROR_PATH_NOT_FOUND, 0u);
  return CopyOutPath(m.windows_directory, buffer, size);
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
  if (auto error = sim::FaultFor("GetSystemDirectoryA", ERROR_PATH_NOT_FOUND)) return sim::Fail(*error, 0u);
  return CopyOutPath(sim::CurrentMachine().system_directory, buffer, size);
}

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  if (auto error = sim::FaultFor("GetCurrentDirectoryA", ERROR_ACCESS_DENIED)) return sim::Fail(*error, 0u);
  if (!sim::g_startDirectory.empty()) return CopyOutPath(sim::g_startDirectory, buffer, size);
  char cwd[4096];
  if (!::getcwd(cwd, sizeof cwd)) return sim::Fail(ERROR_FILENAME_EXCED_RANGE, 0u);
  return CopyOutPath(sim::WindowsPathOf(cwd), buffer, size);
}
