// What tests and tools use of the simulated user32: the windows that exist,
// how message boxes are answered, and the program's resources.
#pragma once

#include "platform/sim/user32/resources.h"
#include "platform/win32.h"

#include <string>
#include <string_view>

namespace sim {

bool IsWindowHandle(HWND window);
std::string WindowName(HWND window);  // "dialog 129", or "" for null
// A modeless dialog window without a dialog procedure (tests): it has the
// controls of the program's template `templateId` (null when there is no such
// template). It is not run by a modal loop and is never destroyed.
HWND NewTestDialog(int templateId, HWND owner = nullptr);
struct DialogEnd {
  bool ended = false;
  INT_PTR result = 0;
};
DialogEnd DialogEndOf(HWND dialog);

// How a message box is answered: the dialogs' front end replaces the terminal
// answer while it is installed; tests and tools can answer boxes themselves.
using MessageBoxPresenter = int (*)(HWND owner, std::string_view text, std::string_view caption, UINT type);
void SetMessageBoxPresenter(MessageBoxPresenter presenter);

}  // namespace sim
