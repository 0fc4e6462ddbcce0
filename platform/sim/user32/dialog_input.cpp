// What the user's keys and clicks do to a dialog: the keyboard interface of
// the platform's dialog manager (Enter, Esc, Tab, Space, the arrows) and the
// mouse on its controls, with the notifications the controls send.
#include "platform/sim/base/text.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/user32/dialogs.h"

#include <algorithm>

namespace sim::internal {
namespace {

constexpr WORD kEnUpdate = 0x0400;
constexpr WORD kEnChange = 0x0300;

bool CanTakeFocus(const Window* c) { return c && c->Visible() && c->Enabled(); }

size_t IndexOf(const Window& dialog, HWND control) {
  const auto it = std::find(dialog.children.begin(), dialog.children.end(), control);
  return static_cast<size_t>(it - dialog.children.begin());
}

// The next (or previous) visible, enabled tab stop after `from`, round the
// dialog. Without a control to start from only the forward search has a
// starting point (the platform returns nothing for Shift+Tab then).
HWND NextTabItem(HWND dialog, HWND from, bool previous) {
  const Window* d = DialogRecord(dialog);
  if (!d || d->children.empty() || (!from && previous)) return nullptr;
  const size_t n = d->children.size();
  const size_t start = from ? IndexOf(*d, from) : n - 1;
  for (size_t step = 1; step <= n; ++step) {
    const size_t i = previous ? (start + n - step) % n : (start + step) % n;
    const Window* c = WindowRecord(d->children[i]);
    if (CanTakeFocus(c) && (c->style & WS_TABSTOP)) return d->children[i];
  }
  return from;
}

// The next (or previous) visible, enabled control of the group of `from`
// (from its WS_GROUP control to before the next one), round the group.
HWND NextGroupItem(HWND dialog, HWND from, bool previous) {
  const Window* d = DialogRecord(dialog);
  if (!d || d->children.empty() || (!from && previous)) return nullptr;
  if (!from) {
    from = d->children.front();
    if (CanTakeFocus(WindowRecord(from))) return from;
  }
  const size_t at = IndexOf(*d, from);
  size_t first = at;
  while (first > 0 && !(WindowRecord(d->children[first])->style & WS_GROUP)) --first;
  size_t end = at + 1;
  while (end < d->children.size() && !(WindowRecord(d->children[end])->style & WS_GROUP)) ++end;
  const size_t n = end - first;
  for (size_t step = 1; step < n; ++step) {
    const size_t offset = previous ? (at - first + n - step) % n : (at - first + step) % n;
    if (CanTakeFocus(WindowRecord(d->children[first + offset]))) return d->children[first + offset];
  }
  return from;
}

// A user's click on a button that has a check state (the mouse button going
// up, or Space): the automatic styles change their state, then the parent is told.
void ClickButton(HWND control, const std::string& cause) {
  const Window* c = ControlRecord(control);
  const HWND dialog = c->parent;
  const int id = c->id;
  switch (c->ButtonType()) {
    case BS_AUTOCHECKBOX: ControlMessage(control, BM_SETCHECK, c->check == BST_CHECKED ? 0 : 1, 0); break;
    case BS_AUTO3STATE: ControlMessage(control, BM_SETCHECK, (c->check + 1) % 3, 0); break;
    case BS_AUTORADIOBUTTON: {
      // The other automatic radio buttons of its group are cleared.
      const Window* d = DialogRecord(dialog);
      const size_t at = IndexOf(*d, control);
      size_t first = at, end = at + 1;
      while (first > 0 && !(WindowRecord(d->children[first])->style & WS_GROUP)) --first;
      while (end < d->children.size() && !(WindowRecord(d->children[end])->style & WS_GROUP)) ++end;
      const std::vector<HWND> group(d->children.begin() + static_cast<long>(first),
                                    d->children.begin() + static_cast<long>(end));
      for (HWND other : group)
        if (const Window* o = ControlRecord(other); other != control && o->IsButton() && o->ButtonType() == BS_AUTORADIOBUTTON)
          ControlMessage(other, BM_SETCHECK, BST_UNCHECKED, 0);
      ControlMessage(control, BM_SETCHECK, BST_CHECKED, 0);
      break;
    }
    default: break;
  }
  SendCommand(dialog, id, BN_CLICKED, control, cause);
}

std::string MoveComboSelection(HWND combo, int delta, const std::string& cause) {
  Window* c = ControlRecord(combo);
  if (c->items.empty()) return "no effect: the list of combo box " + std::to_string(c->id) + " is empty";
  const int last = static_cast<int>(c->items.size()) - 1;
  const int next = c->selection < 0 ? 0 : std::clamp(c->selection + delta, 0, last);
  if (next == c->selection) return "no effect: the selection is already at the end of the list";
  SelectComboItem(combo, next, "user");
  SendCommand(c->parent, c->id, CBN_SELCHANGE, combo, cause);
  return "";
}

std::string Refuse(HWND dialog, int id, const Window* c) {
  if (!c) return "refused: " + Describe(dialog) + " has no control " + std::to_string(id);
  if (!c->Visible()) return "refused: control " + std::to_string(id) + " is hidden";
  if (!c->Enabled()) return "refused: control " + std::to_string(id) + " is disabled";
  return "";
}

}  // namespace

const char* KeyName(Key key) {
  switch (key) {
    case Key::Enter: return "enter";
    case Key::Esc: return "esc";
    case Key::Tab: return "tab";
    case Key::ShiftTab: return "shift-tab";
    case Key::Space: return "space";
    case Key::Up: return "up";
    case Key::Down: return "down";
    case Key::Left: return "left";
    case Key::Right: return "right";
  }
  return "";
}

std::string PressKey(HWND dialog, Key key, const std::string& cause) {
  const Window* d = DialogRecord(dialog);
  if (!d) return "refused: no dialog";
  HWND focus = FocusedControl(dialog);
  const Window* f = ControlRecord(focus);
  switch (key) {
    case Key::Tab:
    case Key::ShiftTab: {
      // A multi-line edit takes every key, and hands Tab back to the dialog the same way.
      const HWND next = NextTabItem(dialog, focus, key == Key::ShiftTab);
      if (!next) return "no effect: there is no tab stop to move to";
      SetKeyboardFocus(next);
      return "";
    }
    case Key::Enter: {
      if (f && f->IsMultilineEdit()) {
        if (f->style & ES_WANTRETURN) return "no effect: the edit field keeps Enter";
        // Without ES_WANTRETURN the edit moves the focus to the default button and presses it.
        const HWND def = FindControl(dialog, d->defaultId);
        if (!def) return "no effect: the dialog has no default button";
        SetKeyboardFocus(def);
        focus = FocusedControl(dialog);
        f = ControlRecord(focus);
      }
      if (f && f->IsPushButton()) {
        SendCommand(dialog, f->id, BN_CLICKED, focus, cause);
        return "";
      }
      if (d->defaultId) {
        const int id = d->defaultId;
        const HWND def = FindControl(dialog, id);
        if (def && !ControlRecord(def)->Enabled()) return "no effect: the default button is disabled";
        SendCommand(dialog, id, BN_CLICKED, def, cause);
        return "";
      }
      SendCommand(dialog, IDOK, 0, FindControl(dialog, IDOK), cause);
      return "";
    }
    case Key::Esc:
      // A multi-line edit turns Esc into WM_CLOSE to its dialog.
      if (f && f->IsMultilineEdit()) SendClose(dialog, cause);
      else SendCommand(dialog, IDCANCEL, 0, FindControl(dialog, IDCANCEL), cause);
      return "";
    case Key::Space:
      if (!f) return "no effect: no control has the focus";
      if (f->IsPushButton()) {
        SendCommand(dialog, f->id, BN_CLICKED, focus, cause);
        return "";
      }
      if (f->IsButton() && f->ButtonType() != BS_GROUPBOX) {
        ClickButton(focus, cause);
        return "";
      }
      if (f->classOrdinal == kComboBoxClass || f->classOrdinal == kEditClass) return TypeText(dialog, " ", cause);
      return "no effect: the focused control does not take Space";
    case Key::Up:
    case Key::Down:
    case Key::Left:
    case Key::Right: {
      const bool previous = key == Key::Up || key == Key::Left;
      if (f && f->classOrdinal == kComboBoxClass) {
        if (key == Key::Left || key == Key::Right) return "no effect: the caret moves in the edit field";
        return MoveComboSelection(focus, previous ? -1 : 1, cause);
      }
      if (f && f->classOrdinal == kEditClass) return "no effect: the edit field takes the arrow keys";
      // Everything else: the focus moves within the group.
      const HWND next = NextGroupItem(dialog, focus, previous);
      if (!next || next == focus) return "no effect: no other control in the group";
      SetKeyboardFocus(next);
      const Window* n = ControlRecord(next);
      if (n->IsButton() && n->ButtonType() == BS_AUTORADIOBUTTON && n->check != BST_CHECKED) ClickButton(next, cause);
      return "";
    }
  }
  return "";
}

std::string ClickControl(HWND dialog, int id, const std::string& cause) {
  const HWND control = FindControl(dialog, id);
  const Window* c = ControlRecord(control);
  if (std::string why = Refuse(dialog, id, c); !why.empty()) return why;
  if (c->IsButton()) {
    if (c->ButtonType() == BS_GROUPBOX) return "no effect: a group box does not take clicks";
    SetKeyboardFocus(control);
    if (!ControlRecord(control)) return "";
    if (ControlRecord(control)->IsPushButton()) SendCommand(dialog, id, BN_CLICKED, control, cause);
    else ClickButton(control, cause);
    return "";
  }
  if (c->classOrdinal == kStaticClass) return "no effect: a static control does not take clicks";
  SetKeyboardFocus(control);
  return "";
}

std::string PickComboItem(HWND dialog, int comboId, int item, const std::string& cause) {
  HWND combo = nullptr;
  if (comboId >= 0) {
    combo = FindControl(dialog, comboId);
    const Window* c = ControlRecord(combo);
    if (c && c->classOrdinal != kComboBoxClass)
      return "refused: control " + std::to_string(comboId) + " is not a combo box";
  } else {
    for (HWND child : DialogRecord(dialog)->children)
      if (const Window* c = ControlRecord(child); c->classOrdinal == kComboBoxClass && c->Visible()) {
        combo = child;
        break;
      }
    if (!combo) return "refused: " + Describe(dialog) + " has no visible combo box";
  }
  const Window* c = ControlRecord(combo);
  if (std::string why = Refuse(dialog, comboId, c); !why.empty()) return why;
  if (item < 0 || item >= static_cast<int>(c->items.size()))
    return "refused: combo box " + std::to_string(c->id) + " has no item " + std::to_string(item) + " (it has " +
           std::to_string(c->items.size()) + ")";
  const int id = c->id;
  // The list drops down, the user picks the item, the list closes.
  SetKeyboardFocus(combo);
  Notify(combo, CBN_DROPDOWN);
  if (!ControlRecord(combo)) return "";
  SelectComboItem(combo, item, "user");
  SendCommand(dialog, id, CBN_SELCHANGE, combo, cause);
  Notify(combo, CBN_SELENDOK);
  Notify(combo, CBN_CLOSEUP);
  return "";
}

std::string TypeText(HWND dialog, const std::string& ansi, const std::string& cause) {
  const HWND focus = FocusedControl(dialog);
  Window* f = ControlRecord(focus);
  if (!f) return "no effect: no control has the focus";
  const bool combo = f->classOrdinal == kComboBoxClass;
  if (!combo && f->classOrdinal != kEditClass) return "no effect: the focused control takes no text";
  if (!combo && (f->style & ES_READONLY)) return "no effect: the edit field is read-only";
  std::string text = f->text + ansi;
  if (!combo && (f->style & ES_UPPERCASE)) text = UpperAnsi(text);
  f->text = text;
  RecordDialog(focus, "typed", {{"by", cause}, {"text", AnsiToUtf8(text)}, {"text_bytes", HexBytes(text)}},
               "typed into, now \"" + AnsiToUtf8(text) + "\"");
  Notify(focus, combo ? CBN_EDITUPDATE : kEnUpdate);
  Notify(focus, combo ? CBN_EDITCHANGE : kEnChange);
  return "";
}

std::string ClickCloseBox(HWND dialog, const std::string& cause) {
  const Window* d = DialogRecord(dialog);
  if (!d) return "refused: no dialog";
  if ((d->style & WS_CAPTION) != WS_CAPTION || !(d->style & WS_SYSMENU))
    return "refused: " + Describe(dialog) + " has no close box";
  SendClose(dialog, cause);
  return "";
}

}  // namespace sim::internal
