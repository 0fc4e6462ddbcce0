// The program run as a user runs it: build/linux/setup started in a package
// directory, on the test's machine, with the example package or INF files of
// the test's own.
#pragma once

#include "tests/support/device_helpers.h"
#include "tests/support/process.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/pnp/pnp.h"

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace test {

// What `setup /S` then `setup /U` did to the open machine, each run in this
// process with the program state of a new process: exit codes, and after each
// run every file of drive C with its bytes, the devices and the transcript
// entries (without their process ids).
struct SilentRuns {
  int installExit = -1, uninstallExit = -1;
  std::map<std::string, std::string> installed, uninstalled;
  std::string devicesInstalled, devicesUninstalled;
  std::vector<nlohmann::json> transcript;
};

// Expects `runs` to have ended exactly as `expected` did.
void ExpectSameRuns(const SilentRuns& runs, const SilentRuns& expected);

class PackageRun : public SimTest {
 protected:
  std::string AddSensor(bool present = true) { return AddTestDevice(kExampleIds, present); }
  // The sensor as the machine now has it, or null when it is gone.
  const sim::Device* Sensor() { return sim::FindDevice(kExampleId); }
  // Plans a fault in the machine file, for the program's process.
  void PlanFault(const std::string& call, int nth = 0, std::optional<DWORD> error = std::nullopt);

  // Runs the program with these arguments (argv[0] given apart) in the
  // package directory, standard input `input`, then reloads the machine.
  ProcessRun RunSetup(const std::vector<std::string>& args, const std::string& input = "",
                      const std::string& argv0 = "setup", const std::string& program = SETUP_PATH);
  std::vector<Box> Boxes() { return BoxesIn(TranscriptFile(machineDir_)); }
  // Plugs in the sensor, then runs `setup /S` and `setup /U` in this process.
  SilentRuns RunSilently();
};

}  // namespace test
