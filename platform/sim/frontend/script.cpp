// The scripted front end: events one a line, and after each of them a block
// on the output:
//   === N: EVENT           the event (N counts from 1; 0 is the opening)
//   note: ...              when it did nothing, and why
//   dialog ... / controls / stack ... / box ...   (UiSnapshot)
//   entry {...}            each transcript entry the event caused
// Blank lines and lines starting with '#' are skipped.
#include "platform/sim/frontend/events.h"
#include "platform/sim/frontend/front_ends.h"
#include "platform/sim/machine/transcript.h"

#include <ostream>

namespace sim::internal {
namespace {

class ScriptFrontEnd : public FrontEnd {
 public:
  ScriptFrontEnd(UiEventSource next, std::ostream* out)
      : next_(std::move(next)), out_(out), seen_(Transcript().size()) {}

  std::optional<UserAction> NextAction() override {
    for (;;) {
      Flush();
      if (ended_) return std::nullopt;
      std::optional<std::string> line = next_ ? next_() : std::nullopt;
      if (!line) {
        ended_ = true;
        return std::nullopt;
      }
      const size_t first = line->find_first_not_of(" \t\r");
      if (first == std::string::npos || (*line)[first] == '#') continue;
      const std::string text = line->substr(first);
      std::string error;
      if (std::optional<UiEvent> event = ParseUiEvent(text, error)) return UserAction{text, *event};
      // A line that is not an event is noted, and the next one read.
      Begin(text);
      Note("error: " + error);
    }
  }

  void Begin(const std::string& event) override {
    Flush();
    header_ = std::to_string(++count_) + ": " + event;
    dirty_ = true;
  }

  void Note(const std::string& outcome) override {
    notes_.push_back(outcome);
    dirty_ = true;
  }

  void Finished() override { Flush(); }

 private:
  void Flush() {
    if (!dirty_) return;
    dirty_ = false;
    const std::vector<nlohmann::json>& entries = Transcript();
    if (seen_ > entries.size()) seen_ = 0;  // the transcript was cleared (a new process state)
    if (!out_) {
      seen_ = entries.size();
      notes_.clear();
      return;
    }
    std::string block = "=== " + header_ + "\n";
    for (const std::string& note : notes_) block += "note: " + note + "\n";
    notes_.clear();
    block += UiSnapshot();
    for (; seen_ < entries.size(); ++seen_)
      block += "entry " + entries[seen_].dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    *out_ << block << std::flush;
  }

  UiEventSource next_;
  std::ostream* out_;
  size_t seen_;
  int count_ = 0;
  std::string header_ = "0: open";
  std::vector<std::string> notes_;
  bool dirty_ = true;
  bool ended_ = false;
};

}  // namespace

std::unique_ptr<FrontEnd> MakeScriptFrontEnd(UiEventSource next, std::ostream* out) {
  return std::make_unique<ScriptFrontEnd>(std::move(next), out);
}

}  // namespace sim::internal
