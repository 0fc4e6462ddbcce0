// Per-process state of the simulation and the thread's last-error code.
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"

#include <vector>

namespace sim {
namespace internal {
namespace {

std::vector<void (*)()>& ResetHooks() {
  static std::vector<void (*)()> hooks;
  return hooks;
}

std::vector<void (*)()>& ChangeHooks() {
  static std::vector<void (*)()> hooks;
  return hooks;
}

DWORD g_lastError = 0;

}  // namespace

ResetHook::ResetHook(void (*reset)()) { ResetHooks().push_back(reset); }
MachineChangeHook::MachineChangeHook(void (*changed)()) { ChangeHooks().push_back(changed); }

void MachineChanged() {
  for (auto hook : ChangeHooks()) hook();
}

void SetError(DWORD error) { g_lastError = error; }
DWORD LastError() { return g_lastError; }

}  // namespace internal

void ResetProcessState() {
  internal::g_lastError = 0;
  for (auto hook : internal::ResetHooks()) hook();
}

}  // namespace sim
