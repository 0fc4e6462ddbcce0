// A small program around the main dialog's template for the front-end tests:
// its own dialog procedure answers each button with something a test can see
// (a message box with or without an owner, the real help dialog, the hidden
// option shown), and the exit code is what DialogBoxParamA returned.
//   dialog_probe [--new-machine DIR] [--language 0x0804] [--version 0xC0000A04] [--ignore-cancel]
// Without --new-machine the machine is the one SETUP_MACHINE names.
#include "app/app_state.h"
#include "platform/sim/sim.h"
#include "res/resource.h"
#include "ui/ui.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool g_ignoreCancel = false;

INT_PTR CALLBACK ProbeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  AppState.MainWindow = dialog;
  if (message == WM_INITDIALOG) {
    SetDlgItemTextA(dialog, IDC_SUMMARY, "Probe summary\r\nsecond line");
    SendDlgItemMessageA(dialog, IDC_INF_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("alpha.inf"));
    SendDlgItemMessageA(dialog, IDC_INF_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("beta.inf"));
    SendDlgItemMessageA(dialog, IDC_INF_COMBO, CB_SETCURSEL, 0, 0);
    return 0;
  }
  if (message != WM_COMMAND) return 0;
  switch (LOWORD(wParam)) {
    case IDCANCEL:
      if (!g_ignoreCancel) EndDialog(dialog, 2);
      return 0;
    case IDC_INSTALL: MessageBoxA(dialog, "Install pressed", "DriverSetup", MB_ICONINFORMATION); return 0;
    case IDC_UNINSTALL: MessageBoxA(nullptr, "Uninstall pressed", "set", MB_OK); return 0;
    case IDC_HELP:
      DialogBoxParamA(sim::ProgramInstance(), MAKEINTRESOURCEA(IDD_HELP), dialog, HelpDialogProc, 0);
      ShowWindow(GetDlgItem(dialog, IDC_DELETE_FILES), SW_SHOW);
      return 0;
    case IDC_INF_COMBO:
      if (HIWORD(wParam) == CBN_SELCHANGE) {
        char name[MAX_PATH] = "";
        const LRESULT i = SendDlgItemMessageA(dialog, IDC_INF_COMBO, CB_GETCURSEL, 0, 0);
        SendDlgItemMessageA(dialog, IDC_INF_COMBO, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(name));
        SetDlgItemTextA(dialog, IDC_SUMMARY, (std::string("selected ") + name).c_str());
      }
      return 0;
    default: return DefWindowProcA(dialog, message, wParam, 0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  sim::NewMachineOptions options;
  const char* newMachine = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--ignore-cancel") g_ignoreCancel = true;
    else if (arg == "--new-machine" && i + 1 < argc) newMachine = argv[++i];
    else if (arg == "--language" && i + 1 < argc) options.language = static_cast<LANGID>(std::strtoul(argv[++i], nullptr, 0));
    else if (arg == "--version" && i + 1 < argc) options.version = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 0));
    else {
      std::fprintf(stderr, "dialog_probe: unknown argument %s\n", argv[i]);
      return 64;
    }
  }
  if (newMachine) sim::CreateMachine(newMachine, options);
  AppState.UseChinese = GetUserDefaultLangID() == 0x0804 ? 1 : 0;
  AppState.AppInstance = sim::ProgramInstance();
  return static_cast<int>(
      DialogBoxParamA(AppState.AppInstance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, ProbeProc, 0));
}
