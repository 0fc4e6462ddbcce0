// The window records of the simulated user interface.
#include "platform/sim/user32/windows.h"

#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/user32/user32.h"

#include <cstdio>
#include <map>

namespace sim {
namespace {

std::map<HWND, internal::Window> g_windows;
// A dialog that is gone keeps its end here: tests ask after DialogBoxParamA has returned.
std::map<HWND, DialogEnd> g_gone;
std::vector<HWND> g_stack;
std::vector<internal::OpenBox> g_boxes;

internal::ResetHook g_reset([] {
  g_windows.clear();
  g_gone.clear();
  g_stack.clear();
  g_boxes.clear();
});

std::string Utf16ToAnsi(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return Utf16LeToAnsi(bytes);
}

HWND AddWindow(internal::Window window) {
  window.handle = static_cast<HWND>(NewHandleValue(HandleKind::Window));
  g_windows[window.handle] = window;
  return window.handle;
}

// The controls the program's dialogs are made of, with the styles they have.
bool Modelled(const DialogItemTemplate& item) {
  using namespace internal;
  if (!item.className.empty() || item.textOrdinal || !item.creationData.empty() || item.exStyle ||
      (item.style & WS_DISABLED))
    return false;
  const DWORD style = item.style;
  switch (item.classOrdinal) {
    case kButtonClass: {
      const DWORD type = style & BS_TYPEMASK;
      return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_AUTOCHECKBOX || type == BS_GROUPBOX;
    }
    case kEditClass: return (style & ES_MULTILINE) && (style & ES_READONLY) && !(style & (ES_LOWERCASE | ES_WANTRETURN));
    case kStaticClass: return (style & 0x1F) == SS_LEFT;
    case kComboBoxClass: return (style & 3) == CBS_DROPDOWN && !(style & CBS_SORT);
    default: return false;
  }
}

}  // namespace

namespace internal {

Window* WindowRecord(HWND handle) {
  auto it = handle ? g_windows.find(handle) : g_windows.end();
  return it == g_windows.end() ? nullptr : &it->second;
}

Window* DialogRecord(HWND handle) {
  Window* w = WindowRecord(handle);
  return w && !w->IsControl() ? w : nullptr;
}

Window* ControlRecord(HWND handle) {
  Window* w = WindowRecord(handle);
  return w && w->IsControl() ? w : nullptr;
}

HWND DialogOf(HWND window) {
  const Window* w = WindowRecord(window);
  if (!w) return nullptr;
  return w->IsControl() ? w->parent : window;
}

HWND FindControl(HWND dialog, int id) {
  const Window* d = DialogRecord(dialog);
  if (!d) return nullptr;
  for (HWND child : d->children)
    // The id is compared as the window stores it: a template's 65535 is not -1.
    if (WindowRecord(child)->id == id) return child;
  return nullptr;
}

std::string Describe(HWND window) {
  const Window* w = WindowRecord(window);
  if (!w) return window ? "invalid window" : "";
  if (w->IsControl()) return "control " + std::to_string(w->id) + " of dialog " + std::to_string(w->templateId);
  return "dialog " + std::to_string(w->templateId);
}

std::string OutsideModel(const DialogTemplate& dialog) {
  if (dialog.menuId || !dialog.menuName.empty() || dialog.classId || !dialog.className.empty() || dialog.exStyle)
    return "a dialog template with a menu, a window class or extended styles";
  for (const DialogItemTemplate& item : dialog.items) {
    if (Modelled(item)) continue;
    char what[96];
    std::snprintf(what, sizeof what, "control %u of class 0x%X with style 0x%08lX", item.id, item.classOrdinal,
                  static_cast<unsigned long>(item.style));
    return what;
  }
  return "";
}

std::string ShownText(const Window& control, std::string_view text) {
  if (control.classOrdinal == kEditClass && (control.style & ES_UPPERCASE)) return UpperAnsi(text);
  return std::string(text);
}

HWND CreateDialogWindow(const DialogTemplate& dialog, int templateId, HWND owner, DLGPROC proc) {
  Window d;
  d.templateId = templateId;
  d.owner = owner;
  d.proc = proc;
  // A dialog is created hidden whatever its template says; it is shown once it is initialised.
  d.style = dialog.style & ~static_cast<DWORD>(WS_VISIBLE);
  d.text = Utf16ToAnsi(dialog.caption);
  d.x = dialog.x;
  d.y = dialog.y;
  d.cx = dialog.cx;
  d.cy = dialog.cy;
  const HWND handle = AddWindow(d);

  std::vector<HWND> children;
  HWND defaultButton = nullptr;
  for (const DialogItemTemplate& item : dialog.items) {
    Window c;
    c.parent = handle;
    c.templateId = templateId;
    c.id = item.id;
    c.classOrdinal = item.classOrdinal;
    c.style = item.style | WS_CHILD;
    // An edit control applies its case style to the text it is created with.
    c.text = ShownText(c, Utf16ToAnsi(item.text));
    c.x = item.x;
    c.y = item.y;
    c.cx = item.cx;
    c.cy = item.cy;
    const HWND child = AddWindow(c);
    if (c.IsButton() && c.ButtonType() == BS_DEFPUSHBUTTON) {
      // A later default push button takes over; the earlier one becomes a plain push button.
      if (Window* previous = WindowRecord(defaultButton))
        previous->style = (previous->style & ~static_cast<DWORD>(BS_TYPEMASK)) | BS_PUSHBUTTON;
      defaultButton = child;
      WindowRecord(handle)->defaultId = c.id;
    }
    children.push_back(child);
  }
  WindowRecord(handle)->children = std::move(children);
  return handle;
}

void RemoveDialogWindow(HWND dialog) {
  const Window* d = DialogRecord(dialog);
  if (!d) return;
  for (HWND child : d->children) g_windows.erase(child);
  g_gone[dialog] = DialogEnd{d->ended, d->result};
  g_windows.erase(dialog);
}

std::vector<HWND>& DialogStack() { return g_stack; }

HWND TopDialog(bool shownOnly) {
  for (auto it = g_stack.rbegin(); it != g_stack.rend(); ++it) {
    const Window* d = DialogRecord(*it);
    if (d && !d->ended && (d->Visible() || !shownOnly)) return *it;
  }
  return nullptr;
}

std::vector<OpenBox>& OpenBoxes() { return g_boxes; }

}  // namespace internal

bool IsWindowHandle(HWND window) { return internal::WindowRecord(window) != nullptr; }

std::string WindowName(HWND window) { return internal::Describe(window); }

HWND NewTestDialog(int templateId, HWND owner) {
  const DialogTemplate* found = FindDialogTemplate(templateId);
  if (!found) return nullptr;
  const HWND dialog = internal::CreateDialogWindow(*found, templateId, owner, nullptr);
  // On screen, as a modeless dialog would be once created.
  internal::WindowRecord(dialog)->style |= WS_VISIBLE;
  return dialog;
}

DialogEnd DialogEndOf(HWND dialog) {
  if (const internal::Window* w = internal::DialogRecord(dialog)) return DialogEnd{w->ended, w->result};
  auto it = g_gone.find(dialog);
  return it == g_gone.end() ? DialogEnd{} : it->second;
}

}  // namespace sim
