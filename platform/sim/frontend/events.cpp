// The event lines of the scripted front end (the terminal front end makes the
// same lines from its keys and clicks).
#include "platform/sim/user32/dialogs.h"

#include <charconv>
#include <sstream>

namespace sim::internal {
namespace {

std::optional<int> Number(const std::string& word) {
  int value = 0;
  const char* end = word.data() + word.size();
  const auto [p, ec] = std::from_chars(word.data(), end, value);
  if (ec != std::errc() || p != end || word.empty()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<UiEvent> ParseUiEvent(std::string_view line, std::string& error) {
  std::string text(line);
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) text.pop_back();
  std::istringstream in(text);
  std::string verb;
  in >> verb;
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);

  UiEvent event;
  auto numbers = [&](size_t count) {
    if (words.size() != count) return false;
    for (const std::string& w : words)
      if (!Number(w)) return false;
    return true;
  };
  if (verb == "select") {
    event.kind = UiEvent::Select;
    if (numbers(1)) {
      event.item = *Number(words[0]);
      return event;
    }
    if (numbers(2)) {
      event.id = *Number(words[0]);
      event.item = *Number(words[1]);
      return event;
    }
    error = "select takes an item number, or a combo box id and an item number";
    return std::nullopt;
  }
  if (verb == "press" || verb == "check" || verb == "uncheck") {
    event.kind = verb == "press" ? UiEvent::Press : verb == "check" ? UiEvent::Check : UiEvent::Uncheck;
    if (!numbers(1)) {
      error = verb + " takes a control id";
      return std::nullopt;
    }
    event.id = *Number(words[0]);
    return event;
  }
  if (verb == "close" && words.empty()) {
    event.kind = UiEvent::Close;
    return event;
  }
  if (verb == "type") {
    const size_t at = text.find("type") + 4;
    if (at >= text.size() || (text[at] != ' ' && text[at] != '\t') || at + 1 >= text.size()) {
      error = "type takes the text to type";
      return std::nullopt;
    }
    event.kind = UiEvent::Type;
    event.text = text.substr(at + 1);
    return event;
  }
  if (verb == "key" && words.size() == 1) {
    event.kind = UiEvent::KeyPress;
    for (Key k : {Key::Enter, Key::Esc, Key::Tab, Key::ShiftTab, Key::Space, Key::Up, Key::Down, Key::Left, Key::Right})
      if (words[0] == KeyName(k)) {
        event.key = k;
        return event;
      }
    error = "unknown key \"" + words[0] + "\" (enter, esc, tab, shift-tab, space, up, down, left, right)";
    return std::nullopt;
  }
  error = "unknown event (select, press, check, uncheck, type, close, key)";
  return std::nullopt;
}

}  // namespace sim::internal
