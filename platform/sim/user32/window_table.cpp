// The table of windows of the simulated user interface: dialogs and the
// controls their templates create.
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/user32/dialogs.h"
#include "platform/sim/user32/user32.h"

#include <map>

namespace sim {
namespace {

std::map<HWND, internal::Window> g_windows;
// A dialog that is gone keeps its end here: tests ask after DialogBoxParamA has returned.
std::map<HWND, DialogEnd> g_gone;

internal::ResetHook g_reset([] {
  g_windows.clear();
  g_gone.clear();
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

}  // namespace

namespace internal {

Window* WindowRecord(HWND handle) {
  if (!handle) return nullptr;
  auto it = g_windows.find(handle);
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

HWND AddWindow(Window window) {
  window.handle = static_cast<HWND>(NewHandleValue(HandleKind::Window));
  g_windows[window.handle] = window;
  return window.handle;
}

void RemoveWindow(HWND handle) {
  auto it = g_windows.find(handle);
  if (it == g_windows.end()) return;
  if (!it->second.IsControl()) g_gone[handle] = DialogEnd{it->second.ended, it->second.result};
  g_windows.erase(it);
}

HWND DialogOf(HWND window) {
  const Window* w = WindowRecord(window);
  if (!w) return nullptr;
  return w->IsControl() ? w->parent : window;
}

HWND FindControl(HWND dialog, int id) {
  const Window* d = DialogRecord(dialog);
  if (!d) return nullptr;
  for (HWND child : d->children) {
    // The id is compared as the window stores it: a template's 65535 is not -1.
    const Window* c = WindowRecord(child);
    if (c && c->id == id) return child;
  }
  return nullptr;
}

std::string Describe(HWND window) {
  const Window* w = WindowRecord(window);
  if (!w) return window ? "invalid window" : "";
  if (w->IsControl()) return "control " + std::to_string(w->id) + " of dialog " + std::to_string(w->templateId);
  return "dialog " + std::to_string(w->templateId);
}

HWND CreateDialogWindow(const DialogTemplate& dialog, int templateId, HWND owner, DLGPROC proc, bool modal) {
  Window d;
  d.templateId = templateId;
  d.owner = owner;
  d.proc = proc;
  d.modal = modal;
  // A dialog is created hidden whatever its template says; it is shown once it is initialised.
  d.style = dialog.style & ~static_cast<DWORD>(WS_VISIBLE);
  d.exStyle = dialog.exStyle;
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
    c.className = Utf16ToAnsi(item.className);
    c.style = item.style | WS_CHILD;
    c.exStyle = item.exStyle;
    c.text = item.textOrdinal ? "#" + std::to_string(*item.textOrdinal) : Utf16ToAnsi(item.text);
    // An edit control applies its case style to the text it is created with.
    if (c.classOrdinal == kEditClass && (c.style & ES_UPPERCASE)) c.text = UpperAnsi(c.text);
    c.x = item.x;
    c.y = item.y;
    c.cx = item.cx;
    c.cy = item.cy;
    const HWND child = AddWindow(c);
    if (c.classOrdinal == kButtonClass && c.ButtonType() == BS_DEFPUSHBUTTON) {
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

void DestroyDialogWindow(HWND dialog) {
  if (!DialogRecord(dialog)) return;
  if (DialogOf(KeyboardFocus()) == dialog) SetKeyboardFocus(nullptr);
  SendToDialog(dialog, WM_DESTROY, 0, 0);
  Window* d = DialogRecord(dialog);
  if (!d) return;  // the procedure destroyed it itself
  const std::vector<HWND> children = d->children;
  for (HWND child : children) RemoveWindow(child);
  RemoveWindow(dialog);
}

}  // namespace internal

bool IsWindowHandle(HWND window) { return internal::WindowRecord(window) != nullptr; }

std::string WindowName(HWND window) { return internal::Describe(window); }

HWND NewTestDialog(int templateId, HWND owner) {
  static const DialogTemplate kNoTemplate{};
  const DialogTemplate* found = FindDialogTemplate(templateId);
  const HWND dialog = internal::CreateDialogWindow(found ? *found : kNoTemplate, templateId, owner, nullptr, false);
  // On screen, as a modeless dialog would be once created.
  internal::WindowRecord(dialog)->style |= WS_VISIBLE;
  return dialog;
}

DialogEnd DialogEndOf(HWND dialog) {
  if (const internal::Window* w = internal::DialogRecord(dialog)) return DialogEnd{w->ended, w->result};
  auto it = g_gone.find(dialog);
  return it == g_gone.end() ? DialogEnd{} : it->second;
}

HINSTANCE ProgramInstance() {
  // Where Windows loads an executable; the value only has to be the program's own.
  return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));
}

}  // namespace sim

BOOL WINAPI UpdateWindow(HWND window) {
  if (!sim::IsWindowHandle(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}
