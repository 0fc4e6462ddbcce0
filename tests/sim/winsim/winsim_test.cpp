// The winsim command, run as a process: making machines, adding and plugging
// devices, showing a machine, planning faults, and refusing bad input with
// one line on standard error and the machine left as it was.
#include "tests/support/device_helpers.h"
#include "tests/support/process.h"
#include "platform/sim/machine/machine.h"

#include <algorithm>
#include <fstream>

namespace {

using nlohmann::json;

class Winsim : public test::SimTest {
 protected:
  test::ProcessRun RunWinsim(const std::vector<std::string>& args) {
    test::ProcessLaunch launch{WINSIM_PATH, {"winsim"}, packageDir_, {}, "", 30};
    launch.argv.insert(launch.argv.end(), args.begin(), args.end());
    return test::RunProcess(launch);
  }
  json Show(const std::string& dir) {
    const test::ProcessRun run = RunWinsim({"show", dir, "--json"});
    EXPECT_EQ(run.exit, 0) << run.err;
    return json::parse(run.out);
  }
  std::string Dir(const char* name) { return (root_ / name).string(); }
};

TEST_F(Winsim, NewMachines) {
  const test::ProcessRun run = RunWinsim({"new", Dir("m")});
  EXPECT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out + run.err, "");
  json m = Show(Dir("m"));
  const json expected = {{"family", "nt"},           {"version", "0x4A65000A"},
                         {"language", "0x0409"},       {"architecture", "amd64"},
                         {"dir", Dir("m")},            {"windows_directory", "C:\\WINDOWS"},
                         {"system_directory", "C:\\WINDOWS\\system32"}};
  EXPECT_EQ(m["machine"], expected);
  ASSERT_EQ(m["devices"].size(), 3u);
  for (const json& d : m["devices"]) EXPECT_TRUE(d["present"].get<bool>() && !d["driver"].is_null()) << d.dump();
  EXPECT_EQ(m["devices"][0]["hardware_ids"][0], "USB\\ROOT_HUB30");
  EXPECT_TRUE(m["staged_infs"].empty() && m["new_files"].empty() && m["removed_files"].empty());
  EXPECT_NE(RunWinsim({"show", Dir("m")}).out.find("ACPI\\PNP0303"), std::string::npos);

  ASSERT_EQ(RunWinsim({"new", Dir("n"), "--family", "9x", "--lang", "0x0804", "--arch", "x86"}).exit, 0);
  m = Show(Dir("n"));
  EXPECT_EQ(m["machine"]["version"], "0xC0000A04");
  EXPECT_EQ(m["machine"]["language"], "0x0804");
  EXPECT_EQ(m["devices"][1]["driver"]["section"], "Keyboard.Install");  // no decoration on 9x
  EXPECT_TRUE(std::filesystem::exists(root_ / "n/drive_c/WINDOWS/INF/drvidx.bin"));
}

TEST_F(Winsim, AddPlugAndUnplug) {
  ASSERT_EQ(RunWinsim({"new", Dir("m")}).exit, 0);
  const auto added = RunWinsim({"add-device", Dir("m"), "--hwid", "USB\\VID_F00D&PID_0070&REV_0001", "--hwid",
                                "USB\\VID_F00D&PID_0070", "--compat", "USB\\Class_FF", "--absent", "--flags", "0x40"});
  ASSERT_EQ(added.exit, 0) << added.err;
  ASSERT_EQ(std::count(added.out.begin(), added.out.end(), '\n'), 1);
  ASSERT_EQ(added.out.back(), '\n');
  const std::string id = added.out.substr(0, added.out.size() - 1);
  json d = Show(Dir("m"))["devices"][3];
  EXPECT_EQ(d["instance_id"], id);
  EXPECT_EQ(d["instance_id"].get<std::string>().rfind("USB\\VID_F00D&PID_0070\\", 0), 0u);
  EXPECT_FALSE(d["present"].get<bool>());
  EXPECT_EQ(d["config_flags"], "0x00000040");
  EXPECT_EQ(d["compatible_ids"], json::array({"USB\\Class_FF"}));
  EXPECT_TRUE(d["driver"].is_null());

  EXPECT_EQ(RunWinsim({"plug", Dir("m"), "usb\\vid_f00d&pid_0070"}).exit, 0);
  EXPECT_TRUE(Show(Dir("m"))["devices"][3]["present"].get<bool>());
  EXPECT_EQ(RunWinsim({"unplug", Dir("m"), id}).exit, 0);
  EXPECT_FALSE(Show(Dir("m"))["devices"][3]["present"].get<bool>());
}

