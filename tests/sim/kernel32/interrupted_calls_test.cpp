// The simulation's file calls under a timer whose signal interrupts system
// calls (installed without SA_RESTART, as a fuzzer's or a profiler's is): a
// silent install and uninstall of the example package, machine creation
// included, ends exactly as it does without the timer.
#include "tests/support/package_run.h"

#include <signal.h>
#include <sys/time.h>

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#endif

namespace {

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

class InterruptedCalls : public test::PackageRun {};

TEST_F(InterruptedCalls, InstallAndUninstallEndAsWithoutSignals) {
  CopyExamplePackage();
  sim::ResetProcessState();
  sim::CreateMachine(root_ / "quiet");
  const test::SilentRuns quiet = RunSilently();
  ASSERT_EQ(quiet.installExit, 0);
  ASSERT_EQ(quiet.uninstallExit, 0);
  ASSERT_EQ(quiet.installed.size(), quiet.uninstalled.size() + 2);  // the uninstall deleted the staged INF and PNF
  test::SilentRuns interrupted;
  g_signals = 0;
  {
    // Every 10 µs lands in most copies. Valgrind takes longer than that to
    // deliver a signal, so that every call would be interrupted: there, every millisecond.
    const InterruptingTimer timer(RUNNING_ON_VALGRIND ? 1000 : 10);
    sim::ResetProcessState();
    sim::CreateMachine(root_ / "interrupted");
    interrupted = RunSilently();
  }
  EXPECT_GT(g_signals, 10);  // the timer did fire during the run
  test::ExpectSameRuns(interrupted, quiet);
}

}  // namespace
