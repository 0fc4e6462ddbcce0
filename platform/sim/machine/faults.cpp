// Call counting and the fault plan: any simulated call can be made to fail,
// by name and occurrence, from the machine file or from a test.
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <unordered_map>

namespace sim {
namespace {

// Every call whose simulation asks FaultFor, in sorted order.
const char* const kFaultableCalls[] = {
    "CM_Get_DevNode_Status", "CM_Reenumerate_DevNode", "CM_Reenumerate_DevNode_Ex", "CopyFileA", "CreateFileA",
    "DeleteFileA", "DialogBoxParamA", "FindFirstFileA", "FindNextFileA", "FreeLibrary", "GetCurrentDirectoryA",
    "GetPrivateProfileSectionA", "GetPrivateProfileStringA", "GetProcAddress", "GetSystemDirectoryA",
    "GetWindowsDirectoryA", "LoadLibraryA", "LocalAlloc", "MessageBoxA", "ReadFile", "SetupCloseFileQueue",
    "SetupCloseInfFile", "SetupCommitFileQueueA", "SetupCopyOEMInfA", "SetupDefaultQueueCallbackA",
    "SetupDiBuildDriverInfoList", "SetupDiCallClassInstaller", "SetupDiDestroyDeviceInfoList",
    "SetupDiDestroyDriverInfoList", "SetupDiEnumDeviceInfo", "SetupDiEnumDriverInfoA",
    "SetupDiGetActualSectionToInstallA", "SetupDiGetClassDevsA", "SetupDiGetDeviceRegistryPropertyA",
    "SetupDiGetDriverInfoDetailA", "SetupDiSetDeviceRegistryPropertyA", "SetupInitDefaultQueueCallbackEx",
    "SetupInstallFilesFromInfSectionA", "SetupOpenFileQueue", "SetupOpenInfFileA",
    "SetupTermDefaultQueueCallback", "UpdateDriverForPlugAndPlayDevicesA",
};

std::map<std::string, int, std::less<>> g_counts;
// The count of each name as the callers spell it: a call's name is a string
// literal, so its address finds its count without comparing texts (a name
// spelt at two places has two addresses, and both find the one count).
std::unordered_map<const char*, std::map<std::string, int, std::less<>>::iterator> g_countOfLiteral;
std::vector<FaultRule> g_processRules;

bool Matches(const FaultRule& rule, const std::string& name, int occurrence) {
  return rule.call == name && (rule.nth == 0 || rule.nth == occurrence);
}

internal::ResetHook g_reset([] {
  g_countOfLiteral.clear();
  g_counts.clear();
  g_processRules.clear();
});

}  // namespace

bool IsFaultableCall(std::string_view name) {
  return std::binary_search(std::begin(kFaultableCalls), std::end(kFaultableCalls), name,
                            [](std::string_view a, std::string_view b) { return a < b; });
}

std::optional<DWORD> FaultFor(const char* name, DWORD defaultError, bool* bufferUntouched) {
  // Asked on every call the program makes: the count is found without making
  // a string, and the list is consulted once per call name and process.
  auto [known, added] = g_countOfLiteral.try_emplace(name);
  if (added) {
    auto counted = g_counts.find(std::string_view(name));
    if (counted == g_counts.end()) {
      if (!IsFaultableCall(name)) {
        // A call that asks the plan must be listed, or winsim could not plan its faults.
        std::fprintf(stderr, "simulation: %s asks the fault plan but is not in its list of calls\n", name);
        std::abort();
      }
      counted = g_counts.emplace(name, 0).first;
    }
    known->second = counted;
  }
  const auto counted = known->second;
  const int occurrence = ++counted->second;
  if (g_processRules.empty() && CurrentMachine().faults.empty()) return std::nullopt;
  const std::string& key = counted->first;
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

const std::map<std::string, int, std::less<>>& CallCounts() { return g_counts; }

void internal::RecordUnmodelled(const char* call, const std::string& what, DWORD error) {
  Record({{"event", "unmodelled"},
          {"call", call},
          {"what", what},
          {"error", error},
          {"summary", std::string(call) + ": not simulated: " + what + " (refused with error " + std::to_string(error) + ")"}});
}

}  // namespace sim
