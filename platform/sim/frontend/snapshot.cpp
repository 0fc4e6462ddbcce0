// The text picture of the dialogs that the scripted front end prints after
// each event: the top dialog with every control, the dialogs under it and the
// open message boxes. One line per thing, texts as JSON strings in UTF-8.
#include "platform/sim/frontend/frontend.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/user32/focus.h"
#include "platform/sim/user32/windows.h"

#include <cstdio>

#include <nlohmann/json.hpp>

namespace sim {
namespace {

using internal::Window;

std::string Json(const std::string& ansi) {
  return nlohmann::json(AnsiToUtf8(ansi)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The class and kind of a control, of the kinds the dialogs are made of.
std::string ClassAndKind(const Window& c) {
  switch (c.classOrdinal) {
    case internal::kButtonClass:
      switch (c.ButtonType()) {
        case BS_DEFPUSHBUTTON: return "button defpushbutton";
        case BS_AUTOCHECKBOX: return "button autocheckbox";
        case BS_GROUPBOX: return "button groupbox";
        default: return "button pushbutton";
      }
    case internal::kEditClass: return c.style & ES_UPPERCASE ? "edit multiline+uppercase+readonly" : "edit multiline+readonly";
    case internal::kStaticClass: return "static left";
    default: return "combobox dropdown";
  }
}

std::string ControlLine(const Window& c, bool focused) {
  std::string line = "  " + std::to_string(c.id) + " " + ClassAndKind(c) + (c.Visible() ? " visible" : " hidden");
  if (c.IsCheckBox()) line += c.check == BST_CHECKED ? " checked" : " unchecked";
  if (c.classOrdinal == internal::kComboBoxClass) {
    line += " selected=" + std::to_string(c.selection) + " items=[";
    for (size_t i = 0; i < c.items.size(); ++i) line += (i ? "," : "") + Json(c.items[i]);
    line += "]";
  }
  if (focused) line += " focus";
  return line + " " + Json(c.text);
}

std::string TemplateIdOf(HWND dialog) {
  const Window* d = internal::DialogRecord(dialog);
  return d ? std::to_string(d->templateId) : "none";
}

}  // namespace

std::string UiSnapshot() {
  using namespace internal;
  std::string out;
  const std::vector<HWND>& stack = DialogStack();
  if (const HWND shown = stack.empty() ? nullptr : stack.back()) {
    const Window& d = *DialogRecord(shown);
    const Window* f = ControlRecord(FocusedControl(shown));
    // The push button that Enter presses: the focused one, else the default one.
    const int enter = f && f->IsPushButton() ? f->id : d.defaultId;
    out += "dialog " + std::to_string(d.templateId) + " " + Json(d.text) + (d.Visible() ? " visible" : " hidden") +
           (d.enabled ? " enabled" : " disabled") + (d.ended ? " ended" : "") + " owner=" +
           (d.owner ? TemplateIdOf(d.owner) : "none") + " focus=" + (f ? std::to_string(f->id) : "none") +
           " default=" + (enter ? std::to_string(enter) : "none") + "\n";
    for (HWND child : d.children) out += ControlLine(*ControlRecord(child), f && child == f->handle) + "\n";
  } else {
    out += "dialog none\n";
  }
  out += "stack";
  if (stack.empty()) out += " none";
  for (HWND h : stack) {
    const Window* d = DialogRecord(h);
    out += " " + std::to_string(d->templateId) + (d->enabled ? "" : "(disabled)") + (d->ended ? "(ended)" : "");
  }
  out += "\n";
  if (OpenBoxes().empty()) out += "box none\n";
  for (const OpenBox& box : OpenBoxes()) {
    char type[16];
    std::snprintf(type, sizeof type, "0x%X", box.type);
    out += "box owner=" + TemplateIdOf(box.owner) + " type=" + type + " caption=" + Json(box.caption) + " " +
           Json(box.text) + "\n";
  }
  return out;
}

}  // namespace sim
