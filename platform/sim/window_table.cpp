// The table of windows of the simulated user interface.
#include "platform/sim/sim_internal.h"

#include <map>

namespace sim {
namespace {

std::map<HWND, internal::Window> g_windows;

internal::ResetHook g_reset([] { g_windows.clear(); });

}  // namespace

namespace internal {

Window* WindowRecord(HWND handle) {
  auto it = g_windows.find(handle);
  return it == g_windows.end() ? nullptr : &it->second;
}

HWND AddWindow(Window window) {
  window.handle = static_cast<HWND>(NewHandleValue(HandleKind::Window));
  g_windows[window.handle] = window;
  return window.handle;
}

void RemoveWindow(HWND handle) { g_windows.erase(handle); }

}  // namespace internal

bool IsWindowHandle(HWND window) { return internal::WindowRecord(window) != nullptr; }

std::string WindowName(HWND window) {
  const internal::Window* w = internal::WindowRecord(window);
  if (!w) return window ? "invalid window" : "";
  return "dialog " + std::to_string(w->templateId);
}

HWND NewTestDialog(int templateId, HWND owner) {
  internal::Window w;
  w.templateId = templateId;
  w.owner = owner;
  return internal::AddWindow(w);
}

DialogEnd DialogEndOf(HWND dialog) {
  const internal::Window* w = internal::WindowRecord(dialog);
  return w ? DialogEnd{w->ended, w->result} : DialogEnd{};
}

}  // namespace sim

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
  sim::internal::Window* w = sim::internal::WindowRecord(dialog);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  w->ended = true;
  w->result = result;
  sim::Record({{"event", "dialog"},
               {"action", "end"},
               {"dialog", w->templateId},
               {"result", result},
               {"summary", "dialog " + std::to_string(w->templateId) + " ends with " + std::to_string(result)}});
  return TRUE;
}

BOOL WINAPI UpdateWindow(HWND window) {
  if (!sim::IsWindowHandle(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}
