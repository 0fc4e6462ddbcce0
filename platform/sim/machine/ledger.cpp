// The handle ledger: every handle the simulation gives out is counted, so that
// a handle closed twice, closed without being opened, or left open at exit is
// caught and fails the test that caused it.
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"

#include <cstdio>
#include <unordered_map>

namespace sim {
namespace {

struct OpenHandle {
  HandleKind kind;
  int count;  // modules are reference-counted, everything else is 0 or 1
};

std::unordered_map<const void*, OpenHandle> g_open;
std::vector<std::string> g_violations;
uint64_t g_serial = 0;

std::string HandleText(const void* handle) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", handle);
  return text;
}

void Violation(const std::string& what) {
  g_violations.push_back(what);
  Record({{"event", "ledger_violation"}, {"what", what}, {"summary", "LEDGER: " + what}});
}

internal::ResetHook g_reset([] {
  g_open.clear();
  g_violations.clear();
});

}  // namespace

const char* HandleKindName(HandleKind kind) {
  switch (kind) {
    case HandleKind::DeviceList: return "device information set";
    case HandleKind::DriverList: return "driver list";
    case HandleKind::InfFile: return "INF handle";
    case HandleKind::FileQueue: return "file queue";
    case HandleKind::QueueContext: return "queue callback context";
    case HandleKind::Find: return "find handle";
    case HandleKind::LocalMemory: return "local allocation";
    case HandleKind::Module: return "module";
    case HandleKind::Window: return "window";
    case HandleKind::File: return "file handle";
  }
  return "handle";
}

void* NewHandleValue(HandleKind kind) {
  // Outside every address a process can map, and never reused, so that a
  // stale handle can never name a newer object.
  const uint64_t value = 0x00AB000000000000ull | (static_cast<uint64_t>(kind) << 36) | ++g_serial;
  return reinterpret_cast<void*>(static_cast<uintptr_t>(value));
}

void LedgerOpen(HandleKind kind, const void* handle) {
  auto it = g_open.find(handle);
  if (it != g_open.end() && kind == HandleKind::Module && it->second.kind == kind) {
    ++it->second.count;
    return;
  }
  g_open[handle] = OpenHandle{kind, 1};
}

bool LedgerIsOpen(HandleKind kind, const void* handle) {
  auto it = g_open.find(handle);
  return it != g_open.end() && it->second.kind == kind;
}

bool LedgerClose(HandleKind kind, const void* handle, const char* call) {
  auto it = g_open.find(handle);
  if (it == g_open.end() || it->second.kind != kind) {
    Violation(std::string(call) + ": " + HandleKindName(kind) + " " + HandleText(handle) +
              " is not open (closed twice, or never opened)");
    return false;
  }
  if (--it->second.count == 0) g_open.erase(it);
  return true;
}

size_t LedgerCheckLeaks() {
  size_t leaks = 0;
  for (const auto& [handle, open] : g_open) {
    if (open.kind == HandleKind::Module || open.kind == HandleKind::Window) continue;
    Violation(std::string("leak: ") + HandleKindName(open.kind) + " " + HandleText(handle) + " never closed");
    ++leaks;
  }
  return leaks;
}

const std::vector<std::string>& LedgerViolations() { return g_violations; }

size_t LedgerOpenCount(HandleKind kind) {
  size_t n = 0;
  for (const auto& [handle, open] : g_open)
    if (open.kind == kind) n += static_cast<size_t>(open.count);
  return n;
}

}  // namespace sim
