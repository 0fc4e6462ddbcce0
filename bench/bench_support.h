// What the benchmarks of the simulated platform share: scratch directories,
// generated machines of many devices and the example package.
#pragma once

#include "platform/sim/machine/machine.h"

#include <cstddef>
#include <filesystem>
#include <string>

namespace bench {

namespace fs = std::filesystem;

// A new directory under the temporary directory, removed with the object.
class ScratchDir {
 public:
  explicit ScratchDir(const char* tag);
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// The example package's device as it reports its ids (revision first),
// plugged in and without a driver, as a machine has it before the install.
sim::Device ExampleSensor();

// Makes a new machine in `dir` with `devices` devices in all: the few of a new
// machine, generated ones of several buses (each with a driver, as a machine
// that has been in use has them), and the example sensor as the last one, so
// that every walk over the tree meets it at the end. Written to machine.json
// once; the machine is left open.
void CreateDeviceMachine(const fs::path& dir, size_t devices);

// Copies the example package (INF, driver files) into `dir`.
void CopyExamplePackage(const fs::path& dir);

// Runs argv[0] with the arguments in `dir` with SETUP_MACHINE=machine and the
// transcript echo off, waits for it and returns its exit code (-1 when it
// could not be run or was killed).
int RunProcess(const fs::path& dir, const fs::path& machine, const std::string& program, const std::string& arg);

}  // namespace bench
