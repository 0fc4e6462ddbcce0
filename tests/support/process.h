// Runs a built program as its own process, with exactly the argv, working
// directory, environment and standard input a test gives it, so that tests can
// see what a user of the command would see: exit code, output, and what the
// run left in the machine directory.
#pragma once

#include "tests/support/sim_fixture.h"

#include <nlohmann/json.hpp>

#include <string>
#include <utility>
#include <vector>

namespace test {

struct ProcessLaunch {
  std::string program;            // the file to execute
  std::vector<std::string> argv;  // argv[0] included, any bytes
  fs::path directory;             // the working directory
  std::vector<std::pair<std::string, std::string>> environment;  // set on top of this process's own
  std::string input;              // the whole of standard input
  unsigned timeoutSeconds = 30;   // then the process is killed
};

struct ProcessRun {
  int exit = -1;  // -1 when it did not exit by itself
  bool timedOut = false;
  int signal = 0;  // the signal that ended it, when one did
  std::string out;
  std::string err;
};

ProcessRun RunProcess(const ProcessLaunch& launch);

// The entries of the machine's transcript.jsonl, every process's, in order.
std::vector<nlohmann::json> TranscriptFile(const fs::path& machineDir);

}  // namespace test
