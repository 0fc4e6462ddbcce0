// Removing the first present device whose hardware id begins with one of the
// package's ids.
#include "app/app_state.h"
#include "app/multi_string.h"
#include "inf/inf.h"
#include "install/install.h"
#include "res/resource.h"
#include "uninstall/uninstall.h"

#include <cstring>

namespace {

constexpr size_t kComparisonCapacity = 100;

// The case-insensitive prefix test of one device hardware id against one list
// entry. The entry is changed to capitals in place, keeping its length. An
// entry of 100 characters or more is compared with nothing: the model scan
// never stores one, and cutting it would make a prefix it does not hold.
bool Matches(const char* deviceId, char* entry) {
  const size_t n = std::strlen(entry);
  if (n >= kComparisonCapacity) return false;
  char head[kComparisonCapacity];
  const size_t take = strnlen(deviceId, n);
  std::memcpy(head, deviceId, take);
  head[take] = '\0';
  CharUpperA(head);
  CharUpperA(entry);
  char trimmed[kComparisonCapacity];
  if (TrimBlanks(entry, trimmed, sizeof trimmed) != Trimmed::Text) return false;
  return std::strcmp(trimmed, head) == 0;
}

enum class Removal { NoMatch, Removed, Failed };

// Cleans up and removes the device at the first list entry that one of its
// ids begins with. A removal that fails moves on to the device's next id,
// compared again with every entry from the first.
Removal RemoveIfMatching(HDEVINFO set, SP_DEVINFO_DATA& device, const char* ids, size_t size) {
  Removal outcome = Removal::NoMatch;
  ForEachString(ids, size, [&](const char* deviceId, size_t) {
    bool removed = false;
    ForEachString(AppState.HardwareIdList, kListCapacity, [&](const char* constEntry, size_t) {
      if (!Matches(deviceId, const_cast<char*>(constEntry))) return true;
      DeleteDriverPackageFiles(set, &device);
      // Before the dialog exists, and in a silent run, the option reads as unchecked.
      if (IsDlgButtonChecked(AppState.MainWindow, IDC_DELETE_FILES) == BST_CHECKED) DeleteCopiedFiles();
      removed = SetupDiCallClassInstaller(DIF_REMOVE, set, &device) != FALSE;
      outcome = removed ? Removal::Removed : Removal::Failed;
      return false;  // this id is done with, removed or not
    });
    return !removed;
  });
  return outcome;
}

}  // namespace

int RemoveMatchingDevices() {
  UpdateWindow(AppState.MainWindow);
  if (!AppState.HardwareIdList[0]) return ResultFailed;
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
  if (set == INVALID_HANDLE_VALUE) return ResultFailed;

  int result = ResultFailed;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
    // Read once into a fixed buffer: no size query, no second attempt.
    char ids[1000] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, &type, reinterpret_cast<PBYTE>(ids),
                                           sizeof ids, nullptr)) {
      // The last error is only looked at when the read failed: a device
      // whose ids were read is never passed over for a stale code.
      if (GetLastError() == ERROR_INVALID_DATA) continue;  // no hardware ids
      result = ResultFailed;
      break;
    }
    if (!ids[0]) continue;
    const Removal removal = RemoveIfMatching(set, device, ids, sizeof ids);
    if (removal == Removal::Removed) {
      result = ResultDone;
      break;
    }
    if (removal == Removal::Failed) result = ResultFailed;
  }
  SetupDiDestroyDeviceInfoList(set);
  return result;
}
