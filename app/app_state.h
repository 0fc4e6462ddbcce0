// The program-wide state, the platform family and the multi-string lists.
#pragma once

#include "platform/win32.h"

#include <cstddef>
#include <cstdint>

// Capacities, each counting the terminating NUL.
constexpr size_t kPathCapacity = MAX_PATH;  // every buffer that holds a file-system path
constexpr size_t kListCapacity = 10000;     // HardwareIdList, InstallSectionList
constexpr size_t kSummaryTextCapacity = 5000;
constexpr size_t kHelpTextCapacity = 877;  // the longest help text (876 bytes) and its NUL
constexpr size_t kSwitchTextCapacity = 3;

enum PlatformFamily : uint8_t {
  Win9xFamily = 1,
  NtFamily = 2,
  PlatformCheckFailed = 255,
};

// The fields in their order in the record. A path that does not fit its
// buffer is refused, never cut: the field then stays empty.
struct ProgramState {
  uint8_t UseChinese;
  HINSTANCE AppInstance;
  char WindowsDirectory[MAX_PATH];
  char DriverIndexPath[kPathCapacity];
  DWORD LastInstallError;
  HWND MainWindow;
  char InfPath[kPathCapacity];
  char HardwareIdList[kListCapacity];
  char InstallSectionList[kListCapacity];
  char InfCopyPath[kPathCapacity];
  char SummaryText[kSummaryTextCapacity];
  DWORD WindowsVersion;
  int32_t HelpClickCount;
  char HelpText[kHelpTextCapacity];
  char SwitchText[kSwitchTextCapacity];
};

// Lives for the whole process in static storage that is zero at start; it is
// never allocated, freed or reset as a whole.
extern ProgramState AppState;

// Asks the platform afresh which family of Windows runs. On a failed check it
// shows MsgPlatformError and ends the main dialog with 129.
PlatformFamily GetPlatformFamily();
