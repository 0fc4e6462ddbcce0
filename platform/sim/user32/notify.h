// What the dialog procedures are sent: the messages of the dialog manager,
// the WM_COMMAND notifications of controls and of the user's clicks and keys,
// and the transcript entries that record them.
#pragma once

#include "platform/win32.h"

#include <string>

#include <nlohmann/json.hpp>

namespace sim::internal {

// Calls a dialog's procedure; its answer, 0 when it has none.
INT_PTR SendToDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// A control's notification to its dialog (WM_COMMAND with the control's id).
void Notify(HWND control, WORD code);
// A command that the user caused (a click, a key, a selection), recorded in
// the transcript before the dialog procedure gets it.
void SendCommand(HWND dialog, int id, WORD code, HWND control, const std::string& cause);
// WM_CLOSE; what the procedure leaves becomes IDCANCEL, as the default dialog procedure does.
void SendClose(HWND dialog, const std::string& cause);
// Records a dialog event in the transcript.
void RecordDialog(HWND window, const char* action, nlohmann::json fields, const std::string& summary);

}  // namespace sim::internal
