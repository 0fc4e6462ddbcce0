// Plug and Play on the simulated machine: a package staged while its device
// is away is installed when the device arrives, its files taken from where
// the PNF says they are.
#include "tests/support/device_helpers.h"
#include "platform/sim/machine/transcript.h"

namespace {

class DevicePath : public test::SimTest {};

TEST_F(DevicePath, StagedPackageInstalledWhenTheDeviceArrives) {
  const std::string hwid = "USB\\VID_F00D&PID_0060";
  WritePackageFile("pkg/drv.inf", test::PackageInf(hwid));
  WritePackageFile("pkg/testdrv.sys", "driver image");
  const std::string plugged = test::AddTestDevice({hwid + "&REV_0002", hwid}, false, 0);
  ASSERT_TRUE(SetupCopyOEMInfA(PackagePath("pkg\\drv.inf").c_str(), nullptr, SPOST_PATH, 0, nullptr, 0, nullptr, nullptr));
  sim::SetDevicePresent(*sim::FindDevice(plugged), true);
  const std::string added = test::AddTestDevice({hwid}, true, 0);  // added present: installed at once
  for (const std::string& id : {plugged, added})
    EXPECT_EQ(sim::FindDevice(id)->driver, (sim::DriverRecord{"oem0.inf", "Drv.Install.NT"})) << id;
  EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\system32\\drivers\\testdrv.sys"), "driver image");
  EXPECT_EQ(sim::LoadMachineFile(machineDir_).devices, sim::CurrentMachine().devices);  // saved
  EXPECT_EQ(sim::TranscriptOf("driver_install").at(0)["via"], "plug and play");
}

}  // namespace
