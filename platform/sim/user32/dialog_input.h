// What the user's keys and clicks do to a dialog: the keyboard interface of
// the platform's dialog manager and the mouse on the controls. Each function
// returns "" when the action had its effect, else why it had none.
#pragma once

#include "platform/win32.h"

#include <string>

namespace sim::internal {

enum class Key { Enter, Esc, Tab, ShiftTab, Space, Up, Down, Left, Right };

std::string PressKey(HWND dialog, Key key, const std::string& cause);
std::string ClickControl(HWND dialog, int id, const std::string& cause);
// Drops the list of combo box `comboId` (-1: the first visible one) down and picks `item`.
std::string PickComboItem(HWND dialog, int comboId, int item, const std::string& cause);
std::string ClickCloseBox(HWND dialog, const std::string& cause);

}  // namespace sim::internal
