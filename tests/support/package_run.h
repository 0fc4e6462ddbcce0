// The program run as a user runs it: build/linux/setup started in a package
// directory, on the test's machine, with the example package or INF files of
// the test's own.
#pragma once

#include "tests/support/device_helpers.h"
#include "tests/support/process.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/pnp/pnp.h"

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace test {

class PackageRun : public SimTest {
 protected:
  std::string AddSensor(bool present = true) { return AddTestDevice(kExampleIds, present); }
  // The sensor as the machine now has it, or null when it is gone.
  const sim::Device* Sensor() { return sim::FindDevice(kExampleId); }

  // Runs the program with these arguments (argv[0] given apart) in the
  // package directory, standard input `input`, then reloads the machine.
  ProcessRun RunSetup(const std::vector<std::string>& args, const std::string& input = "",
                      const std::string& argv0 = "setup");
  std::vector<Box> Boxes() { return BoxesIn(TranscriptFile(machineDir_)); }
};

}  // namespace test
