// Kill points: SETUP_SIM_KILL_AT=N makes the process kill itself with SIGKILL
// at the N-th point (counting from 1) where the simulation changes the
// machine: after each change it records, and inside each atomic replacement
// (the machine file, a copied file) between writing the new bytes and the
// rename. Tests use it to interrupt a run at every such point in turn, which
// no timed kill from outside can do reliably. SIGKILL runs no handler, flushes
// nothing and removes nothing, as a power cut or a killed process would.
#include "platform/sim/base/numbers.h"
#include "platform/sim/machine/machine.h"

#include <climits>
#include <csignal>
#include <cstdlib>

namespace sim::internal {
namespace {

long KillAt() {
  static const long at = [] {
    const char* text = std::getenv("SETUP_SIM_KILL_AT");
    return static_cast<long>(ParseNumber(text ? text : "", 1, LONG_MAX).value_or(0));
  }();
  return at;
}

long g_reached = 0;

}  // namespace

void KillPoint() {
  const long at = KillAt();
  if (at == 0) return;
  if (++g_reached == at) std::raise(SIGKILL);
}

}  // namespace sim::internal
