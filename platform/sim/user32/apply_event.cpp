// The user's actions, to the message box or dialog on top.
#include "platform/sim/user32/apply_event.h"

#include "platform/sim/user32/windows.h"

namespace sim::internal {

std::string ApplyUiEvent(const UiEvent& event, const std::string& cause) {
  std::vector<OpenBox>& boxes = OpenBoxes();
  if (!boxes.empty() && (event.kind == UiEvent::KeyPress || event.kind == UiEvent::Close)) {
    // The box is the active window: its one button takes Enter and Space, and
    // Esc and its close box answer it the same way.
    if (event.kind == UiEvent::KeyPress && event.key != Key::Enter && event.key != Key::Space && event.key != Key::Esc)
      return "no effect: the message box has only its buttons";
    boxes.back().answeredBy = cause;
    return "";
  }
  // A click elsewhere reaches a dialog only if no box disabled it.
  const HWND top = TopDialog();
  if (!top) return "refused: no dialog is open";
  if (!DialogRecord(top)->enabled) return "refused: " + Describe(top) + " is disabled while the message box is open";
  switch (event.kind) {
    case UiEvent::Select: return PickComboItem(top, event.id, event.item, cause);
    case UiEvent::Press: return ClickControl(top, event.id, cause);
    case UiEvent::Check:
    case UiEvent::Uncheck: {
      const Window* c = ControlRecord(FindControl(top, event.id));
      if (!c) return "refused: " + Describe(top) + " has no control " + std::to_string(event.id);
      if (!c->IsCheckBox()) return "refused: control " + std::to_string(event.id) + " is not a check box";
      const bool wanted = event.kind == UiEvent::Check;
      if ((c->check == BST_CHECKED) == wanted)
        return "no effect: control " + std::to_string(event.id) + " is already " + (wanted ? "checked" : "unchecked");
      return ClickControl(top, event.id, cause);
    }
    case UiEvent::Close: return ClickCloseBox(top, cause);
    case UiEvent::KeyPress: return PressKey(top, event.key, cause);
  }
  return "";
}

}  // namespace sim::internal
