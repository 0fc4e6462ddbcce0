// The controls of the simulated dialogs and the user32 functions that reach
// them, for the messages and arguments the program sends: texts of edits and
// statics, the check box's state, and the combo box's list. Anything else is
// refused as not simulated.
#include "platform/sim/user32/controls.h"

#include "platform/sim/base/text.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/user32/notify.h"
#include "platform/sim/user32/windows.h"

#include <cstdio>
#include <cstring>

namespace sim::internal {
namespace {

std::string Quoted(const std::string& ansi) {
  // The summary line is for people: a long text is shown by its first 48 characters.
  std::string utf8 = AnsiToUtf8(ansi);
  size_t cut = 0;
  for (int chars = 0; cut < utf8.size() && chars < 48; ++chars) DecodeUtf8(utf8, cut);
  if (cut < utf8.size()) utf8 = utf8.substr(0, cut) + "...";
  return nlohmann::json(utf8).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json TextFields(const std::string& ansi) { return {{"text", AnsiToUtf8(ansi)}, {"text_bytes", HexBytes(ansi)}}; }

template <typename T>
T NotSimulated(const char* call, UINT message, HWND control, T result) {
  char what[32];
  std::snprintf(what, sizeof what, "message 0x%04X to ", message);
  return Unmodelled(call, what + Describe(control), ERROR_CALL_NOT_IMPLEMENTED, result);
}

// The control of a dialog, with the errors of the dialog-item functions.
HWND Item(HWND dialog, int id) {
  if (!DialogRecord(dialog)) return Fail(ERROR_INVALID_WINDOW_HANDLE, HWND{});
  const HWND control = FindControl(dialog, id);
  return control ? control : Fail(ERROR_CONTROL_ID_NOT_FOUND, HWND{});
}

// The messages the program sends a combo box. Those that name an item take
// its index from the list itself, and CB_GETLBTEXT's buffer has the room
// CB_GETLBTEXTLEN said.
LRESULT ComboMessage(HWND combo, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* c = ControlRecord(combo);
  const char* text = reinterpret_cast<const char*>(lParam);
  const int index = static_cast<int>(static_cast<intptr_t>(wParam));
  const bool listed = index >= 0 && index < static_cast<int>(c->items.size());
  auto refuse = [](const char* what) { return Unmodelled("SendDlgItemMessageA", what, ERROR_INVALID_PARAMETER, LRESULT{CB_ERR}); };
  switch (message) {
    case CB_GETCURSEL: return c->selection;
    case CB_ADDSTRING: {
      if (!text) return refuse("CB_ADDSTRING without a text");
      c->items.push_back(text);
      nlohmann::json fields = TextFields(text);
      fields["index"] = c->items.size() - 1;
      RecordDialog(combo, "add_item", fields, "list gets " + Quoted(text));
      return static_cast<LRESULT>(c->items.size() - 1);
    }
    case CB_GETLBTEXTLEN:
      return listed ? static_cast<LRESULT>(c->items[static_cast<size_t>(index)].size()) : refuse("an index outside the list");
    case CB_GETLBTEXT: {
      if (!listed || !text) return refuse("an index outside the list, or no buffer");
      const std::string& item = c->items[static_cast<size_t>(index)];
      std::memcpy(reinterpret_cast<char*>(lParam), item.c_str(), item.size() + 1);
      return static_cast<LRESULT>(item.size());
    }
    case CB_SETCURSEL:
      if (!listed) return refuse("an index outside the list");
      SelectComboItem(combo, index, "program");  // no notification
      return index;
    default: return NotSimulated("SendDlgItemMessageA", message, combo, LRESULT{0});
  }
}

}  // namespace

void SelectComboItem(HWND combo, int index, const char* by) {
  Window* c = ControlRecord(combo);
  c->selection = index;
  c->text = c->items[static_cast<size_t>(index)];
  nlohmann::json fields = TextFields(c->text);
  fields["index"] = index;
  fields["by"] = by;
  RecordDialog(combo, "select", fields, "item " + std::to_string(index) + " " + Quoted(c->text) + " selected");
}

void SetCheck(HWND checkBox, UINT check) {
  Window* c = ControlRecord(checkBox);
  if (c->check == check) return;
  c->check = check;
  RecordDialog(checkBox, "check", {{"checked", check}}, check == BST_CHECKED ? "checked" : "unchecked");
}

}  // namespace sim::internal

using namespace sim::internal;

HWND WINAPI GetDlgItem(HWND dialog, int id) { return Item(dialog, id); }

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND control = Item(dialog, id);
  if (!control) return 0;
  if (ControlRecord(control)->classOrdinal != kComboBoxClass)
    return NotSimulated("SendDlgItemMessageA", message, control, LRESULT{0});
  return ComboMessage(control, message, wParam, lParam);
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
  const HWND control = Item(dialog, id);
  if (!control) return FALSE;
  if (!text) return sim::Unmodelled("SetDlgItemTextA", "a null text", ERROR_INVALID_PARAMETER, FALSE);
  Window* c = ControlRecord(control);
  c->text = ShownText(*c, text);
  nlohmann::json fields = TextFields(c->text);
  if (c->text != text) fields["set_bytes"] = sim::HexBytes(text);
  RecordDialog(control, "text", fields, "shows " + Quoted(c->text));
  return TRUE;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size) {
  if (text && size > 0) text[0] = '\0';
  const HWND control = Item(dialog, id);
  if (!control) return 0;
  // Windows cuts a text that does not fit; every caller here gives room for the whole text.
  const std::string& shown = ControlRecord(control)->text;
  if (!text || size <= 0 || shown.size() >= static_cast<size_t>(size))
    return sim::Unmodelled("GetDlgItemTextA", "a buffer too small for the text", ERROR_INVALID_PARAMETER, 0u);
  std::memcpy(text, shown.c_str(), shown.size() + 1);
  return static_cast<UINT>(shown.size());
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
  const HWND control = Item(dialog, id);
  if (!control) return 0;
  if (!ControlRecord(control)->IsCheckBox()) return NotSimulated("IsDlgButtonChecked", BM_GETCHECK, control, 0u);
  return ControlRecord(control)->check;
}

BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check) {
  const HWND control = Item(dialog, id);
  if (!control) return FALSE;
  if (!ControlRecord(control)->IsCheckBox() || check > BST_CHECKED)
    return sim::Unmodelled("CheckDlgButton", "state " + std::to_string(check) + " of " + Describe(control),
                           ERROR_INVALID_PARAMETER, FALSE);
  SetCheck(control, check);
  return TRUE;
}

BOOL WINAPI ShowWindow(HWND window, int command) {
  Window* w = WindowRecord(window);
  if (!w) return sim::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
  // The program only ever shows a control that was hidden.
  if (command != SW_SHOW)
    return sim::Unmodelled("ShowWindow", "command " + std::to_string(command), ERROR_INVALID_PARAMETER, FALSE);
  if (w->Visible()) return TRUE;
  w->style |= WS_VISIBLE;
  RecordDialog(window, "shown", nlohmann::json::object(), "shown");
  return FALSE;
}

BOOL WINAPI UpdateWindow(HWND window) {
  return WindowRecord(window) ? TRUE : sim::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
  if (!WindowRecord(window)) return 0;
  // A command the dialog procedure leaves goes nowhere, and 0 is the answer.
  if (message == WM_COMMAND) return 0;
  return NotSimulated("DefWindowProcA", message, window, LRESULT{0});
}
