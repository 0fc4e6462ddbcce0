// The whole road of a driver package through the simulated platform: staged
// while its device is away, installed by Plug and Play when the device is
// plugged in, found again through the device's compatible drivers, and the
// device removed.
#include "tests/support/device_helpers.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/pnp/pnp.h"

namespace {

class DevicePath : public test::SimTest {};

TEST_F(DevicePath, StagePlugInstallFindAndRemove) {
  const std::string hwid = "USB\\VID_F00D&PID_0060";
  WritePackageFile("drv.inf", test::PackageInf(hwid, {"testdrv.sys", "testdrv.dll"}));
  WritePackageFile("testdrv.sys", "driver image");
  WritePackageFile("testdrv.dll", "helper library");
  const std::string id = test::AddTestDevice({hwid + "&REV_0002", hwid}, false, 0);

  // Staged, as the program's pre-install does when no device is present.
  char staged[MAX_PATH] = "";
  EXPECT_RESULT_AND_ERROR(
      SetupCopyOEMInfA(PackagePath("drv.inf").c_str(), nullptr, SPOST_PATH, 0, staged, MAX_PATH, nullptr, nullptr),
      TRUE, ERROR_SUCCESS);
  EXPECT_STREQ(staged, "C:\\WINDOWS\\INF\\oem0.inf");
  EXPECT_FALSE(MachineFileExists("C:\\WINDOWS\\system32\\drivers\\testdrv.sys"));

  // Plugged in: Plug and Play finds the staged driver and installs it.
  sim::SetDevicePresent(*sim::FindDevice(id), true);
  const sim::Device* d = sim::FindDevice(id);
  ASSERT_TRUE(d->driver);
  EXPECT_EQ(d->driver->inf, "oem0.inf");
  EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\system32\\drivers\\testdrv.sys"), "driver image");
  EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\system32\\drivers\\testdrv.dll"), "helper library");
  bool saved = false;
  for (const sim::Device& onDisk : sim::LoadMachineFile(machineDir_).devices)
    if (onDisk.instance_id == id) saved = onDisk.present && onDisk.driver && onDisk.driver->inf == "oem0.inf";
  EXPECT_TRUE(saved);
  ULONG status = 0, problem = 0;
  EXPECT_EQ(CM_Get_DevNode_Status(&status, &problem, d->devnode, 0), static_cast<CONFIGRET>(CR_SUCCESS));
  EXPECT_EQ(problem, 0u);

  // The uninstall's view: the present device, and its staged INF among its drivers.
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
  SP_DEVINFO_DATA data{};
  ASSERT_TRUE(test::FindElement(set, id, data));
  ASSERT_TRUE(SetupDiBuildDriverInfoList(set, &data, SPDIT_COMPATDRIVER));
  SP_DRVINFO_DATA_V2_A driver{};
  driver.cbSize = sizeof driver;
  ASSERT_TRUE(SetupDiEnumDriverInfoA(set, &data, SPDIT_COMPATDRIVER, 0, &driver));
  SP_DRVINFO_DETAIL_DATA_A detail{};
  detail.cbSize = sizeof detail;
  SetupDiGetDriverInfoDetailA(set, &data, &driver, &detail, sizeof detail, nullptr);
  EXPECT_STREQ(detail.InfFileName, "C:\\WINDOWS\\INF\\oem0.inf");
  EXPECT_TRUE(SetupDiDestroyDriverInfoList(set, &data, SPDIT_COMPATDRIVER));

  EXPECT_RESULT_AND_ERROR(SetupDiCallClassInstaller(DIF_REMOVE, set, &data), TRUE, ERROR_SUCCESS);
  EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
  EXPECT_EQ(sim::FindDevice(id), nullptr);

  // What happened, in order, as the transcript tells it.
  std::vector<std::string> order;
  for (const auto& e : sim::Transcript()) {
    const std::string event = e["event"];
    if (event != "driver_not_found" && (order.empty() || order.back() != event)) order.push_back(event);
  }
  const std::vector<std::string> expected = {"device_add", "file_copy",  "inf_staged",     "device_plug",
                                             "file_copy",  "driver_install", "device_remove"};
  EXPECT_EQ(order, expected);
  for (const auto& e : sim::Transcript()) EXPECT_TRUE(e.contains("summary")) << e.dump();
}

}  // namespace
