#include "tests/support/package_run.h"
#include "app/app_state.h"
#include "app/entry.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"

namespace test {

void PackageRun::PlanFault(const std::string& call, int nth, std::optional<DWORD> error) {
  sim::CurrentMachine().faults.push_back(sim::FaultRule{call, nth, error});
  sim::SaveMachine();
}

void ExpectSameRuns(const SilentRuns& runs, const SilentRuns& expected) {
  EXPECT_EQ(runs.installExit, expected.installExit);
  EXPECT_EQ(runs.uninstallExit, expected.uninstallExit);
  EXPECT_EQ(runs.installed, expected.installed);
  EXPECT_EQ(runs.uninstalled, expected.uninstalled);
  EXPECT_EQ(runs.devicesInstalled, expected.devicesInstalled);
  EXPECT_EQ(runs.devicesUninstalled, expected.devicesUninstalled);
  EXPECT_EQ(runs.transcript, expected.transcript);
}

SilentRuns PackageRun::RunSilently() {
  SilentRuns runs;
  AddSensor();
  for (const char* action : {"/S", "/U"}) {
    sim::ResetProcessState();
    sim::ReopenMachine();
    AppState = ProgramState{};
    const bool install = action[1] == 'S';
    (install ? runs.installExit : runs.uninstallExit) = AppEntry(nullptr, action);
    (install ? runs.installed : runs.uninstalled) = DriveFiles();
    (install ? runs.devicesInstalled : runs.devicesUninstalled) = DeviceLines();
    for (nlohmann::json entry : sim::Transcript()) {
      entry.erase("pid");
      runs.transcript.push_back(entry);
    }
  }
  return runs;
}

ProcessRun PackageRun::RunSetup(const std::vector<std::string>& args, const std::string& input,
                                const std::string& argv0, const std::string& program) {
  ProcessLaunch launch;
  launch.program = program;
  launch.argv = {argv0};
  launch.argv.insert(launch.argv.end(), args.begin(), args.end());
  launch.directory = packageDir_;
  launch.environment = {{"SETUP_MACHINE", machineDir_.string()}, {"SETUP_UI", "script"}, {"SETUP_SIM_ECHO", "0"}};
  launch.input = input;
  const ProcessRun run = RunProcess(launch);
  EXPECT_FALSE(run.timedOut) << "the program did not end: " << run.out << run.err;
  // The program's own handle ledger: every handle closed once, none left open.
  EXPECT_EQ(run.err.find("handle ledger:"), std::string::npos) << run.err;
  sim::OpenMachine(machineDir_);
  return run;
}

}  // namespace test
