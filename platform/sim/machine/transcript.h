// The transcript: every message box, dialog event, device change and file copy
// or deletion is appended to transcript.jsonl in the machine directory, where
// tests and people read what a run did.
#pragma once

#include "platform/sim/machine/machine.h"

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace sim {

// Appends an entry to the machine's transcript.jsonl and to the in-memory list.
// `entry` must hold "event"; "seq" and "pid" are added.
void Record(nlohmann::json entry);
const std::vector<nlohmann::json>& Transcript();
// The entries of one event kind, in order.
std::vector<nlohmann::json> TranscriptOf(std::string_view event);
// One line on standard error for each recorded change, unless SETUP_SIM_ECHO=0.
bool EchoEnabled();
// Where those lines go instead of standard error (the terminal dialog shows
// them in its own log); null restores standard error.
using EchoSink = void (*)(const std::string& summary);
void SetEchoSink(EchoSink sink);

}  // namespace sim
