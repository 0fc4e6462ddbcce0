// Start-up and the command line.
#include "app/entry.h"

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/messages.h"
#include "inf/inf.h"
#include "install/install.h"
#include "res/resource.h"
#include "ui/ui.h"

#include <cstring>

namespace {

// The first "*.inf" of the current directory, in the directory search's own
// order: nothing is sorted, nothing skipped. Empty when there is none.
void FindFirstInf(char (&name)[MAX_PATH]) {
  name[0] = '\0';
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("*.inf", &found);
  if (search == INVALID_HANDLE_VALUE) return;
  JoinText(name, {found.cFileName});
  FindClose(search);
}

// The 9x family keeps a copy of the INF in the Windows INF directory and
// deletes its driver index file after an install.
void BuildLegacyPaths(const char* foundName) {
  char windows[MAX_PATH];
  const UINT n = GetWindowsDirectoryA(windows, sizeof windows);
  if (n == 0 || n >= sizeof windows) return;
  JoinText(AppState.InfCopyPath, {windows, "\\inf\\", foundName});
  JoinText(AppState.DriverIndexPath, {windows, "\\inf\\drvidx.bin"});
}

struct Switch {
  const char text[3];
  uint8_t action;
};
// Compared in this order; the first equal one decides.
const Switch kSwitches[] = {
    {"\\s", ActionInstall},   {"\\S", ActionInstall},   {"/s", ActionInstall},   {"/S", ActionInstall},
    {"\\u", ActionUninstall}, {"\\U", ActionUninstall}, {"/u", ActionUninstall}, {"/U", ActionUninstall},
};

}  // namespace

int AppEntry(HINSTANCE instance, const char* argumentText) {
  AppState.UseChinese = GetUserDefaultLangID() == 0x0804 ? 1 : 0;

  char foundName[MAX_PATH];
  FindFirstInf(foundName);
  if (!foundName[0]) {
    JoinText(AppState.SummaryText, {SummaryNoInf});
  } else {
    char directory[MAX_PATH];
    const DWORD n = GetCurrentDirectoryA(sizeof directory, directory);
    // A path that does not fit InfPath counts as no INF at all: nothing is
    // ever opened under a shortened name.
    if (n == 0 || n >= sizeof directory || !JoinText(AppState.InfPath, {directory, "\\", foundName})) {
      JoinText(AppState.SummaryText, {SummaryNoInf});
    } else {
      char summary[kDriverSummaryCapacity] = "";
      BuildDriverSummary(AppState.InfPath, summary);
      JoinText(AppState.SummaryText, {summary});
    }
    // The family is asked whenever a file was found, also when its path was
    // refused: the dialog may still pick one whose path fits, and on the 9x
    // family it needs the paths for that.
    if (GetPlatformFamily() == Win9xFamily) BuildLegacyPaths(foundName);
  }

  if (lstrlenA(argumentText) < 1) {
    AppState.AppInstance = instance;
    return static_cast<int>(
        DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0));
  }
  // Only the first two bytes count: /Silent installs, /U2 uninstalls.
  AppState.SwitchText[0] = argumentText[0];
  AppState.SwitchText[1] = argumentText[0] ? argumentText[1] : '\0';
  AppState.SwitchText[2] = '\0';
  for (const Switch& s : kSwitches) {
    if (std::strcmp(AppState.SwitchText, s.text) != 0) continue;
    // A silent run tells its outcome by the exit code alone.
    const int32_t result = PerformAction(s.action);
    return result == ResultFailed ? 1 : 0;
  }
  return 0;
}
