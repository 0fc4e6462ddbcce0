// The keyboard interface of the platform's dialog manager (Enter, Esc, Tab,
// Space, the arrows) and the mouse on the controls, with the notifications
// the controls send.
#include "platform/sim/user32/dialog_input.h"

#include "platform/sim/user32/controls.h"
#include "platform/sim/user32/focus.h"
#include "platform/sim/user32/notify.h"
#include "platform/sim/user32/windows.h"

#include <algorithm>

namespace sim::internal {
namespace {

bool CanTakeFocus(const Window* c) { return c && c->Visible(); }

size_t IndexOf(const Window& dialog, HWND control) {
  const auto it = std::find(dialog.children.begin(), dialog.children.end(), control);
  return static_cast<size_t>(it - dialog.children.begin());
}

// The next (or previous) visible tab stop after `from`, round the dialog.
// Without a control to start from only the forward search has a starting
// point (the platform returns nothing for Shift+Tab then).
HWND NextTabItem(HWND dialog, HWND from, bool previous) {
  const Window* d = DialogRecord(dialog);
  if (d->children.empty() || (!from && previous)) return nullptr;
  const size_t n = d->children.size();
  const size_t start = from ? IndexOf(*d, from) : n - 1;
  for (size_t step = 1; step <= n; ++step) {
    const size_t i = previous ? (start + n - step) % n : (start + step) % n;
    const Window* c = WindowRecord(d->children[i]);
    if (CanTakeFocus(c) && (c->style & WS_TABSTOP)) return d->children[i];
  }
  return from;
}

// The next (or previous) visible control of the group of `from` (from its
// WS_GROUP control to before the next one), round the group.
HWND NextGroupItem(HWND dialog, HWND from, bool previous) {
  const Window* d = DialogRecord(dialog);
  if (d->children.empty() || (!from && previous)) return nullptr;
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

// A user's click on a button (the mouse button going up, or Space): a check
// box changes its state, then the dialog is told.
void ClickButton(HWND control, const std::string& cause) {
  const Window* c = ControlRecord(control);
  if (c->IsCheckBox()) SetCheck(control, c->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
  SendCommand(c->parent, c->id, BN_CLICKED, control, cause);
}

std::string MoveComboSelection(HWND combo, int delta, const std::string& cause) {
  const Window* c = ControlRecord(combo);
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
  return "";
}

}  // namespace

std::string PressKey(HWND dialog, Key key, const std::string& cause) {
  const Window* d = DialogRecord(dialog);
  HWND focus = FocusedControl(dialog);
  const Window* f = ControlRecord(focus);
  // The dialogs' one edit control is a multi-line one: it takes the arrows,
  // gives Enter to the default button and turns Esc into WM_CLOSE.
  const bool inEdit = f && f->classOrdinal == kEditClass;
  switch (key) {
    case Key::Tab:
    case Key::ShiftTab: {
      const HWND next = NextTabItem(dialog, focus, key == Key::ShiftTab);
      if (!next) return "no effect: there is no tab stop to move to";
      SetKeyboardFocus(next);
      return "";
    }
    case Key::Enter: {
      if (inEdit) {
        const HWND def = FindControl(dialog, d->defaultId);
        if (!def) return "no effect: the dialog has no default button";
        SetKeyboardFocus(def);
        focus = FocusedControl(dialog);
        f = ControlRecord(focus);
      }
      if (f && f->IsPushButton()) SendCommand(dialog, f->id, BN_CLICKED, focus, cause);
      else if (d->defaultId) SendCommand(dialog, d->defaultId, BN_CLICKED, FindControl(dialog, d->defaultId), cause);
      else SendCommand(dialog, IDOK, 0, FindControl(dialog, IDOK), cause);
      return "";
    }
    case Key::Esc:
      if (inEdit) SendClose(dialog, cause);
      else SendCommand(dialog, IDCANCEL, 0, FindControl(dialog, IDCANCEL), cause);
      return "";
    case Key::Space:
      if (!f) return "no effect: no control has the focus";
      if (f->IsButton() && !f->IsGroupBox()) {
        ClickButton(focus, cause);
        return "";
      }
      if (inEdit) return "no effect: the edit field is read-only";
      if (f->classOrdinal == kComboBoxClass) return "refused: typing into a combo box is not simulated";
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
      if (inEdit) return "no effect: the edit field takes the arrow keys";
      // Everything else: the focus moves within the group.
      const HWND next = NextGroupItem(dialog, focus, previous);
      if (!next || next == focus) return "no effect: no other control in the group";
      SetKeyboardFocus(next);
      return "";
    }
  }
  return "";
}

std::string ClickControl(HWND dialog, int id, const std::string& cause) {
  const HWND control = FindControl(dialog, id);
  const Window* c = ControlRecord(control);
  if (std::string why = Refuse(dialog, id, c); !why.empty()) return why;
  if (c->IsGroupBox()) return "no effect: a group box does not take clicks";
  if (c->classOrdinal == kStaticClass) return "no effect: a static control does not take clicks";
  SetKeyboardFocus(control);
  if (c->IsButton()) ClickButton(control, cause);
  return "";
}

std::string PickComboItem(HWND dialog, int comboId, int item, const std::string& cause) {
  HWND combo = nullptr;
  if (comboId >= 0) {
    combo = FindControl(dialog, comboId);
    const Window* c = ControlRecord(combo);
    if (c && c->classOrdinal != kComboBoxClass) return "refused: control " + std::to_string(comboId) + " is not a combo box";
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
  SelectComboItem(combo, item, "user");
  SendCommand(dialog, id, CBN_SELCHANGE, combo, cause);
  Notify(combo, CBN_SELENDOK);
  Notify(combo, CBN_CLOSEUP);
  return "";
}

std::string ClickCloseBox(HWND dialog, const std::string& cause) {
  const Window* d = DialogRecord(dialog);
  if ((d->style & WS_CAPTION) != WS_CAPTION || !(d->style & WS_SYSMENU))
    return "refused: " + Describe(dialog) + " has no close box";
  SendClose(dialog, cause);
  return "";
}

}  // namespace sim::internal
