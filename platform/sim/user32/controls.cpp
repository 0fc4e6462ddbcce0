// The controls of the simulated dialogs (buttons, edits, statics, combo
// boxes) and the user32 functions that reach them.
#include "platform/sim/base/text.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/user32/dialogs.h"

#include <algorithm>
#include <cstring>

namespace sim::internal {
namespace {

std::string Quoted(const std::string& ansi) {
  // The summary line is for people: a long text is shown by its beginning.
  std::string utf8 = AnsiToUtf8(ansi);
  size_t cut = 0, chars = 0;
  while (cut < utf8.size() && chars < 48) {
    const unsigned char c = static_cast<unsigned char>(utf8[cut]);
    cut += c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    ++chars;
  }
  if (cut < utf8.size()) utf8 = utf8.substr(0, cut) + "...";
  return nlohmann::json(utf8).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// How a control shows a text it is given: an edit control applies its case style.
std::string Shown(const Window& c, const char* text) {
  std::string s = text ? text : "";
  if (c.classOrdinal == kEditClass) {
    if (c.style & ES_UPPERCASE) s = UpperAnsi(s);
    else if (c.style & ES_LOWERCASE) {
      for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        if (IsDbcsLeadByte(b) && i + 1 < s.size()) ++i;
        else if (b >= 'A' && b <= 'Z') s[i] = static_cast<char>(b + 32);
      }
    }
  }
  return s;
}

// WM_GETTEXT into `size` bytes: as much as fits with the NUL, never half a
// double-byte character.
LRESULT CopyText(const std::string& text, WPARAM size, LPARAM buffer) {
  char* out = reinterpret_cast<char*>(buffer);
  if (!out || size == 0) return 0;
  size_t n = std::min<size_t>(text.size(), size - 1);
  size_t whole = 0;
  while (whole < n) {
    const size_t step = IsDbcsLeadByte(static_cast<unsigned char>(text[whole])) ? 2 : 1;
    if (whole + step > n) break;
    whole += step;
  }
  std::memcpy(out, text.data(), whole);
  out[whole] = '\0';
  return static_cast<LRESULT>(whole);
}

UINT MaxCheck(const Window& c) {
  switch (c.ButtonType()) {
    case BS_3STATE:
    case BS_AUTO3STATE: return BST_INDETERMINATE;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: return BST_CHECKED;
    default: return 0;  // push buttons and group boxes have no check state
  }
}

bool HasCheckState(const Window& c) { return c.IsButton() && MaxCheck(c) != 0; }

void RecordSelection(HWND control, const char* by) {
  const Window* c = ControlRecord(control);
  const std::string item = c->selection >= 0 ? c->items[static_cast<size_t>(c->selection)] : "";
  RecordDialog(control, "select",
               {{"index", c->selection}, {"by", by}, {"text", AnsiToUtf8(item)}, {"text_bytes", HexBytes(item)}},
               c->selection >= 0 ? "item " + std::to_string(c->selection) + " " + Quoted(item) + " selected"
                                 : "selection cleared");
}

}  // namespace

LRESULT SelectComboItem(HWND combo, int index, const char* by) {
  Window* c = ControlRecord(combo);
  if (!c) return CB_ERR;
  const int before = c->selection;
  if (index < 0 || index >= static_cast<int>(c->items.size())) {
    // Out of range or -1: nothing is selected and the edit field is cleared.
    c->selection = -1;
    c->text.clear();
    if (before != -1) RecordSelection(combo, by);
    return CB_ERR;
  }
  c->selection = index;
  c->text = c->items[static_cast<size_t>(index)];
  RecordSelection(combo, by);
  return index;
}

void RecordDialog(HWND window, const char* action, nlohmann::json fields, const std::string& summary) {
  const Window* w = WindowRecord(window);
  nlohmann::json entry = {{"event", "dialog"}, {"action", action}};
  entry["dialog"] = w ? w->templateId : 0;
  if (w && w->IsControl()) entry["control"] = w->id;
  for (auto& [key, value] : fields.items()) entry[key] = value;
  entry["summary"] = Describe(window) + ": " + summary;
  Record(std::move(entry));
}

void Notify(HWND control, WORD code) {
  const Window* c = ControlRecord(control);
  if (!c) return;
  const WPARAM wParam = static_cast<WPARAM>(static_cast<WORD>(c->id)) | (static_cast<WPARAM>(code) << 16);
  SendToDialog(c->parent, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(control));
}

LRESULT ControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* c = ControlRecord(control);
  if (!c) return 0;
  const bool combo = c->classOrdinal == kComboBoxClass;
  switch (message) {
    case WM_SETTEXT: {
      const char* given = reinterpret_cast<const char*>(lParam);
      c->text = Shown(*c, given);
      nlohmann::json fields = {{"text", AnsiToUtf8(c->text)}, {"text_bytes", HexBytes(c->text)}};
      const std::string passed = given ? given : "";
      if (passed != c->text) fields["set_bytes"] = HexBytes(passed);
      RecordDialog(control, "text", fields, "shows " + Quoted(c->text));
      return TRUE;
    }
    case WM_GETTEXT: return CopyText(c->text, wParam, lParam);
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(c->text.size());
    case BM_GETCHECK: return HasCheckState(*c) ? c->check : 0;
    case BM_SETCHECK: {
      if (!HasCheckState(*c)) return 0;
      const UINT check = std::min<UINT>(static_cast<UINT>(wParam), MaxCheck(*c));
      if (check != c->check) {
        c->check = check;
        RecordDialog(control, "check", {{"checked", check}},
                     check == BST_CHECKED ? "checked" : check == BST_UNCHECKED ? "unchecked" : "indeterminate");
      }
      return 0;
    }
    default: break;
  }
  if (!combo) return 0;
  const int count = static_cast<int>(c->items.size());
  const int index = static_cast<int>(static_cast<intptr_t>(wParam));
  switch (message) {
    case CB_ADDSTRING: {
      const char* text = reinterpret_cast<const char*>(lParam);
      if (!text) return CB_ERR;
      size_t at = c->items.size();
      if (c->style & CBS_SORT) {
        at = 0;
        while (at < c->items.size() && UpperAnsi(c->items[at]) <= UpperAnsi(text)) ++at;
      }
      c->items.insert(c->items.begin() + static_cast<long>(at), text);
      if (c->selection >= static_cast<int>(at)) ++c->selection;
      RecordDialog(control, "add_item", {{"index", at}, {"text", AnsiToUtf8(text)}, {"text_bytes", HexBytes(text)}},
                   "list gets " + Quoted(text));
      return static_cast<LRESULT>(at);
    }
    case CB_GETCOUNT: return count;
    case CB_GETCURSEL: return c->selection;
    case CB_GETLBTEXT: {
      // The caller's buffer must hold the item (CB_GETLBTEXTLEN says how long it is).
      char* out = reinterpret_cast<char*>(lParam);
      if (index < 0 || index >= count || !out) return CB_ERR;
      const std::string& item = c->items[static_cast<size_t>(index)];
      std::memcpy(out, item.c_str(), item.size() + 1);
      return static_cast<LRESULT>(item.size());
    }
    case CB_GETLBTEXTLEN:
      if (index < 0 || index >= count) return CB_ERR;
      return static_cast<LRESULT>(c->items[static_cast<size_t>(index)].size());
    case CB_RESETCONTENT:
      c->items.clear();
      c->selection = -1;
      c->text.clear();
      RecordDialog(control, "reset", nlohmann::json::object(), "list emptied");
      return CB_OKAY;
    case CB_SETCURSEL: return SelectComboItem(control, index, "program");  // no notification
    default: return 0;
  }
}

}  // namespace sim::internal

