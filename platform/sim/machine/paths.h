// Windows paths on the simulated machine: C: is the machine's drive_c, Z: the
// Linux root (so the Linux current directory shows as Z:\...), as Wine maps
// them.
#pragma once

#include "platform/sim/machine/machine.h"

#include <string>
#include <string_view>

namespace sim {

struct HostPath {
  DWORD error = ERROR_SUCCESS;  // ERROR_SUCCESS, or why the path cannot be mapped
  std::string windows;          // the full, normalised Windows path
  fs::path host;                // the Linux path it maps to (existing components in their real case)
  bool ok() const { return error == ERROR_SUCCESS; }
};
// Maps a Windows path (ANSI bytes, absolute or relative to the current
// directory) to the Linux file system. Look-ups are case-insensitive; "." and
// ".." are resolved first, so a path never leaves its drive. The last
// component need not exist.
HostPath MapWindowsPath(std::string_view windowsPath);
// The Windows form of a Linux path, as the current directory is shown.
std::string WindowsPathOf(const fs::path& hostPath);
// Windows path of the Windows directory, system directory and INF directory.
std::string WindowsDirectory();
std::string SystemDirectory();
std::string InfDirectory();
// The Linux path of a Windows path that must map (throws std::runtime_error otherwise).
fs::path HostPathOf(std::string_view windowsPath);

}  // namespace sim