TEST_F(Winsim, PlugInstallsAStagedDriver) {
  ASSERT_EQ(RunWinsim({"new", Dir("m")}).exit, 0);
  ASSERT_EQ(RunWinsim({"add-device", Dir("m"), "--hwid", "USB\\VID_F00D&PID_0071", "--absent"}).exit, 0);
  // Staged by a program run on that machine.
  sim::OpenMachine(Dir("m"));
  WritePackageFile("drv.inf", test::PackageInf("USB\\VID_F00D&PID_0071"));
  WritePackageFile("testdrv.sys", "driver image");
  ASSERT_TRUE(SetupCopyOEMInfA(PackagePath("drv.inf").c_str(), nullptr, SPOST_PATH, 0, nullptr, 0, nullptr, nullptr));

  EXPECT_EQ(RunWinsim({"plug", Dir("m"), "USB\\VID_F00D&PID_0071"}).exit, 0);
  const json m = Show(Dir("m"));
  EXPECT_EQ(m["devices"][3]["driver"]["inf"], "oem0.inf");
  ASSERT_EQ(m["staged_infs"].size(), 1u);
  EXPECT_EQ(m["staged_infs"][0]["inf"], "C:\\WINDOWS\\INF\\oem0.inf");
  EXPECT_TRUE(m["staged_infs"][0]["pnf"].get<bool>());
  EXPECT_EQ(m["new_files"], json::array({"C:\\WINDOWS\\INF\\oem0.PNF", "C:\\WINDOWS\\INF\\oem0.inf",
                                         "C:\\WINDOWS\\system32\\drivers\\testdrv.sys"}));
}

TEST_F(Winsim, FaultPlanIsKeptInTheMachine) {
  ASSERT_EQ(RunWinsim({"new", Dir("m")}).exit, 0);
  ASSERT_EQ(RunWinsim({"fault", Dir("m"), "SetupOpenFileQueue", "--nth", "2", "--error", "8"}).exit, 0);
  const json plan = Show(Dir("m"))["faults"];
  EXPECT_EQ(plan, json::parse(R"([{"call":"SetupOpenFileQueue","nth":2,"error":"0x00000008"}])"));
  sim::OpenMachine(Dir("m"));
  sim::ResetProcessState();
  HSPFILEQ first = SetupOpenFileQueue();
  EXPECT_NE(first, INVALID_HANDLE_VALUE);
  EXPECT_RESULT_AND_ERROR(SetupOpenFileQueue(), INVALID_HANDLE_VALUE, ERROR_NOT_ENOUGH_MEMORY);
  SetupCloseFileQueue(first);
  ASSERT_EQ(RunWinsim({"fault", Dir("m"), "--clear"}).exit, 0);
  EXPECT_TRUE(Show(Dir("m"))["faults"].empty());
}

TEST_F(Winsim, BadInputIsOneLineAndChangesNothing) {
  ASSERT_EQ(RunWinsim({"new", Dir("m")}).exit, 0);
  ASSERT_EQ(RunWinsim({"add-device", Dir("m"), "--hwid", "USB\\VID_F00D&PID_0072"}).exit, 0);
  ASSERT_EQ(RunWinsim({"add-device", Dir("m"), "--hwid", "USB\\VID_F00D&PID_0072"}).exit, 0);
  std::filesystem::create_directories(root_ / "full");
  std::ofstream(root_ / "full" / "x") << "x";
  const std::string before = test::ReadFile(root_ / "m" / "machine.json");
  const std::string m = Dir("m");
  struct Case {
    std::vector<std::string> args;
    int exit;
  } cases[] = {
      {{}, 2},
      {{"frobnicate", m}, 2},
      {{"new", m}, 1},
      {{"new", Dir("full")}, 1},
      {{"new", Dir("n"), "--family", "9x", "--version", "0x4A65000A"}, 2},
      {{"new", Dir("n"), "--arch", "arm64"}, 2},
      {{"add-device", m}, 2},
      {{"add-device", m, "--hwid", "USB\\A B"}, 2},
      {{"add-device", m, "--hwid", "X", "--flags", "0x1FFFFFFFF"}, 2},
      {{"plug", m, "NO\\SUCH"}, 1},
      {{"plug", m, "USB\\VID_F00D&PID_0072"}, 1},  // two devices have it
      {{"unplug", m}, 2},
      {{"show", Dir("none")}, 1},
      {{"fault", m, "NoSuchCall"}, 2},
      {{"fault", m, "CopyFileA", "--nth", "-1"}, 2},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    SCOPED_TRACE(shown);
    const test::ProcessRun run = RunWinsim(c.args);
    EXPECT_EQ(run.exit, c.exit);
    EXPECT_EQ(run.out, "");
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.rfind("winsim: ", 0), 0u);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    EXPECT_EQ(run.err.back(), '\n');
    EXPECT_EQ(test::ReadFile(root_ / "m" / "machine.json"), before);
  }
  // No refused machine was left behind, not even half made.
  for (const auto& entry : std::filesystem::directory_iterator(root_)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "m" || name == "full" || name == "machine" || name == "package") << name;
  }
}

}  // namespace