using namespace sim::internal;

namespace {

// The control of a dialog, with the errors of the dialog-item functions.
HWND Item(HWND dialog, int id) {
  if (!DialogRecord(dialog)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  const HWND control = FindControl(dialog, id);
  if (!control) SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return control;
}

}  // namespace

HWND WINAPI GetDlgItem(HWND dialog, int id) { return Item(dialog, id); }

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const Window* w = WindowRecord(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (w->IsControl()) return ControlMessage(window, message, wParam, lParam);
  return SendToDialog(window, message, wParam, lParam);
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND control = Item(dialog, id);
  return control ? SendMessageA(control, message, wParam, lParam) : 0;
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
  const HWND control = Item(dialog, id);
  if (!control) return FALSE;
  return SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size) {
  if (text && size > 0) text[0] = '\0';
  const HWND control = Item(dialog, id);
  if (!control || size <= 0) return 0;
  return static_cast<UINT>(SendMessageA(control, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text)));
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
  const HWND control = Item(dialog, id);
  return control ? static_cast<UINT>(SendMessageA(control, BM_GETCHECK, 0, 0)) : 0;
}

BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check) {
  const HWND control = Item(dialog, id);
  if (!control) return FALSE;
  SendMessageA(control, BM_SETCHECK, check, 0);
  return TRUE;
}

BOOL WINAPI ShowWindow(HWND window, int command) {
  Window* w = WindowRecord(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const bool wasVisible = w->Visible();
  const bool show = command != SW_HIDE;
  if (show == wasVisible) return wasVisible;
  if (show) w->style |= WS_VISIBLE;
  else w->style &= ~static_cast<DWORD>(WS_VISIBLE);
  RecordDialog(window, show ? "shown" : "hidden", nlohmann::json::object(), show ? "shown" : "hidden");
  // A hidden control cannot keep the focus: its dialog takes it.
  if (!show && KeyboardFocus() == window) SetKeyboardFocus(DialogOf(window));
  return wasVisible;
}

BOOL WINAPI IsWindowVisible(HWND window) {
  const Window* w = WindowRecord(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (!w->Visible()) return FALSE;
  const Window* parent = w->IsControl() ? WindowRecord(w->parent) : nullptr;
  return !parent || parent->Visible();
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = WindowRecord(window);
  if (!w) return 0;
  switch (message) {
    case WM_SETTEXT: {
      const char* text = reinterpret_cast<const char*>(lParam);
      w->text = text ? text : "";
      return TRUE;
    }
    case WM_GETTEXT: return CopyText(w->text, wParam, lParam);
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->text.size());
    case WM_CLOSE:
      // The default for a window that is asked to close is to be destroyed.
      if (!w->IsControl()) DestroyDialogWindow(window);
      return 0;
    default: return 0;  // WM_COMMAND included: nothing is done and 0 is the answer
  }
}
