#include "tests/support/package_run.h"
#include "platform/sim/machine/machine.h"

namespace test {

ProcessRun PackageRun::RunSetup(const std::vector<std::string>& args, const std::string& input,
                                const std::string& argv0) {
  ProcessLaunch launch;
  launch.program = SETUP_PATH;
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
