// UpdateDriverForPlugAndPlayDevicesA of newdev.DLL, found as the program finds it
// (what it copies for the fixture device is held against Wine by the probe).
#include "tests/support/device_helpers.h"
#include "platform/sim/machine/transcript.h"

namespace {

class Newdev : public test::SimTest {
 protected:
  BOOL Update(const char* hwid, const char* inf = "drv.inf") {
    WritePackageFile("drv.inf", test::PackageInf("USB\\VID_F00D&PID_0050"));
    WritePackageFile("testdrv.sys", "driver image");
    // Loaded by its name and never released, as the program does.
    auto update = reinterpret_cast<UpdateDriverForPlugAndPlayDevicesAFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(LoadLibraryA("newdev.DLL"), "UpdateDriverForPlugAndPlayDevicesA")));
    return update(nullptr, hwid, PackagePath(inf).c_str(), INSTALLFLAG_FORCE, nullptr);
  }
};

TEST_F(Newdev, UpdateInstallsOnThePresentDevicesWithTheId) {
  const std::string id = test::AddTestDevice({"USB\\VID_F00D&PID_0050&REV_0001", "USB\\VID_F00D&PID_0050"}, true,
                                             CONFIGFLAG_FAILEDINSTALL | CONFIGFLAG_REINSTALL | 0x400);
  const std::string byCompat = test::AddTestDevice({"USB\\VID_F00D&PID_0053"}, true, 0, {"USB\\VID_F00D&PID_0050"});
  const std::string other = test::AddTestDevice({"USB\\VID_F00D&PID_0051"}, true);
  // Letter case is not significant; the whole id must match, a compatible id as well.
  EXPECT_RESULT_AND_ERROR(Update("usb\\vid_f00d&pid_0050"), TRUE, ERROR_SUCCESS);
  const sim::Device* d = sim::FindDevice(id);
  EXPECT_EQ(d->driver, (sim::DriverRecord{"oem0.inf", "Drv.Install.NT"}));
  EXPECT_EQ(d->config_flags, std::optional<DWORD>(0x400));  // only the two install marks are cleared
  EXPECT_TRUE(sim::FindDevice(byCompat)->driver);
  EXPECT_EQ(sim::TranscriptOf("driver_install").size(), 2u);
  EXPECT_RESULT_AND_ERROR(Update("USB\\VID_F00D"), FALSE, ERROR_NO_SUCH_DEVINST);  // a prefix
  EXPECT_RESULT_AND_ERROR(Update("USB\\VID_F00D&PID_0051"), FALSE, ERROR_NO_COMPAT_DRIVERS);
  EXPECT_FALSE(sim::FindDevice(other)->driver);
  // A file of the package missing: the failed install leaves its mark, as Plug and Play does.
  WritePackageFile("other.inf", test::PackageInf("USB\\VID_F00D&PID_0050", {"absent.sys"}));
  EXPECT_RESULT_AND_ERROR(Update("USB\\VID_F00D&PID_0050", "other.inf"), FALSE, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(sim::FindDevice(id)->config_flags, std::optional<DWORD>(0x400 | CONFIGFLAG_FAILEDINSTALL));
}

}  // namespace
