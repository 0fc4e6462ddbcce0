// The keyboard focus: which window has it, and where it goes when a dialog or
// a message box on top closes.
#pragma once

#include "platform/win32.h"

namespace sim::internal {

// The window with the keyboard focus: a control, a dialog, or null while a
// message box has it.
HWND KeyboardFocus();
// Moves the keyboard focus, with the focus notifications of edits and combo boxes.
void SetKeyboardFocus(HWND window);
// The focused control of `dialog` while it is active, or null.
HWND FocusedControl(HWND dialog);
// Gives the focus back to the topmost dialog (after a box or a dialog on top closed).
void ActivateTopDialog();

}  // namespace sim::internal
