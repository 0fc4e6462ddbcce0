// The main dialog: the INF files of the current directory, the summary of the
// selected one, INSTALL, UNINSTALL and HELP.
#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/messages.h"
#include "inf/inf.h"
#include "install/install.h"
#include "res/resource.h"
#include "ui/ui.h"

namespace {

// A new INF file was picked in the list: its path and summary replace the old ones.
void SelectionChanged() {
  const LRESULT index = SendDlgItemMessageA(AppState.MainWindow, IDC_INF_COMBO, CB_GETCURSEL, 0, 0);
  char name[260] = "";
  // The list holds names of the directory search, which always fit; a text
  // that would not is left out rather than cut.
  const LRESULT length = SendDlgItemMessageA(AppState.MainWindow, IDC_INF_COMBO, CB_GETLBTEXTLEN, index, 0);
  if (length >= 0 && length < static_cast<LRESULT>(sizeof name))
    SendDlgItemMessageA(AppState.MainWindow, IDC_INF_COMBO, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(name));

  char directory[MAX_PATH];
  const DWORD n = GetCurrentDirectoryA(sizeof directory, directory);
  // A path that does not fit leaves InfPath empty: the actions then report
  // that there is no INF file, and nothing is opened under a shortened name.
  if (!name[0] || n == 0 || n >= sizeof directory || !JoinText(AppState.InfPath, {directory, "\\", name}))
    AppState.InfPath[0] = '\0';

  char summary[kDriverSummaryCapacity] = "";
  if (AppState.InfPath[0]) BuildDriverSummary(AppState.InfPath, summary);
  JoinText(AppState.SummaryText, {summary});

  // Only on the 9x family, as the program entry found it: it fills both
  // paths there and neither elsewhere. The driver index path tells it too, as
  // it never changes, so one refused INF copy path (too long for its
  // buffer) does not lose the family for the files picked after it.
  if (AppState.InfCopyPath[0] || AppState.DriverIndexPath[0]) {
    char windows[MAX_PATH];
    const UINT w = GetWindowsDirectoryA(windows, sizeof windows);
    if (w == 0 || w >= sizeof windows || !JoinText(AppState.InfCopyPath, {windows, "\\inf\\", name}))
      AppState.InfCopyPath[0] = '\0';
  }
  SetDlgItemTextA(AppState.MainWindow, IDC_SUMMARY, AppState.SummaryText);
}

// HELP: the help dialog, then the delete option after the first press and the
// contact notice after every third.
void HelpPressed() {
  DialogBoxParamA(AppState.AppInstance, MAKEINTRESOURCEA(IDD_HELP), AppState.MainWindow, HelpDialogProc, 0);
  const int32_t presses = ++AppState.HelpClickCount;
  if (presses == 1) {
    ShowWindow(GetDlgItem(AppState.MainWindow, IDC_DELETE_FILES), SW_SHOW);
  } else if (presses > 0 && presses % 3 == 0) {
    ShowMessage(MsgContact, AppState.MainWindow);
  }
}

}  // namespace

int FillInfCombo() {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("*.inf", &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    SendDlgItemMessageA(AppState.MainWindow, IDC_INF_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(found.cFileName));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  // Selecting from the program sends no CBN_SELCHANGE: the summary shown is
  // already that of item 0, the file the program entry chose.
  SendDlgItemMessageA(AppState.MainWindow, IDC_INF_COMBO, CB_SETCURSEL, 0, 0);
  return 1;
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  AppState.MainWindow = dialog;
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextA(dialog, IDC_SUMMARY, AppState.SummaryText);
      FillInfCombo();
      return 0;  // no initial focus
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return 0;
        case IDC_INF_COMBO:
          if (HIWORD(wParam) == CBN_SELCHANGE) SelectionChanged();
          return 0;
        case IDC_INSTALL:
          PerformAction(ActionInstall);
          return 0;
        case IDC_UNINSTALL:
          PerformAction(ActionUninstall);
          return 0;
        case IDC_HELP:
          HelpPressed();
          return 0;
        default:
          return DefWindowProcA(dialog, message, wParam, lParam);
      }
    case WM_DESTROY:
      EndDialog(dialog, LOWORD(wParam));
      return 0;
    default:
      return 0;
  }
}
