// The Plug and Play manager of the simulated machine: devices added, plugged
// in and out, and the driver a device gets when it needs one.
#pragma once

#include "platform/sim/machine/machine.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Adds a device to the tree and returns its instance id: one is made from
// its first hardware id when it has none, and it gets a new device-node
// number. A present device without a driver is installed as Plug and Play
// installs a new device (see InstallBestDriver).
std::string AddDevice(Device device);
// The device with this instance id, or else the one device with this
// hardware id (whole id, letter case ignored). Null when there is none, and
// also when several devices have the hardware id (`ambiguous` is then set).
Device* FindDevice(std::string_view instanceOrHardwareId, bool* ambiguous = nullptr);
// Plugs a device in or out. Plugged in without a driver, or marked for
// reinstall, it gets the best driver of the Windows INF directory.
void SetDevicePresent(Device& device, bool present);
// What Plug and Play does for a device that needs a driver: the best driver
// among the INF files of the Windows INF directory (staged packages and the
// platform's own INF files), its files copied from where the INF's PNF says
// they are. Returns the INF's file name, or nullopt when no INF offers a
// driver or the install failed (the device is then marked as failed).
std::optional<std::string> InstallBestDriver(Device& device);

// A staged driver package: an oemN.inf of the Windows INF directory.
struct StagedInf {
  std::string inf;     // Windows path of the INF
  bool has_pnf = false;
  std::string source;  // where its PNF says the package's files are, or ""
};
std::vector<StagedInf> StagedInfFiles();
// The catalogs staging installed (Windows paths, in name order), those whose
// INF was deleted since included: an uninstall leaves them behind.
std::vector<std::string> InstalledCatalogs();
}  // namespace sim
