// A fresh simulated machine for each test, and the checks every test shares.
#pragma once

#include "app/app_state.h"
#include "platform/sim/machine/machine.h"

#include <gtest/gtest.h>

#include <nlohmann/json_fwd.hpp>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace test {

namespace fs = std::filesystem;

// Each test runs on its own new machine in a temporary directory, from a
// package directory of its own (the current directory), with AppState zero as
// at process start. At the end the handle ledger must be clean.
class SimTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes a file into the package directory (bytes as given).
  fs::path WritePackageFile(const std::string& name, const std::string& bytes);
  // Writes a file at a Windows path of the simulated drive.
  fs::path WriteMachineFile(const std::string& windowsPath, const std::string& bytes);
  std::string ReadMachineFile(const std::string& windowsPath);
  bool MachineFileExists(const std::string& windowsPath);
  // The Windows path of a package file, as the program would build it.
  std::string PackagePath(const std::string& name);
  // Names the package file `name` in InfPath, as the start-up would.
  void SetInfPath(const std::string& name);
  // Copies examples/package into the package directory, the INF under `infName`.
  void CopyExamplePackage(const std::string& infName = "exampledrv.inf");
  std::string ExampleInf();

  // The new machine: a test that needs another family or language sets it in its constructor.
  sim::NewMachineOptions machine_;
  // Tests that leave handles open on purpose say so here.
  bool expectCleanLedger_ = true;

  fs::path root_;
  fs::path machineDir_;
  fs::path packageDir_;
  fs::path previousDir_;
};

// The message boxes shown so far, as the transcript has them.
struct Box {
  std::string owner;  // "" for none
  std::string bytes;  // the exact text bytes
  std::string caption;
  unsigned type;
  bool operator==(const Box&) const = default;
  friend void PrintTo(const Box& b, std::ostream* os) {
    *os << "{owner \"" << b.owner << "\" " << ::testing::PrintToString(b.bytes) << " caption \"" << b.caption
        << "\" type " << b.type << "}";
  }
};
std::vector<Box> MessageBoxes();
// The message boxes among transcript entries.
std::vector<Box> BoxesIn(const std::vector<nlohmann::json>& entries);

// A device as one line (id, presence, driver and flags), to compare machines by.
std::string DeviceLine(const sim::Device& d);
// The devices, one DeviceLine each, each ended by a line break.
std::string DeviceLines(const std::vector<sim::Device>& devices = sim::CurrentMachine().devices);
// Every file of the open machine's drive C with its bytes, by its path below
// C:\, read through the simulation's file layer (on disk or in memory).
std::map<std::string, std::string> DriveFiles();

// Reads a whole file.
std::string ReadFile(const fs::path& path);

// Every regular file under `dir` with its bytes, by its path relative to `dir`,
// but those whose name `skip` accepts.
std::map<std::string, std::string> FilesUnder(const fs::path& dir,
                                              const std::function<bool(const std::string& name)>& skip = {});

// A UTF-8 text in code page 936, converted independently of the compiler's
// conversion of the program's Chinese texts, so that tests can check their bytes.
std::string Gbk(const std::string& utf8);

}  // namespace test

// Checks a call's result and the last error it left, with the caller's line.
#define EXPECT_RESULT_AND_ERROR(call, expectedResult, expectedError)                       \
  do {                                                                                     \
    SetLastError(0xdeadbeef);                                                              \
    const auto result_ = (call);                                                           \
    const DWORD error_ = GetLastError();                                                   \
    EXPECT_EQ(result_, (expectedResult)) << #call;                                         \
    EXPECT_EQ(error_, static_cast<DWORD>(expectedError)) << #call << " left 0x" << std::hex << error_; \
  } while (0)
