// A machine held in memory against the same machine on disk: a silent install
// and uninstall of the example package end the same on both (exit codes,
// every file of drive C with its bytes, the devices, the transcript), and on
// a disk whose file calls a timer's signal interrupts; the one in memory
// writes nothing to disk, and a restore brings back the machine of its
// checkpoint, having put back only the files changed since.
#include "app/app_state.h"
#include "app/entry.h"
#include "platform/sim/kernel32/kernel32.h"
#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/setupapi/inf_files.h"
#include "platform/win32.h"
#include "tests/support/package_run.h"

#include <map>
#include <tuple>

#include <signal.h>
#include <sys/time.h>

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#endif

namespace {

namespace fs = std::filesystem;

using Files = std::map<std::string, std::string>;  // by path, with their bytes
using test::DeviceLines, test::DriveFiles;

volatile sig_atomic_t g_signals = 0;

// Fires every `microseconds` while it lives, installed without SA_RESTART (as
// a fuzzer's or a profiler's is), so that it interrupts system calls. The
// handler only counts, and it stays: a signal may still be on its way when
// the timer stops.
class InterruptingTimer {
 public:
  explicit InterruptingTimer(long microseconds) {
    struct sigaction action {};
    action.sa_handler = [](int) { g_signals = g_signals + 1; };
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, nullptr);
    const itimerval every{{0, microseconds}, {0, microseconds}};
    setitimer(ITIMER_REAL, &every, nullptr);
  }
  ~InterruptingTimer() {
    const itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
  }
};

// What `setup /S` then `setup /U` did to the open machine, each run in this
// process with the program state of a new process: after each its exit code,
// every file of drive C with its bytes and the devices; and the transcript
// entries of both, without their process ids.
struct SilentRuns {
  std::vector<std::tuple<int, Files, std::string>> ends;
  std::vector<nlohmann::json> transcript;
};

class MemoryMachine : public test::PackageRun {
 protected:
  // Plugs in the sensor, then runs `setup /S` and `setup /U`.
  SilentRuns RunSilently() {
    SilentRuns runs;
    AddSensor();
    for (const char* action : {"/S", "/U"}) {
      sim::ResetProcessState();
      sim::ReopenMachine();
      AppState = ProgramState{};
      const int exit = AppEntry(nullptr, action);
      runs.ends.emplace_back(exit, DriveFiles(), DeviceLines());
      for (nlohmann::json entry : sim::Transcript()) {
        entry.erase("pid");
        runs.transcript.push_back(entry);
      }
    }
    return runs;
  }
  static void ExpectSameRuns(const SilentRuns& runs, const SilentRuns& expected) {
    EXPECT_EQ(runs.ends, expected.ends);
    EXPECT_EQ(runs.transcript, expected.transcript);
  }
};

TEST_F(MemoryMachine, InstallAndUninstallEndAsOnDiskAlsoUnderInterruptingSignals) {
  CopyExamplePackage();
  const SilentRuns disk = RunSilently();
  ASSERT_EQ(std::get<0>(disk.ends.at(0)), 0);
  ASSERT_EQ(std::get<0>(disk.ends.at(1)), 0);
  // The uninstall deleted the staged INF and PNF.
  ASSERT_EQ(std::get<1>(disk.ends[0]).size(), std::get<1>(disk.ends[1]).size() + 2);

  const Files package = test::FilesUnder(packageDir_), machineDir = test::FilesUnder(machineDir_);
  sim::ResetProcessState();
  sim::CreateMachineInMemory(machine_);
  const SilentRuns memory = RunSilently();
  ExpectSameRuns(memory, disk);
  // Nothing of it reached the disk: not its root, the package or the other machine.
  EXPECT_FALSE(fs::exists(sim::internal::MemoryDriveRoot()));
  EXPECT_EQ(test::FilesUnder(packageDir_), package);
  EXPECT_EQ(test::FilesUnder(machineDir_), machineDir);

  // On disk again, machine creation included, with every 10 µs landing in most
  // copies. Valgrind takes longer than that to deliver a signal, so that every
  // call would be interrupted: there, every millisecond.
  SilentRuns interrupted;
  g_signals = 0;
  {
    const InterruptingTimer timer(RUNNING_ON_VALGRIND ? 1000 : 10);
    sim::ResetProcessState();
    sim::CreateMachine(root_ / "interrupted");
    interrupted = RunSilently();
  }
  EXPECT_GT(g_signals, 10);  // the timer did fire during the runs
  ExpectSameRuns(interrupted, disk);
}

