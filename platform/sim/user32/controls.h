// The controls' own state changes that the user's clicks and keys cause too.
#pragma once

#include "platform/win32.h"

namespace sim::internal {

// Selects item `index` (in range) of a combo box, recorded as done by `by`
// ("program" or "user"). Sends no notification.
void SelectComboItem(HWND combo, int index, const char* by);
// Sets a check box to BST_CHECKED or BST_UNCHECKED, recorded when it changes.
void SetCheck(HWND checkBox, UINT check);

}  // namespace sim::internal
