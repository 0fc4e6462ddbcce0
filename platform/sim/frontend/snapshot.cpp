// The text picture of the dialogs that the scripted front end prints after
// each event: the top dialog with every control, the dialogs under it and the
// open message boxes. One line per thing, texts as JSON strings in UTF-8.
#include "platform/sim/frontend/frontend.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/user32/dialogs.h"

#include <cstdio>

namespace sim::internal {
namespace {

std::string Json(const std::string& ansi) {
  return nlohmann::json(AnsiToUtf8(ansi)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string Hex(UINT value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", value);
  return buffer;
}

std::string ClassName(const Window& c) {
  switch (c.classOrdinal) {
    case kButtonClass: return "button";
    case kEditClass: return "edit";
    case kStaticClass: return "static";
    case kListBoxClass: return "listbox";
    case kScrollBarClass: return "scrollbar";
    case kComboBoxClass: return "combobox";
    default: return "\"" + c.className + "\"";
  }
}

std::string Kind(const Window& c) {
  if (c.classOrdinal == kButtonClass) {
    static const char* const kinds[] = {"pushbutton", "defpushbutton", "checkbox",  "autocheckbox",
                                        "radiobutton", "3state",       "auto3state", "groupbox",
                                        "userbutton",  "autoradiobutton", "pushbox", "ownerdraw"};
    const DWORD t = c.ButtonType();
    return t < std::size(kinds) ? kinds[t] : "type" + std::to_string(t);
  }
  if (c.classOrdinal == kEditClass) {
    std::string k;
    auto add = [&k](const char* flag) { k += (k.empty() ? "" : "+") + std::string(flag); };
    add(c.style & ES_MULTILINE ? "multiline" : "singleline");
    if (c.style & ES_UPPERCASE) add("uppercase");
    if (c.style & ES_LOWERCASE) add("lowercase");
    if (c.style & ES_READONLY) add("readonly");
    if (c.style & ES_WANTRETURN) add("wantreturn");
    return k;
  }
  if (c.classOrdinal == kStaticClass) {
    static const char* const kinds[] = {"left", "center", "right"};
    const DWORD t = c.style & 0x1F;
    return t < std::size(kinds) ? kinds[t] : "type" + std::to_string(t);
  }
  if (c.classOrdinal == kComboBoxClass) {
    static const char* const kinds[] = {"type0", "simple", "dropdown", "dropdownlist"};
    return std::string(kinds[c.style & 3]) + (c.style & CBS_SORT ? "+sort" : "");
  }
  return "style" + Hex(c.style);
}

// The push button that Enter presses: the focused one, else the default one.
std::string DefaultButton(HWND dialog, const Window& d) {
  if (const Window* f = ControlRecord(FocusedControl(dialog)); f && f->IsPushButton()) return std::to_string(f->id);
  return d.defaultId ? std::to_string(d.defaultId) : "none";
}

std::string ControlLine(const Window& c, bool focused) {
  std::string line = "  " + std::to_string(c.id) + " " + ClassName(c) + " " + Kind(c) + " " +
                     (c.Visible() ? "visible" : "hidden");
  if (!c.Enabled()) line += " disabled";
  if (c.IsButton() && c.ButtonType() != BS_GROUPBOX && !c.IsPushButton())
    line += c.check == BST_CHECKED ? " checked" : c.check == BST_UNCHECKED ? " unchecked" : " indeterminate";
  if (c.classOrdinal == kComboBoxClass) {
    line += " selected=" + std::to_string(c.selection) + " items=[";
    for (size_t i = 0; i < c.items.size(); ++i) line += (i ? "," : "") + Json(c.items[i]);
    line += "]";
  }
  if (focused) line += " focus";
  return line + " " + Json(c.text);
}

}  // namespace

}  // namespace sim::internal

namespace sim {

std::string UiSnapshot() {
  using namespace internal;
  std::string out;
  const std::vector<HWND>& stack = DialogStack();
  HWND shown = nullptr;
  for (auto it = stack.rbegin(); it != stack.rend() && !shown; ++it)
    if (DialogRecord(*it)) shown = *it;
  if (const Window* d = DialogRecord(shown)) {
    const HWND focus = FocusedControl(shown);
    const Window* f = ControlRecord(focus);
    out += "dialog " + std::to_string(d->templateId) + " " + Json(d->text) + (d->Visible() ? " visible" : " hidden") +
           (d->enabled ? " enabled" : " disabled") + (d->ended ? " ended" : "") +
           " owner=" + (d->owner ? std::to_string(DialogRecord(d->owner) ? DialogRecord(d->owner)->templateId : 0) : "none") +
           " focus=" + (f ? std::to_string(f->id) : "none") + " default=" + DefaultButton(shown, *d) + "\n";
    for (HWND child : d->children)
      if (const Window* c = ControlRecord(child)) out += ControlLine(*c, child == focus) + "\n";
  } else {
    out += "dialog none\n";
  }
  out += "stack";
  if (stack.empty()) out += " none";
  for (HWND h : stack)
    if (const Window* d = DialogRecord(h))
      out += " " + std::to_string(d->templateId) + (d->enabled ? "" : "(disabled)") + (d->ended ? "(ended)" : "");
  out += "\n";
  if (OpenBoxes().empty()) out += "box none\n";
  for (const OpenBox& box : OpenBoxes()) {
    const Window* owner = DialogRecord(box.owner);
    out += "box owner=" + (owner ? std::to_string(owner->templateId) : std::string("none")) + " type=" +
           Hex(box.type) + " caption=" + Json(box.caption) + " " + Json(box.text) + "\n";
  }
  return out;
}

}  // namespace sim
