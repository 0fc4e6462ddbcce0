// A user's action carried out on what is on top: the open message box, else
// the dialog the user sees.
#pragma once

#include "platform/sim/user32/dialog_input.h"

#include <string>

namespace sim::internal {

struct UiEvent {
  enum Kind { Select, Press, Check, Uncheck, Close, KeyPress } kind = Press;
  int id = -1;   // control id; -1: none given
  int item = 0;  // combo item for Select
  Key key = Key::Enter;
};
// Returns "" when the event had its effect, else a line saying why it had
// none ("refused: ..." or "no effect: ...").
std::string ApplyUiEvent(const UiEvent& event, const std::string& cause);

}  // namespace sim::internal
