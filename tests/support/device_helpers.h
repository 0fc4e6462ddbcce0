// Helpers for tests of the device installation services: devices of one's
// own in the machine's tree, finding them in a device information set, and a
// small driver package INF.
#pragma once

#include "tests/support/sim_fixture.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/pnp/pnp.h"

#include <optional>
#include <string>
#include <vector>

namespace test {

// The example package's device: the id the package names, and the ids the
// device reports (the revision first).
inline const char kExampleId[] = "USB\\VID_FEED&PID_5E50";
inline const std::vector<std::string> kExampleIds = {"USB\\VID_FEED&PID_5E50&REV_0100", kExampleId};

// Adds a device and returns its instance id.
inline std::string AddTestDevice(std::vector<std::string> hardwareIds, bool present = true,
                                 std::optional<DWORD> flags = 0, std::vector<std::string> compatibleIds = {}) {
  sim::Device d;
  d.hardware_ids = std::move(hardwareIds);
  d.compatible_ids = std::move(compatibleIds);
  d.present = present;
  d.config_flags = flags;
  return sim::AddDevice(d);
}

// Finds the element of a device in a set by its device node.
inline bool FindElement(HDEVINFO set, const std::string& instanceId, SP_DEVINFO_DATA& data) {
  const sim::Device* device = sim::FindDevice(instanceId);
  if (!device) return false;
  for (DWORD i = 0;; ++i) {
    data = SP_DEVINFO_DATA{};
    data.cbSize = sizeof data;
    if (!SetupDiEnumDeviceInfo(set, i, &data)) return false;
    if (data.DevInst == device->devnode) return true;
  }
}

// A package for one hardware id whose install section copies `files` into
// the drivers directory.
inline std::string PackageInf(const std::string& hardwareId, const std::vector<std::string>& files = {"testdrv.sys"}) {
  std::string copy;
  for (const std::string& f : files) copy += f + "\n";
  return "[Version]\nSignature=\"$Windows NT$\"\nClass=USB\nProvider=%Prov%\nDriverVer=03/04/2021,2.1.0.7\n"
         "[Manufacturer]\n%Mfg%=Models,NTamd64\n"
         "[Models.NTamd64]\n%Dev%=Drv.Install," + hardwareId + "\n"
         "[Drv.Install.NT]\nCopyFiles=Drv.Files\n"
         "[Drv.Files]\n" + copy +
         "[DestinationDirs]\nDefaultDestDir=12\n"
         "[Strings]\nProv=\"Example Provider\"\nMfg=\"Example Maker\"\nDev=\"Example Device\"\n";
}

}  // namespace test
