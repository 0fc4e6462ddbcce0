// The transcript: every message box, dialog event, device change and file copy
// or deletion is appended to transcript.jsonl in the machine directory, where
// tests and people read what a run did.
#include "platform/sim/machine/transcript.h"

#include "platform/sim/base/interrupted.h"
#include "platform/sim/machine/machine.h"


#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace sim {
namespace {

std::vector<nlohmann::json> g_entries;
uint64_t g_seq = 0;
EchoSink g_echoSink = nullptr;

internal::ResetHook g_reset([] {
  g_entries.clear();
  g_seq = 0;
});

}  // namespace

bool EchoEnabled() {
  const char* echo = std::getenv("SETUP_SIM_ECHO");
  return !(echo && std::strcmp(echo, "0") == 0);
}

void Record(nlohmann::json entry) {
  entry["seq"] = ++g_seq;
  entry["pid"] = static_cast<long>(getpid());
  // A machine held in memory keeps its transcript in the list alone, and
  // never makes the line.
  const Machine& m = CurrentMachine();
  if (!m.memory) {
    const std::string line = entry.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    const fs::path file = m.dir / "transcript.jsonl";
    const int fd = Restarted([&] { return ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644); });
    if (fd >= 0) {
      // One write per entry, as a write to a file stops short only at an error: O_APPEND keeps
      // lines whole even when two processes share a machine.
      WriteFully(fd, line.data(), line.size());
      ::close(fd);
    }
  }
  if (EchoEnabled() && entry.contains("summary") && entry["summary"].is_string()) {
    if (g_echoSink) g_echoSink(entry["summary"].get<std::string>());
    else std::fprintf(stderr, "[sim] %s\n", entry["summary"].get<std::string>().c_str());
  }
  g_entries.push_back(std::move(entry));
  internal::KillPoint();
}

void SetEchoSink(EchoSink sink) { g_echoSink = sink; }

const std::vector<nlohmann::json>& Transcript() { return g_entries; }

std::vector<nlohmann::json> TranscriptOf(std::string_view event) {
  std::vector<nlohmann::json> out;
  for (const auto& e : g_entries)
    if (e.value("event", std::string()) == event) out.push_back(e);
  return out;
}

}  // namespace sim
