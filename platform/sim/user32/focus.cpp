// The keyboard focus.
#include "platform/sim/user32/focus.h"

#include "platform/sim/machine/machine.h"
#include "platform/sim/user32/notify.h"
#include "platform/sim/user32/windows.h"

namespace sim::internal {
namespace {

HWND g_focus = nullptr;

ResetHook g_reset([] { g_focus = nullptr; });

void NotifyFocus(HWND control, bool gained) {
  const Window* c = ControlRecord(control);
  if (!c) return;
  if (c->classOrdinal == kEditClass) Notify(control, gained ? EN_SETFOCUS : EN_KILLFOCUS);
  else if (c->classOrdinal == kComboBoxClass) Notify(control, gained ? CBN_SETFOCUS : CBN_KILLFOCUS);
}

}  // namespace

HWND KeyboardFocus() { return g_focus; }

void SetKeyboardFocus(HWND window) {
  if (window == g_focus) return;
  const HWND old = g_focus;
  g_focus = window;
  if (Window* c = ControlRecord(window)) DialogRecord(c->parent)->focus = window;
  else if (Window* d = DialogRecord(window)) d->focus = nullptr;
  NotifyFocus(old, false);
  // The procedure may have moved the focus on meanwhile.
  if (g_focus == window) NotifyFocus(window, true);
}

HWND FocusedControl(HWND dialog) {
  const Window* c = ControlRecord(g_focus);
  return c && c->parent == dialog ? g_focus : nullptr;
}

void ActivateTopDialog() {
  const HWND top = TopDialog(false);
  const Window* d = DialogRecord(top);
  SetKeyboardFocus(!d ? nullptr : ControlRecord(d->focus) ? d->focus : top);
}

}  // namespace sim::internal
