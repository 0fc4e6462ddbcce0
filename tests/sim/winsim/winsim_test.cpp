// The winsim command, run as a process: making machines, adding and plugging
// devices, showing a machine, planning faults, and refusing bad input with
// one line on standard error and the machine left as it was.
#include "tests/support/process.h"
#include "tests/support/sim_fixture.h"

#include <algorithm>
#include <fstream>

namespace {

using nlohmann::json;

class Winsim : public test::SimTest {
 protected:
  test::ProcessRun Run(const std::vector<std::string>& args) {
    test::ProcessLaunch launch{WINSIM_PATH, {"winsim"}, packageDir_, {}, "", 30};
    launch.argv.insert(launch.argv.end(), args.begin(), args.end());
    return test::RunProcess(launch);
  }
  json Show(const char* name) {
    const test::ProcessRun run = Run({"show", Dir(name), "--json"});
    EXPECT_EQ(run.exit, 0) << run.err;
    return json::parse(run.out);
  }
  std::string Dir(const char* name) { return (root_ / name).string(); }
};

// The example machines, the example run and the fault sweep are made with
// winsim's new, add-device and plug; here, what winsim itself says of them.
TEST_F(Winsim, NewMachinesTheirDevicesAndFaultPlans) {
  const test::ProcessRun run = Run({"new", Dir("m"), "--arch", "x86"});
  EXPECT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(run.out + run.err, "");
  EXPECT_EQ(Show("m")["machine"], (json{{"family", "nt"}, {"version", "0x4A65000A"}, {"language", "0x0409"},
                                        {"architecture", "x86"}, {"dir", Dir("m")}, {"windows_directory", "C:\\WINDOWS"},
                                        {"system_directory", "C:\\WINDOWS\\system32"}}));
  const auto added = Run({"add-device", Dir("m"), "--hwid", "USB\\VID_F00D&PID_0070", "--compat", "USB\\Class_FF",
                          "--flags", "0x40"});
  ASSERT_EQ(added.exit, 0) << added.err;
  const json d = Show("m")["devices"][3];
  EXPECT_EQ(added.out, d["instance_id"].get<std::string>() + "\n");
  EXPECT_EQ(d["config_flags"], "0x00000040");
  EXPECT_EQ(d["compatible_ids"], json::array({"USB\\Class_FF"}));
  EXPECT_EQ(Run({"unplug", Dir("m"), d["instance_id"].get<std::string>()}).exit, 0);
  EXPECT_FALSE(Show("m")["devices"][3]["present"].get<bool>());
  // A fault plan, and its end. (How a planned fault fails its call is
  // SimCore's test; that the machine file keeps the plan, MachineFile's.)
  ASSERT_EQ(Run({"fault", Dir("m"), "SetupOpenFileQueue", "--nth", "2", "--error", "8"}).exit, 0);
  EXPECT_EQ(Show("m")["faults"], json::parse(R"([{"call":"SetupOpenFileQueue","nth":2,"error":"0x00000008"}])"));
  ASSERT_EQ(Run({"fault", Dir("m"), "--clear"}).exit, 0);
  EXPECT_TRUE(Show("m")["faults"].empty());
}

TEST_F(Winsim, BadInputIsOneLineAndChangesNothing) {
  ASSERT_EQ(Run({"new", Dir("m")}).exit, 0);
  for (int i = 0; i < 2; ++i) ASSERT_EQ(Run({"add-device", Dir("m"), "--hwid", "USB\\VID_F00D&PID_0072"}).exit, 0);
  std::filesystem::create_directories(root_ / "full");
  std::ofstream(root_ / "full" / "x") << "x";
  const std::string before = test::ReadFile(root_ / "m" / "machine.json");
  const std::string m = Dir("m");
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{}, 2}, {{"frobnicate", m}, 2}, {{"new", m}, 1}, {{"new", Dir("full")}, 1},
      {{"new", Dir("n"), "--family", "9x", "--version", "0x4A65000A"}, 2}, {{"new", Dir("n"), "--arch", "arm64"}, 2},
      {{"add-device", m, "--hwid", "USB\\A B"}, 2}, {{"add-device", m, "--hwid", "X", "--flags", "0x1FFFFFFFF"}, 2},
      {{"plug", m, "NO\\SUCH"}, 1}, {{"plug", m, "USB\\VID_F00D&PID_0072"}, 1},  // two devices have it
      {{"show", Dir("none")}, 1}, {{"fault", m, "GetVersion"}, 2},  // a call that never asks the fault plan
      {{"fault", m, "CopyFileA", "--nth", "-1"}, 2},
  };
  for (const auto& [args, exit] : cases) {
    SCOPED_TRACE(testing::PrintToString(args));
    const test::ProcessRun run = Run(args);
    EXPECT_EQ(run.exit, exit);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.rfind("winsim: ", 0) == 0 && std::count(run.err.begin(), run.err.end(), '\n') == 1 &&
                run.err.back() == '\n') << run.err;
    EXPECT_EQ(test::ReadFile(root_ / "m" / "machine.json"), before);
  }
  // No refused machine was left behind, not even half made.
  for (const auto& entry : std::filesystem::directory_iterator(root_)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "m" || name == "full" || name == "machine" || name == "package") << name;
  }
}

}  // namespace
