// The install and uninstall actions and the two install routes.
#pragma once

#include "platform/win32.h"

#include <cstdint>

enum ActionCode : uint8_t {
  ActionInstall = 1,
  ActionUninstall = 2,
};

enum ResultCode : int32_t {
  ResultPreinstalled = 1,  // the package was staged; no device was present
  ResultDone = 2,
  ResultFailed = 3,
};

// Carries out one install or uninstall of the package at InfPath, reporting the
// outcome in a message box when MainWindow is set.
int32_t PerformAction(uint8_t action);

// NT family: switches a matching device node's failed-install mark to the
// reinstall mark and re-enumerates it, or only re-enumerates a matching node
// without the mark. 1 when it rewrote a mark, 0 otherwise.
int MarkForReinstall(const char* hardwareId);
// 9x family: switches the failed-install mark of the first matching node. 1
// when it rewrote a mark, 0 otherwise.
int ClearFailedInstallFlag(const char* hardwareId);
// The device's configuration flags, or 0 when they cannot be read as a REG_DWORD.
DWORD ReadConfigFlags(HDEVINFO set, SP_DEVINFO_DATA* device);
BOOL WriteConfigFlags(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD flags);

// Copies the files of the install sections of InstallSectionList with the
// platform's file queues, the source files taken from the current directory.
// The result is the outcome of the last section handled.
BOOL InstallInfSections(const char* infPath);
// The same, then (9x family) the INF copied to InfCopyPath and the driver index
// file DriverIndexPath deleted.
BOOL InstallInfSectionsLegacy(const char* infPath);
// The message handler of every queue commit: delete errors are skipped without
// asking, everything else is answered by the platform's default handler.
UINT CALLBACK FileQueueCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2);
