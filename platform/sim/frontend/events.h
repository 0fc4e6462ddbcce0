// The event lines the scripted front end reads (and the terminal front end
// makes from the keys and clicks it gets):
//   select N | select ID N     pick item N of the (first, or ID) combo box
//   press ID                   click control ID
//   check ID | uncheck ID      click a check box so that it ends (un)ticked
//   close                      the caption's close box
//   key enter|esc|tab|shift-tab|space|up|down|left|right
#pragma once

#include "platform/sim/user32/apply_event.h"

#include <optional>
#include <string>
#include <string_view>

namespace sim::internal {

// Parses one event line; nullopt with `error` set when it is not one.
std::optional<UiEvent> ParseUiEvent(std::string_view line, std::string& error);

}  // namespace sim::internal
