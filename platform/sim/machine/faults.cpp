// Call counting and the fault plan: any simulated call can be made to fail,
// by name and occurrence, from the machine file or from a test.
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"

namespace sim {
namespace {

std::map<std::string, int> g_counts;
std::vector<FaultRule> g_processRules;

bool Matches(const FaultRule& rule, const std::string& name, int occurrence) {
  return rule.call == name && (rule.nth == 0 || rule.nth == occurrence);
}

internal::ResetHook g_reset([] {
  g_counts.clear();
  g_processRules.clear();
});

}  // namespace

std::optional<DWORD> FaultFor(const char* name, DWORD defaultError, bool* bufferUntouched) {
  const std::string key(name);
  const int occurrence = ++g_counts[key];
  auto fail = [&](const FaultRule& rule) {
    if (bufferUntouched) *bufferUntouched = rule.buffer_untouched;
    return rule.error.value_or(defaultError);
  };
  for (const FaultRule& rule : g_processRules)
    if (Matches(rule, key, occurrence)) return fail(rule);
  for (const FaultRule& rule : CurrentMachine().faults)
    if (Matches(rule, key, occurrence)) return fail(rule);
  return std::nullopt;
}

void AddFault(const FaultRule& rule) { g_processRules.push_back(rule); }

void ClearFaults() {
  g_processRules.clear();
  CurrentMachine().faults.clear();
}

const std::map<std::string, int>& CallCounts() { return g_counts; }

void internal::RecordUnmodelled(const char* call, const std::string& what, DWORD error) {
  Record({{"event", "unmodelled"},
          {"call", call},
          {"what", what},
          {"error", error},
          {"summary", std::string(call) + ": not simulated: " + what + " (refused with error " + std::to_string(error) + ")"}});
}

}  // namespace sim
