// The configuration manager's calls return CONFIGRET codes and leave the last
// error code as it was. Re-enumeration is a stub in Wine: here it installs
// what Windows would. The status of present and absent nodes, as the program
// reads it, is the reinstall marking's test.
#include "tests/support/device_helpers.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/transcript.h"

namespace {

class ConfigManager : public test::SimTest {
 protected:
  DEVINST NodeOf(const std::string& id) { return sim::FindDevice(id)->devnode; }
};

TEST_F(ConfigManager, ReenumerationInstallsTheStagedDriverOfAMarkedNode) {
  const std::string marked = test::AddTestDevice({"USB\\VID_F00D&PID_0043"}, true, CONFIGFLAG_REINSTALL);
  const std::string unmarked = test::AddTestDevice({"USB\\VID_F00D&PID_0043"}, true, 0);
  const std::string absent = test::AddTestDevice({"USB\\VID_F00D&PID_0043"}, false, CONFIGFLAG_REINSTALL);
  // Nothing offers a driver yet: the mark stays for a later try.
  EXPECT_RESULT_AND_ERROR(CM_Reenumerate_DevNode(NodeOf(marked), 0), CR_SUCCESS, 0xdeadbeef);
  EXPECT_EQ(sim::FindDevice(marked)->config_flags, std::optional<DWORD>(CONFIGFLAG_REINSTALL));
  WritePackageFile("drv.inf", test::PackageInf("USB\\VID_F00D&PID_0043"));
  WritePackageFile("testdrv.sys", "driver image");
  ASSERT_TRUE(SetupCopyOEMInfA(PackagePath("drv.inf").c_str(), nullptr, SPOST_PATH, 0, nullptr, 0, nullptr, nullptr));
  EXPECT_RESULT_AND_ERROR(CM_Reenumerate_DevNode_Ex(NodeOf(marked), 0, nullptr), CR_SUCCESS, 0xdeadbeef);
  EXPECT_EQ(sim::FindDevice(marked)->driver, (sim::DriverRecord{"oem0.inf", "Drv.Install.NT"}));
  EXPECT_EQ(sim::FindDevice(marked)->config_flags, std::optional<DWORD>(0));
  // A present node without the mark is re-enumerated, but nothing is installed.
  EXPECT_RESULT_AND_ERROR(CM_Reenumerate_DevNode(NodeOf(unmarked), 0), CR_SUCCESS, 0xdeadbeef);
  EXPECT_FALSE(sim::FindDevice(unmarked)->driver);
  EXPECT_RESULT_AND_ERROR(CM_Reenumerate_DevNode(NodeOf(absent), 0), CR_NO_SUCH_DEVNODE, 0xdeadbeef);
}

}  // namespace
