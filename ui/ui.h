// The main dialog and the help dialog.
#pragma once

#include "platform/win32.h"

// The dialog procedure of the main dialog (resource IDD_MAIN).
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Fills the list of IDC_INF_COMBO with the INF files of the current directory,
// in the directory search's order, and selects the first. 1 when a name was
// added, 0 when there was none.
int FillInfCombo();

// The dialog procedure of the help dialog (resource IDD_HELP).
INT_PTR CALLBACK HelpDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The four usage texts, by platform family and language.
extern const char HelpNtEnglish[];
extern const char Help9xEnglish[];
extern const char HelpNtChinese[];
extern const char Help9xChinese[];
