// A machine held in memory against the same machine on disk: a silent install
// and uninstall of the example package end the same on both (exit codes,
// every file of drive C with its bytes, the devices, the transcript), the one
// in memory writes nothing to disk, and a restore brings back the machine of
// its checkpoint, having put back only the files changed since.
#include "app/app_state.h"
#include "app/entry.h"
#include "platform/sim/kernel32/kernel32.h"
#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/paths.h"
#include "platform/win32.h"
#include "tests/support/package_run.h"

#include <map>

namespace {

namespace fs = std::filesystem;

using Files = std::map<std::string, std::string>;  // by path below drive C, with their bytes

// Every file of the open machine's drive C, through the simulation's file layer.
Files DriveFiles() {
  const fs::path root = sim::HostPathOf("C:\\");
  Files files;
  for (const fs::path& file : sim::FilesUnder(root)) sim::ReadFileBytes(file, files[file.lexically_relative(root).string()]);
  return files;
}

std::string Devices() {
  std::string out;
  for (const sim::Device& d : sim::CurrentMachine().devices) out += test::DeviceLine(d) + "\n";
  return out;
}

class MemoryMachine : public test::PackageRun {};

TEST_F(MemoryMachine, InstallAndUninstallEndAsOnDisk) {
  CopyExamplePackage();
  const test::SilentRuns disk = RunSilently();
  ASSERT_EQ(disk.installExit, 0);
  ASSERT_EQ(disk.uninstallExit, 0);
  ASSERT_NE(disk.installed, disk.uninstalled);

  const auto everyFile = [](const std::string&) { return false; };
  const Files package = test::FilesUnder(packageDir_, everyFile), machineDir = test::FilesUnder(machineDir_, everyFile);
  sim::ResetProcessState();
  sim::CreateMachineInMemory(machine_);
  const test::SilentRuns memory = RunSilently();
  test::ExpectSameRuns(memory, disk);
  // Nothing of it reached the disk: not its root, the package or the other machine.
  EXPECT_FALSE(fs::exists(sim::internal::MemoryDriveRoot()));
  EXPECT_EQ(test::FilesUnder(packageDir_, everyFile), package);
  EXPECT_EQ(test::FilesUnder(machineDir_, everyFile), machineDir);
}

TEST_F(MemoryMachine, RestorePutsBackWhatChangedSinceTheCheckpoint) {
  CopyExamplePackage();
  sim::ResetProcessState();
  sim::CreateMachineInMemory(machine_);
  AddSensor();
  sim::CheckpointMachine();
  const sim::Machine checkpointed = sim::CurrentMachine();
  const Files atCheckpoint = DriveFiles();
  const std::string devicesAtCheckpoint = Devices();
  EXPECT_TRUE(sim::ChangesSinceCheckpoint().empty());

  AppState = ProgramState{};
  ASSERT_EQ(AppEntry(nullptr, "/S"), 0);
  const Files installed = DriveFiles();
  // The journal names exactly the files the install wrote, with their old bytes.
  Files expected;
  for (const auto& [path, bytes] : installed)
    if (!atCheckpoint.count(path) || atCheckpoint.at(path) != bytes) expected[path] = atCheckpoint.count(path) ? atCheckpoint.at(path) : "(none)";
  Files journal;
  for (const sim::DriveChange& change : sim::ChangesSinceCheckpoint())
    journal[change.path.lexically_relative(sim::HostPathOf("C:\\")).string()] = change.before.value_or("(none)");
  EXPECT_EQ(journal, expected);
  EXPECT_GE(journal.size(), 4u);  // the driver's files, the staged INF and its PNF

  // A change that was never saved is not what a new process finds.
  sim::CurrentMachine().devices.clear();
  sim::ReopenMachine();
  EXPECT_NE(Devices(), devicesAtCheckpoint);
  EXPECT_FALSE(Devices().empty());

  sim::RestoreMachine();
  EXPECT_EQ(DriveFiles(), atCheckpoint);
  EXPECT_EQ(Devices(), devicesAtCheckpoint);
  EXPECT_TRUE(sim::ChangesSinceCheckpoint().empty());
  sim::ReopenMachine();
  EXPECT_EQ(Devices(), devicesAtCheckpoint);

  // The same install again, from the restored machine, ends the same way:
  // the staged INF takes the same name, since oem0.inf is gone again.
  sim::ResetProcessState();
  sim::SwitchToMachine(checkpointed);
  AppState = ProgramState{};
  ASSERT_EQ(AppEntry(nullptr, "/S"), 0);
  EXPECT_EQ(DriveFiles(), installed);
}

// The freshness rule on both kinds of drive: a file just written keeps its
// parse while it is unchanged (on disk its bytes are compared, since its time
// stamps may not yet tell a rewrite), and a rewrite of the same size within
// one tick of the clock is seen.
TEST_F(MemoryMachine, FreshnessRuleKeepsAnUnchangedFileAndSeesEveryRewrite) {
  for (const bool inMemory : {false, true}) {
    sim::ResetProcessState();
    if (inMemory) sim::CreateMachineInMemory(machine_);
    const fs::path file = sim::HostPathOf("C:\\pkg.inf");
    ASSERT_TRUE(sim::WriteFileBytes(file, "[S]\r\nK=one\r\n"));
    std::string bytes;
    sim::FileSnapshot snapshot;
    ASSERT_TRUE(sim::ReadSnapshot(file, bytes, snapshot));
    EXPECT_TRUE(sim::Unchanged(file, snapshot)) << inMemory;
    char value[16];
    for (const char* text : {"[S]\r\nK=two\r\n", "[S]\r\nK=six\r\n"}) {
      ASSERT_TRUE(sim::WriteFileBytes(file, text));
      EXPECT_FALSE(sim::Unchanged(file, snapshot)) << inMemory;
      GetPrivateProfileStringA("S", "K", "", value, sizeof value, "C:\\pkg.inf");
      EXPECT_STREQ(value, std::string(text).substr(7, 3).c_str()) << inMemory;
    }
  }
}

// A process started in a directory of the memory drive sees it as its
// current directory and finds its files there, as the program searches for
// its INF.
TEST_F(MemoryMachine, AProcessStartedOnTheMemoryDriveSearchesItsDirectory) {
  sim::ResetProcessState();
  sim::CreateMachineInMemory(machine_);
  ASSERT_TRUE(sim::MakeDirectories(sim::HostPathOf("C:\\Pkg")));
  for (const char* name : {"b.inf", "A.INF", "c.sys"})
    ASSERT_TRUE(sim::WriteFileBytes(sim::HostPathOf(std::string("C:\\Pkg\\") + name), "x"));
  sim::SetStartDirectory("C:\\Pkg");
  char dir[MAX_PATH];
  EXPECT_EQ(GetCurrentDirectoryA(sizeof dir, dir), 6u);
  EXPECT_STREQ(dir, "C:\\Pkg");
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA("*.inf", &found);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  std::vector<std::string> names{found.cFileName};
  while (FindNextFileA(find, &found)) names.push_back(found.cFileName);
  FindClose(find);
  sim::SetStartDirectory("");
  EXPECT_EQ(names, (std::vector<std::string>{"A.INF", "b.inf"}));
}

}  // namespace
