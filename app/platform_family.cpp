// The platform check that tells the 9x family of Windows from the NT family.
#include "app/app_state.h"
#include "app/messages.h"

PlatformFamily GetPlatformFamily() {
  AppState.WindowsVersion = GetVersion();
  // Only the length matters here; nobody reads the directory itself.
  const UINT length = GetWindowsDirectoryA(AppState.WindowsDirectory, sizeof AppState.WindowsDirectory);
  if ((AppState.WindowsVersion & 0xFF) >= 4 && length != 0)
    return (AppState.WindowsVersion & 0x80000000u) ? Win9xFamily : NtFamily;

  ShowMessage(MsgPlatformError, AppState.MainWindow);
  // Without a main dialog (at start, or in a silent run) this has no effect.
  EndDialog(AppState.MainWindow, 129);
  return PlatformCheckFailed;
}
