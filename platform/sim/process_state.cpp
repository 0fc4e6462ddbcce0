// Per-process state of the simulation and the thread's last-error code.
#include "platform/sim/sim_internal.h"

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

}  // namespace internal

void ResetProcessState() {
  internal::g_lastError = 0;
  for (auto hook : internal::ResetHooks()) hook();
}

}  // namespace sim

DWORD WINAPI GetLastError() { return sim::internal::g_lastError; }
void WINAPI SetLastError(DWORD error) { sim::internal::g_lastError = error; }
