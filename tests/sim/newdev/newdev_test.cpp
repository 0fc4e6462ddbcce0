// newdev.DLL: LoadLibraryA, GetProcAddress and FreeLibrary, and
// UpdateDriverForPlugAndPlayDevicesA.
#include "tests/support/device_helpers.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/pnp/pnp.h"

namespace {

class Newdev : public test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    WritePackageFile("drv.inf", test::PackageInf("USB\\VID_F00D&PID_0050"));
    WritePackageFile("testdrv.sys", "driver image");
    inf_ = PackagePath("drv.inf");
  }
  // The update function as the program finds it; the module stays loaded.
  UpdateDriverForPlugAndPlayDevicesAFn Update() {
    module_ = LoadLibraryA("newdev.DLL");
    EXPECT_NE(module_, nullptr);
    return reinterpret_cast<UpdateDriverForPlugAndPlayDevicesAFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(module_, "UpdateDriverForPlugAndPlayDevicesA")));
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
    SimTest::TearDown();
  }
  std::string inf_;
  HMODULE module_ = nullptr;
};

TEST_F(Newdev, LibraryAndFunctionNames) {
  struct Case {
    const char* name;
    bool found;
  } libraries[] = {{"newdev.DLL", true}, {"newdev", true}, {"C:\\WINDOWS\\system32\\NEWDEV.dll", true},
                   {"C:\\temp\\newdev.dll", false}, {"setupapi.dll", false}};
  for (const Case& c : libraries) {
    SCOPED_TRACE(c.name);
    SetLastError(0xdeadbeef);
    HMODULE m = LoadLibraryA(c.name);
    EXPECT_EQ(m != nullptr, c.found);
    EXPECT_EQ(GetLastError(), c.found ? 0xdeadbeef : static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    if (m) EXPECT_RESULT_AND_ERROR(FreeLibrary(m), TRUE, 0xdeadbeef);
  }
  HMODULE m = LoadLibraryA("newdev.dll");
  EXPECT_RESULT_AND_ERROR(GetProcAddress(m, "UpdateDriverForPlugAndPlayDevicesA") != nullptr, true, 0xdeadbeef);
  EXPECT_RESULT_AND_ERROR(GetProcAddress(m, "updatedriverforplugandplaydevicesa"), nullptr, ERROR_PROC_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(FreeLibrary(m), TRUE, 0xdeadbeef);
  EXPECT_RESULT_AND_ERROR(GetProcAddress(m, "UpdateDriverForPlugAndPlayDevicesA"), nullptr, ERROR_MOD_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(FreeLibrary(m), FALSE, ERROR_INVALID_HANDLE);  // unloaded already
  EXPECT_EQ(sim::LedgerViolations().size(), 1u);
  expectCleanLedger_ = false;
  // The 9x family has no newdev.DLL.
  sim::CurrentMachine().version = 0xC0000A04;
  EXPECT_RESULT_AND_ERROR(LoadLibraryA("newdev.DLL"), nullptr, ERROR_MOD_NOT_FOUND);
}

TEST_F(Newdev, UpdateInstallsOnThePresentDeviceWithTheId) {
  const std::string id = test::AddTestDevice({"USB\\VID_F00D&PID_0050&REV_0001", "USB\\VID_F00D&PID_0050"}, true,
                                             CONFIGFLAG_FAILEDINSTALL | CONFIGFLAG_REINSTALL | 0x400);
  // A compatible id is enough, too.
  const std::string byCompat = test::AddTestDevice({"USB\\VID_F00D&PID_0053&MI_00"}, true, 0, {"USB\\VID_F00D&PID_0050"});
  const auto update = Update();
  BOOL reboot = TRUE;
  // Letter case is not significant; the whole id must match.
  EXPECT_RESULT_AND_ERROR(update(nullptr, "usb\\vid_f00d&pid_0050", inf_.c_str(), INSTALLFLAG_FORCE, &reboot), TRUE,
                          ERROR_SUCCESS);
  EXPECT_FALSE(reboot);
  const sim::Device* d = sim::FindDevice(id);
  ASSERT_TRUE(d->driver);
  EXPECT_EQ(d->driver->inf, "oem0.inf");
  EXPECT_EQ(d->driver->section, "Drv.Install.NT");
  EXPECT_EQ(d->setup_class, "USB");
  EXPECT_EQ(d->config_flags, std::optional<DWORD>(0x400));  // only the two install marks are cleared
  EXPECT_TRUE(sim::FindDevice(byCompat)->driver);
  EXPECT_TRUE(MachineFileExists("C:\\WINDOWS\\INF\\oem0.inf"));
  EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\system32\\drivers\\testdrv.sys"), "driver image");
  // The same package again: staged under the same name, installed again when forced.
  EXPECT_RESULT_AND_ERROR(update(nullptr, "USB\\VID_F00D&PID_0050", inf_.c_str(), INSTALLFLAG_FORCE, nullptr), TRUE,
                          ERROR_SUCCESS);
  EXPECT_EQ(sim::StagedInfFiles().size(), 1u);
  // Without force, a driver that is not better is not installed.
  EXPECT_RESULT_AND_ERROR(update(nullptr, "USB\\VID_F00D&PID_0050", inf_.c_str(), 0, nullptr), FALSE,
                          ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(sim::TranscriptOf("driver_install").size(), 4u);
}

TEST_F(Newdev, UpdateRefusals) {
  test::AddTestDevice({"USB\\VID_F00D&PID_0050&REV_0001"}, true);  // only a longer id
  test::AddTestDevice({"USB\\VID_F00D&PID_0050"}, false);           // not present
  const std::string other = test::AddTestDevice({"USB\\VID_F00D&PID_0051"}, true);
  WritePackageFile("nofiles.inf", test::PackageInf("USB\\VID_F00D&PID_0052", {"absent.sys"}));
  const std::string absentFiles = test::AddTestDevice({"USB\\VID_F00D&PID_0052"}, true, 0);
  const auto update = Update();
  struct Case {
    const char* what;
    const char* hwid;
    std::string inf;
    DWORD flags;
    DWORD error;
  } cases[] = {
      {"no present device with the whole id", "USB\\VID_F00D&PID_0050", inf_, INSTALLFLAG_FORCE, ERROR_NO_SUCH_DEVINST},
      {"a prefix of an id", "USB\\VID_F00D", inf_, INSTALLFLAG_FORCE, ERROR_NO_SUCH_DEVINST},
      {"the INF has nothing for it", "USB\\VID_F00D&PID_0051", inf_, INSTALLFLAG_FORCE, ERROR_NO_COMPAT_DRIVERS},
      {"a relative INF path", "USB\\VID_F00D&PID_0051", "drv.inf", INSTALLFLAG_FORCE, ERROR_FILE_NOT_FOUND},
      {"a missing INF", "USB\\VID_F00D&PID_0051", PackagePath("none.inf"), INSTALLFLAG_FORCE, ERROR_FILE_NOT_FOUND},
      {"unknown flags", "USB\\VID_F00D&PID_0051", inf_, 0x100, ERROR_INVALID_FLAGS},
      {"no id", "", inf_, INSTALLFLAG_FORCE, ERROR_INVALID_PARAMETER},
      {"a file of the package missing", "USB\\VID_F00D&PID_0052", PackagePath("nofiles.inf"), INSTALLFLAG_FORCE,
       ERROR_FILE_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_RESULT_AND_ERROR(update(nullptr, c.hwid, c.inf.c_str(), c.flags, nullptr), FALSE, c.error);
  }
  EXPECT_FALSE(sim::FindDevice(other)->driver);
  // The failed install leaves its mark, as Plug and Play does.
  EXPECT_EQ(sim::FindDevice(absentFiles)->config_flags, std::optional<DWORD>(CONFIGFLAG_FAILEDINSTALL));
  sim::AddFault({"UpdateDriverForPlugAndPlayDevicesA", 0, 0xE000022Fu});
  EXPECT_RESULT_AND_ERROR(update(nullptr, "USB\\VID_F00D&PID_0051", inf_.c_str(), INSTALLFLAG_FORCE, nullptr), FALSE,
                          0xE000022Fu);
}

}  // namespace