TEST_F(MemoryMachine, RestorePutsBackWhatChangedSinceTheCheckpoint) {
  CopyExamplePackage();
  sim::ResetProcessState();
  sim::CreateMachineInMemory(machine_);
  AddSensor();
  sim::CheckpointMachine();
  const sim::Machine checkpointed = sim::CurrentMachine();
  const Files atCheckpoint = DriveFiles();
  const std::string devicesAtCheckpoint = DeviceLines();
  EXPECT_TRUE(sim::ChangesSinceCheckpoint().empty());

  AppState = ProgramState{};
  ASSERT_EQ(AppEntry(nullptr, "/S"), 0);
  const Files installed = DriveFiles();
  // The journal names exactly the files the install wrote, with their old bytes and new ones.
  Files expected;
  for (const auto& [path, bytes] : installed)
    if (!atCheckpoint.count(path) || atCheckpoint.at(path) != bytes)
      expected[path] = (atCheckpoint.count(path) ? atCheckpoint.at(path) : "(none)") + " -> " + bytes;
  Files journal;
  for (const sim::DriveChange& change : sim::ChangesSinceCheckpoint())
    journal[fs::path(change.path).lexically_relative(sim::HostPathOf("C:\\")).string()] =
        change.before.value_or("(none)") + " -> " + change.now.value_or("(none)");
  EXPECT_EQ(journal, expected);
  EXPECT_GE(journal.size(), 4u);  // the driver's files, the staged INF and its PNF

  // A change that was never saved is not what a new process finds.
  sim::CurrentMachine().devices.clear();
  sim::ReopenMachine();
  EXPECT_NE(DeviceLines(), devicesAtCheckpoint);
  EXPECT_FALSE(DeviceLines().empty());

  sim::RestoreMachine();
  EXPECT_EQ(DriveFiles(), atCheckpoint);
  EXPECT_EQ(DeviceLines(), devicesAtCheckpoint);
  EXPECT_TRUE(sim::ChangesSinceCheckpoint().empty());
  sim::ReopenMachine();
  EXPECT_EQ(DeviceLines(), devicesAtCheckpoint);

  // The same install again, from the restored machine, ends the same way:
  // the staged INF takes the same name, since oem0.inf is gone again.
  sim::ResetProcessState();
  sim::SwitchToMachine(checkpointed);
  AppState = ProgramState{};
  ASSERT_EQ(AppEntry(nullptr, "/S"), 0);
  EXPECT_EQ(DriveFiles(), installed);
}

// The freshness rule on the memory drive (the disk's is the profile reader's
// test): a file just written keeps its parse while it is unchanged, and a
// rewrite of the same size within one tick of the clock is seen.
TEST_F(MemoryMachine, FreshnessRuleKeepsAnUnchangedFileAndSeesEveryRewrite) {
  sim::ResetProcessState();
  sim::CreateMachineInMemory(machine_);
  const fs::path file = sim::HostPathOf("C:\\pkg.inf");
  ASSERT_TRUE(sim::WriteFileBytes(file, "[S]\r\nK=one\r\n"));
  std::string bytes;
  sim::FileSnapshot snapshot;
  ASSERT_TRUE(sim::ReadSnapshot(file, bytes, snapshot));
  EXPECT_TRUE(sim::Unchanged(file, snapshot));
  char value[16];
  for (const char* text : {"[S]\r\nK=two\r\n", "[S]\r\nK=six\r\n"}) {
    ASSERT_TRUE(sim::WriteFileBytes(file, text));
    EXPECT_FALSE(sim::Unchanged(file, snapshot));
    GetPrivateProfileStringA("S", "K", "", value, sizeof value, "C:\\pkg.inf");
    EXPECT_STREQ(value, std::string(text).substr(7, 3).c_str());
  }
}

// Machines in memory share their paths but not their files: each one's INF
// at the same path reads as its own, across switches between them.
TEST_F(MemoryMachine, MachinesInMemoryKeepApartTheirFilesAtOnePath) {
  sim::ResetProcessState();
  std::vector<sim::Machine> machines;
  for (const std::string value : {"0", "1", "0", "1"}) {
    if (machines.size() < 2) {
      sim::CreateMachineInMemory(machine_);
      ASSERT_TRUE(sim::WriteFileBytes(sim::HostPathOf("C:\\a.inf"), "[Version]\nSignature=$Chicago$\n[S]\nK=" + value));
      machines.push_back(sim::CurrentMachine());
    }
    sim::SwitchToMachine(machines[value == "1"]);
    const sim::internal::InfLoad load = sim::internal::LoadInf("C:\\a.inf");
    EXPECT_EQ(load.inf ? load.inf->Value("S", "K") : "error " + std::to_string(load.error), value);
  }
}

}  // namespace
