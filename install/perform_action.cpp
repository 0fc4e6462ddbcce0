// The install and uninstall actions: the single entry into installation and
// removal, from the silent switches and from the dialog's buttons.
#include "app/app_state.h"
#include "app/messages.h"
#include "app/multi_string.h"
#include "inf/inf.h"
#include "install/install.h"
#include "uninstall/uninstall.h"

namespace {

// Results of an action are reported only when the dialog is open; a silent
// run shows none of them.
void Report(MessageKey key) {
  if (AppState.MainWindow) ShowMessage(key, AppState.MainWindow);
}

int32_t Preinstall() {
  // The platform's name for the staged INF; nothing reads it afterwards.
  char stagedName[MAX_PATH] = "";
  if (!SetupCopyOEMInfA(AppState.InfPath, nullptr, SPOST_PATH, 0, stagedName, sizeof stagedName, nullptr, nullptr) ||
      !InstallInfSections(AppState.InfPath)) {
    Report(MsgPreinstallFailed);
    return ResultFailed;
  }
  Report(MsgPreinstallDone);
  return ResultPreinstalled;
}

// NT family: update the driver of a present device, trying the package's
// hardware ids in order; with none of them present, stage the package so that
// the device installs when it is plugged in.
int32_t InstallNt() {
  int32_t outcome = 0;  // 0: every id tried without a present device
  ForEachString(AppState.HardwareIdList, kListCapacity, [&](const char* id, size_t) {
    MarkForReinstall(id);
    // Loaded on every pass and never released: it stays for the process.
    HMODULE newdev = LoadLibraryA("newdev.DLL");
    if (!newdev) {
      ShowMessage(MsgNewdevMissing, AppState.MainWindow);
      outcome = ResultFailed;
      return false;
    }
    auto update = reinterpret_cast<UpdateDriverForPlugAndPlayDevicesAFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(newdev, "UpdateDriverForPlugAndPlayDevicesA")));
    if (!update) {
      ShowMessage(MsgUpdateFunctionMissing, AppState.MainWindow);
      outcome = ResultFailed;
      return false;
    }
    if (update(AppState.MainWindow, id, AppState.InfPath, INSTALLFLAG_FORCE, nullptr)) {
      Report(MsgUpdateDone);
      outcome = ResultDone;
      return false;
    }
    AppState.LastInstallError = GetLastError();
    // No present device has this id: try the next one.
    if (AppState.LastInstallError == ERROR_NO_SUCH_DEVINST) return true;
    Report(MsgUpdateFailed);
    outcome = ResultFailed;
    return false;
  });
  return outcome ? outcome : Preinstall();
}

// 9x family: turn a failed-install mark into a reinstall mark, then copy the
// files and the INF.
int32_t InstallLegacy() {
  ForEachString(AppState.HardwareIdList, kListCapacity,
                [](const char* id, size_t) { return ClearFailedInstallFlag(id) != 1; });
  if (InstallInfSectionsLegacy(AppState.InfPath)) {
    Report(MsgLegacyInstallDone);
    return ResultDone;
  }
  Report(MsgLegacyInstallFailed);
  return ResultFailed;
}

int32_t Uninstall() {
  if (RemoveMatchingDevices() > ResultDone) {
    Report(MsgUninstallFailed);
    return ResultFailed;
  }
  Report(MsgUninstallDone);
  return ResultDone;
}

}  // namespace

int32_t PerformAction(uint8_t action) {
  UpdateWindow(AppState.MainWindow);
  if (!AppState.InfPath[0]) {
    // Shown even in a silent run: nothing else would tell the user.
    ShowMessage(MsgInfNotFound, AppState.MainWindow);
    return ResultFailed;
  }
  ScanInfModels(AppState.InfPath);
  if (action == ActionUninstall) return Uninstall();
  if (action != ActionInstall) return ResultDone;
  return GetPlatformFamily() == Win9xFamily ? InstallLegacy() : InstallNt();
}
