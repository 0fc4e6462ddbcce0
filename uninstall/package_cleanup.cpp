// Deleting the staged INF and PNF of a device's driver package.
#include "app/app_state.h"
#include "app/bounded_text.h"
#include "uninstall/uninstall.h"

#include <cstring>

namespace {

// The two files hold the same bytes. Read in fixed blocks: nothing is allocated.
bool SameContent(const char* pathA, const char* pathB) {
  HANDLE a = CreateFileA(pathA, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (a == INVALID_HANDLE_VALUE) return false;
  HANDLE b = CreateFileA(pathB, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (b == INVALID_HANDLE_VALUE) {
    CloseHandle(a);
    return false;
  }
  bool same = true;
  for (;;) {
    char blockA[4096], blockB[4096];
    DWORD readA = 0, readB = 0;
    if (!ReadFile(a, blockA, sizeof blockA, &readA, nullptr) || !ReadFile(b, blockB, sizeof blockB, &readB, nullptr) ||
        readA != readB || std::memcmp(blockA, blockB, readA) != 0) {
      same = false;
      break;
    }
    if (readA == 0) break;
  }
  CloseHandle(b);
  CloseHandle(a);
  return same;
}

// A path in capitals with "/" read as "\", as the platform may write either.
bool Normalised(const char* path, char (&out)[MAX_PATH]) {
  if (!JoinText(out, {path})) return false;
  for (char* p = out; *p; ++p)
    if (*p == '/') *p = '\\';
  CharUpperA(out);
  return true;
}

// Only the copy that staging made of this package is deleted: a file of the
// Windows INF directory with the same content as the INF at InfPath, whatever
// its name. The platform's own INF files and other packages stay, although the
// device's compatible drivers name them too.
bool IsStagedCopyOfPackage(const char* infName) {
  char windows[MAX_PATH], infDirectory[MAX_PATH], name[MAX_PATH], directory[MAX_PATH];
  const UINT n = GetWindowsDirectoryA(windows, sizeof windows);
  if (n == 0 || n >= sizeof windows || !JoinText(infDirectory, {windows, "\\INF"})) return false;
  if (!Normalised(infDirectory, directory) || !Normalised(infName, name)) return false;
  char* lastSeparator = std::strrchr(name, '\\');
  if (!lastSeparator) return false;
  *lastSeparator = '\0';
  return std::strcmp(name, directory) == 0 && SameContent(infName, AppState.InfPath);
}

}  // namespace

void DeleteDriverPackageFiles(HDEVINFO set, SP_DEVINFO_DATA* device) {
  if (SetupDiBuildDriverInfoList(set, device, SPDIT_COMPATDRIVER)) {
    SP_DRVINFO_DATA_V2_A driver;
    std::memset(&driver, 0, sizeof driver);
    driver.cbSize = sizeof driver;
    for (DWORD index = 0; SetupDiEnumDriverInfoA(set, device, SPDIT_COMPATDRIVER, index, &driver); ++index) {
      // Sized so that the hardware-id list never fits: the call reports a
      // short buffer, but fills the fixed part, InfFileName included. Cleared
      // first, so that a call that fills nothing names no file.
      SP_DRVINFO_DETAIL_DATA_A detail;
      std::memset(&detail, 0, sizeof detail);
      detail.cbSize = sizeof detail;
      SetupDiGetDriverInfoDetailA(set, device, &driver, &detail, sizeof detail, nullptr);
      detail.InfFileName[sizeof detail.InfFileName - 1] = '\0';

      char infName[MAX_PATH], pnfName[MAX_PATH];
      const size_t length = std::strlen(detail.InfFileName);
      if (length < 3 || !JoinText(infName, {detail.InfFileName}) || !IsStagedCopyOfPackage(infName)) continue;
      // The precompiled PNF beside it: the same name with its last three
      // characters replaced, whatever their case (oem7.inf: oem7.PNF).
      std::memcpy(pnfName, infName, length - 3);
      std::memcpy(pnfName + length - 3, "PNF", 4);
      DeleteFileA(pnfName);
      DeleteFileA(infName);
    }
  }
  SetupDiDestroyDriverInfoList(set, device, SPDIT_COMPATDRIVER);
}
