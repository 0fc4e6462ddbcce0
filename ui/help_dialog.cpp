// The help dialog: a usage text that fits the platform family and the language.
#include "ui/ui.h"

#include "app/app_state.h"
#include "app/bounded_text.h"
#include "res/resource.h"

namespace {

// Chosen afresh each time the dialog opens. A failed platform check reports
// itself (and ends the main dialog); the help then shows the NT text.
const char* ChooseHelpText() {
  const bool legacy = GetPlatformFamily() == Win9xFamily;
  if (AppState.UseChinese) return legacy ? Help9xChinese : HelpNtChinese;
  return legacy ? Help9xEnglish : HelpNtEnglish;
}

}  // namespace

INT_PTR CALLBACK HelpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      // HelpText holds the longest of the texts with its NUL, so the copy always fits.
      JoinText(AppState.HelpText, {ChooseHelpText()});
      SetDlgItemTextA(dialog, IDC_HELP_TEXT, AppState.HelpText);
      return 1;  // the platform sets the initial focus
    case WM_COMMAND:
      // Only Esc and the close box close it: the dialog has no buttons of its own.
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 2);
        return 1;
      }
      return 0;
    default:
      return 0;
  }
}
