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
