// The simulation's file calls under a timer whose signal interrupts system
// calls (installed without SA_RESTART, as a fuzzer's or a profiler's is): a
// silent install and uninstall of the example package, machine creation
// included, ends exactly as it does without the timer.
#include "app/app_state.h"
#include "app/entry.h"
#include "tests/support/package_run.h"

#include <map>

#include <signal.h>
#include <sys/time.h>

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#endif

namespace {

namespace fs = std::filesystem;

volatile sig_atomic_t g_signals = 0;

// Fires every `microseconds` while it lives. The handler only counts, and it
// stays: a signal may still be on its way when the timer stops.
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

using Files = std::map<std::string, std::string>;  // by path in the machine, with their bytes

// machine.json (the devices) and the drive; the transcript is compared apart.
Files MachineFiles(const fs::path& machine) {
  return test::FilesUnder(machine, [](const std::string& name) { return name == "transcript.jsonl"; });
}

struct Outcome {
  int installExit = -1, uninstallExit = -1;
  Files installed, uninstalled;  // the machine after each run
  std::vector<nlohmann::json> transcript;  // without the process ids
};

class InterruptedCalls : public test::PackageRun {
 protected:
  // A new machine at `dir` with the sensor plugged in, then `setup /S` and
  // `setup /U`, each with the program state of a new process.
  Outcome Run(const fs::path& dir) {
    Outcome o;
    sim::ResetProcessState();
    sim::CreateMachine(dir);
    AddSensor();
    for (const char* action : {"/S", "/U"}) {
      sim::ResetProcessState();
      sim::OpenMachine(dir);
      AppState = ProgramState{};
      (action[1] == 'S' ? o.installExit : o.uninstallExit) = AppEntry(nullptr, action);
      (action[1] == 'S' ? o.installed : o.uninstalled) = MachineFiles(dir);
    }
    for (nlohmann::json entry : test::TranscriptFile(dir)) {
      entry.erase("pid");
      o.transcript.push_back(entry);
    }
    return o;
  }
};

TEST_F(InterruptedCalls, InstallAndUninstallEndAsWithoutSignals) {
  CopyExamplePackage();
  const Outcome quiet = Run(root_ / "quiet");
  ASSERT_EQ(quiet.installExit, 0);
  ASSERT_EQ(quiet.uninstallExit, 0);
  ASSERT_EQ(quiet.installed.size(), quiet.uninstalled.size() + 2);  // the uninstall deleted the staged INF and PNF
  Outcome interrupted;
  g_signals = 0;
  {
    // Every 10 µs lands in most copies. Valgrind takes longer than that to
    // deliver a signal, so that every call would be interrupted: there, every millisecond.
    const InterruptingTimer timer(RUNNING_ON_VALGRIND ? 1000 : 10);
    interrupted = Run(root_ / "interrupted");
  }
  EXPECT_GT(g_signals, 10);  // the timer did fire during the run
  EXPECT_EQ(interrupted.installExit, quiet.installExit);
  EXPECT_EQ(interrupted.uninstallExit, quiet.uninstallExit);
  EXPECT_EQ(interrupted.installed, quiet.installed);
  EXPECT_EQ(interrupted.uninstalled, quiet.uninstalled);
  EXPECT_EQ(interrupted.transcript, quiet.transcript);
}

}  // namespace
