// The event lines of the front ends.
#include "platform/sim/frontend/events.h"

#include "platform/sim/base/numbers.h"

#include <climits>
#include <sstream>
#include <utility>
#include <vector>

namespace sim::internal {
namespace {

constexpr std::pair<const char*, Key> kKeys[] = {
    {"enter", Key::Enter}, {"esc", Key::Esc},   {"tab", Key::Tab},   {"shift-tab", Key::ShiftTab}, {"space", Key::Space},
    {"up", Key::Up},       {"down", Key::Down}, {"left", Key::Left}, {"right", Key::Right},
};

}  // namespace

std::optional<UiEvent> ParseUiEvent(std::string_view line, std::string& error) {
  std::istringstream in{std::string(line)};
  std::string verb;
  in >> verb;
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  // The numbers of an event: control ids and item indexes, in decimal.
  std::vector<int> numbers;
  for (const std::string& w : words) {
    const bool decimal = w.find_first_not_of("-0123456789") == std::string::npos;
    const std::optional<long long> n = decimal ? ParseNumber(w, INT_MIN, INT_MAX) : std::nullopt;
    if (!n) break;
    numbers.push_back(static_cast<int>(*n));
  }
  const bool allNumbers = numbers.size() == words.size();

  UiEvent event;
  if (verb == "select") {
    event.kind = UiEvent::Select;
    if (allNumbers && (words.size() == 1 || words.size() == 2)) {
      if (words.size() == 2) event.id = numbers[0];
      event.item = numbers.back();
      return event;
    }
    error = "select takes an item number, or a combo box id and an item number";
    return std::nullopt;
  }
  if (verb == "press" || verb == "check" || verb == "uncheck") {
    event.kind = verb == "press" ? UiEvent::Press : verb == "check" ? UiEvent::Check : UiEvent::Uncheck;
    if (allNumbers && words.size() == 1) {
      event.id = numbers[0];
      return event;
    }
    error = verb + " takes a control id";
    return std::nullopt;
  }
  if (verb == "close" && words.empty()) {
    event.kind = UiEvent::Close;
    return event;
  }
  if (verb == "key" && words.size() == 1) {
    event.kind = UiEvent::KeyPress;
    for (const auto& [name, key] : kKeys)
      if (words[0] == name) {
        event.key = key;
        return event;
      }
    error = "unknown key \"" + words[0] + "\" (enter, esc, tab, shift-tab, space, up, down, left, right)";
    return std::nullopt;
  }
  error = "unknown event (select, press, check, uncheck, close, key)";
  return std::nullopt;
}

}  // namespace sim::internal
