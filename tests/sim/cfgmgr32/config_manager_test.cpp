// The configuration manager: CM_Get_DevNode_Status, CM_Reenumerate_DevNode and
// CM_Reenumerate_DevNode_Ex. They return CONFIGRET codes and leave the last
// error code as it was.
#include "tests/support/device_helpers.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/pnp/pnp.h"

namespace {

class ConfigManager : public test::SimTest {
 protected:
  DEVINST NodeOf(const std::string& id) { return sim::FindDevice(id)->devnode; }
  // Stages a package for `hwid` whose files are in the package directory.
  void StagePackage(const std::string& hwid) {
    WritePackageFile("drv.inf", test::PackageInf(hwid));
    WritePackageFile("testdrv.sys", "driver image");
    ASSERT_TRUE(SetupCopyOEMInfA(PackagePath("drv.inf").c_str(), nullptr, SPOST_PATH, 0, nullptr, 0, nullptr, nullptr));
  }
};

TEST_F(ConfigManager, StatusOfNodes) {
  const std::string failed = test::AddTestDevice({"USB\\VID_F00D&PID_0040"}, true, CONFIGFLAG_FAILEDINSTALL);
  const std::string reinstall = test::AddTestDevice({"USB\\VID_F00D&PID_0041"}, true, CONFIGFLAG_REINSTALL);
  const std::string absent = test::AddTestDevice({"USB\\VID_F00D&PID_0042"}, false);
  const DEVINST hub = sim::CurrentMachine().devices[0].devnode;  // installed by the new machine
  struct Case {
    const char* what;
    DEVINST node;
    CONFIGRET result;
    ULONG status, problem;
  } cases[] = {
      {"driver installed", hub, CR_SUCCESS, DN_DRIVER_LOADED | DN_STARTED, 0},
      {"install failed", NodeOf(failed), CR_SUCCESS, DN_HAS_PROBLEM, CM_PROB_FAILED_INSTALL},
      {"marked for reinstall", NodeOf(reinstall), CR_SUCCESS, DN_HAS_PROBLEM, CM_PROB_REINSTALL},
      {"not present", NodeOf(absent), CR_NO_SUCH_DEVNODE, 0xdead, 0xbeef},
      {"no such node", 0x7777, CR_NO_SUCH_DEVNODE, 0xdead, 0xbeef},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ULONG status = 0xdead, problem = 0xbeef;
    EXPECT_RESULT_AND_ERROR(CM_Get_DevNode_Status(&status, &problem, c.node, 0), c.result, 0xdeadbeef);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(problem, c.problem);
  }
  ULONG status = 0, problem = 0;
  EXPECT_RESULT_AND_ERROR(CM_Get_DevNode_Status(nullptr, &problem, hub, 0), CR_INVALID_POINTER, 0xdeadbeef);
  EXPECT_RESULT_AND_ERROR(CM_Get_DevNode_Status(&status, &problem, hub, 1), CR_INVALID_FLAG, 0xdeadbeef);
  sim::AddFault({"CM_Get_DevNode_Status", 0, CR_FAILURE});
  EXPECT_RESULT_AND_ERROR(CM_Get_DevNode_Status(&status, &problem, hub, 0), CR_FAILURE, 0xdeadbeef);
}

TEST_F(ConfigManager, ReenumerationInstallsTheStagedDriverOfAMarkedNode) {
  const std::string marked = test::AddTestDevice({"USB\\VID_F00D&PID_0043"}, true, CONFIGFLAG_REINSTALL);
  // Nothing offers a driver yet: the mark stays for a later try.
  EXPECT_RESULT_AND_ERROR(CM_Reenumerate_DevNode(NodeOf(marked), 0), CR_SUCCESS, 0xdeadbeef);
  EXPECT_EQ(sim::FindDevice(marked)->config_flags, std::optional<DWORD>(CONFIGFLAG_REINSTALL));
  EXPECT_FALSE(sim::FindDevice(marked)->driver);

  StagePackage("USB\\VID_F00D&PID_0043");
  EXPECT_RESULT_AND_ERROR(CM_Reenumerate_DevNode_Ex(NodeOf(marked), 0, nullptr), CR_SUCCESS, 0xdeadbeef);
  EXPECT_EQ(sim::FindDevice(marked)->driver, (sim::DriverRecord{"oem0.inf", "Drv.Install.NT"}));
  EXPECT_EQ(sim::FindDevice(marked)->config_flags, std::optional<DWORD>(0));
  EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\system32\\drivers\\testdrv.sys"), "driver image");
  ASSERT_EQ(sim::TranscriptOf("driver_install").size(), 1u);
  EXPECT_EQ(sim::TranscriptOf("driver_install")[0]["via"], "plug and play");
}

TEST_F(ConfigManager, ReenumerationOfOtherNodes) {
  StagePackage("USB\\VID_F00D&PID_0044");
  const std::string unmarked = test::AddTestDevice({"USB\\VID_F00D&PID_0044"}, false, 0);
  const std::string absentMarked = test::AddTestDevice({"USB\\VID_F00D&PID_0044"}, false, CONFIGFLAG_REINSTALL);
  EXPECT_RESULT_AND_ERROR(CM_Reenumerate_DevNode(NodeOf(absentMarked), 0), CR_NO_SUCH_DEVNODE, 0xdeadbeef);
  EXPECT_RESULT_AND_ERROR(CM_Reenumerate_DevNode_Ex(NodeOf(unmarked), 0, nullptr), CR_NO_SUCH_DEVNODE, 0xdeadbeef);
  sim::SetDevicePresent(*sim::FindDevice(unmarked), true);  // plugging in installs the staged driver
  sim::FindDevice(unmarked)->driver.reset();
  // A present node without the mark is re-enumerated, but nothing is installed.
  EXPECT_RESULT_AND_ERROR(CM_Reenumerate_DevNode(NodeOf(unmarked), 0), CR_SUCCESS, 0xdeadbeef);
  EXPECT_FALSE(sim::FindDevice(unmarked)->driver);
  EXPECT_FALSE(sim::FindDevice(absentMarked)->driver);
  EXPECT_RESULT_AND_ERROR(CM_Reenumerate_DevNode(NodeOf(unmarked), 0x100), CR_INVALID_FLAG, 0xdeadbeef);
  int machine = 0;
  EXPECT_RESULT_AND_ERROR(CM_Reenumerate_DevNode_Ex(NodeOf(unmarked), 0, &machine), CR_INVALID_MACHINENAME,
                          0xdeadbeef);
  EXPECT_EQ(sim::TranscriptOf("device_reenumerate").size(), 1u);
}

}  // namespace
