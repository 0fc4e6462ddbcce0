// The program killed (SIGKILL) in the middle of a silent install or
// uninstall, at every point where the run changes the machine in turn (the
// simulation's kill points, SETUP_SIM_KILL_AT): the machine file always
// loads afterwards, and a second run completes with the exit code that the
// machine it found calls for and leaves the machine as an uninterrupted run
// does.
#include "tests/support/package_run.h"
#include "platform/sim/machine/machine.h"

#include <csignal>
#include <cstdio>
#include <map>

namespace {

namespace fs = std::filesystem;

struct Case {
  const char* name;
  DWORD version;
  bool sensorPresent;
  bool uninstall;  // interrupted: /U after an install; otherwise /S
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kCases[] = {
    {"InstallUpdatingThePresentDevice", 0x4A65000A, true, false},
    {"InstallStagingThePackage", 0x4A65000A, false, false},
    {"LegacyInstall", 0xC0000A04, true, false},
    {"Uninstall", 0x4A65000A, true, true},
    {"LegacyUninstall", 0xC0000A04, true, true},
};

// What a run leaves on a machine: its devices and the files of its drive,
// each under its name. A copy that was interrupted before its rename leaves
// its temporary file beside the target; such files are counted, not compared.
std::map<std::string, std::string> StateOf(const fs::path& dir, int& leftovers) {
  auto state = test::FilesUnder(dir / "drive_c", [&](const std::string& name) {
    return name.rfind(".copy-", 0) == 0 && ++leftovers;
  });
  state["(devices)"] = test::DeviceLines(sim::LoadMachineFile(dir).devices);
  return state;
}

class InterruptedRun : public test::PackageRun, public ::testing::WithParamInterface<Case> {
 protected:
  InterruptedRun() { machine_.version = GetParam().version; }

  // The program in the package directory on the machine `dir`, killed at the
  // `killAt`-th kill point when that is not 0.
  test::ProcessRun Run(const fs::path& dir, long killAt) {
    return test::RunProcess({SETUP_PATH, {"setup", GetParam().uninstall ? "/U" : "/S"}, packageDir_,
                             {{"SETUP_MACHINE", dir.string()}, {"SETUP_UI", "script"}, {"SETUP_SIM_ECHO", "0"},
                              {"SETUP_SIM_KILL_AT", killAt ? std::to_string(killAt) : std::string()}},
                             ""});
  }

  void Fresh(const fs::path& dir) {
    fs::remove_all(dir);
    fs::copy(template_, dir, fs::copy_options::recursive);
  }

  // The exit code a complete run gives on the machine as it is now: an
  // uninstall fails once the device it removes is gone.
  int ExpectedExit(const fs::path& dir) {
    if (!GetParam().uninstall) return 0;
    for (const sim::Device& d : sim::LoadMachineFile(dir).devices)
      for (const std::string& id : d.hardware_ids)
        if (id == test::kExampleId) return 0;
    return 1;
  }

  fs::path template_;
};

TEST_P(InterruptedRun, AtEveryKillPoint) {
  CopyExamplePackage();
  AddSensor(GetParam().sensorPresent);
  if (GetParam().uninstall) {
    ASSERT_EQ(RunSetup({"/S"}).exit, 0);
  }
  template_ = root_ / "template";
  fs::copy(machineDir_, template_, fs::copy_options::recursive);

  const fs::path clean = root_ / "clean", run = root_ / "run";
  Fresh(clean);
  const test::ProcessRun uninterrupted = Run(clean, 0);
  ASSERT_EQ(uninterrupted.exit, 0) << uninterrupted.err;
  int leftovers = 0;
  const auto expected = StateOf(clean, leftovers);
  ASSERT_EQ(leftovers, 0);
  // Each change the run records is a kill point (and so is each file it replaces).
  const size_t recorded = test::TranscriptFile(clean).size() - test::TranscriptFile(template_).size();
  ASSERT_GT(recorded, 0u);

  int interrupted = 0;
  for (long n = 1;; ++n) {
    SCOPED_TRACE("killed at kill point " + std::to_string(n));
    Fresh(run);
    const test::ProcessRun first = Run(run, n);
    if (first.signal == 0) {
      // Past the last kill point: the run went to its end.
      EXPECT_EQ(first.exit, 0) << first.err;
      break;
    }
    ASSERT_EQ(first.signal, SIGKILL) << "the run ended otherwise: " << first.err;
    ++interrupted;

    ASSERT_NO_THROW(sim::LoadMachineFile(run)) << "the machine file does not load";
    const int exit = ExpectedExit(run);
    const test::ProcessRun second = Run(run, 0);
    EXPECT_EQ(second.exit, exit) << second.err;
    EXPECT_EQ(second.err.find("handle ledger:"), std::string::npos) << second.err;
    EXPECT_EQ(StateOf(run, leftovers), expected) << "after the second run, against an uninterrupted run";
    if (HasFailure()) break;
  }
  EXPECT_GE(static_cast<size_t>(interrupted), recorded);
  std::printf("%s: %d interrupted runs, %d temporary files left by interrupted copies\n", GetParam().name, interrupted,
              leftovers);
  RecordProperty("interrupted_runs", interrupted);
}

INSTANTIATE_TEST_SUITE_P(Runs, InterruptedRun, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
