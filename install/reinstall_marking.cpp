// Device nodes whose earlier install failed are prepared so that the platform
// installs the driver on them: the failed-install mark becomes the reinstall
// mark.
#include "app/multi_string.h"
#include "install/hardware_id_match.h"
#include "install/install.h"

namespace {

// Both operations leave the last-error code as it stood before the device
// list was destroyed, so that a caller sees why the search ended.
void DestroyKeepingError(HDEVINFO set) {
  const DWORD error = GetLastError();
  SetupDiDestroyDeviceInfoList(set);
  SetLastError(error);
}

enum class Pass { NextDevice, EndSearch };

// One device of MarkForReinstall's walk, given the hardware ids read for it.
Pass MarkDevice(HDEVINFO set, SP_DEVINFO_DATA& device, char* ids, size_t size, const char* wanted, int& result) {
  Pass pass = Pass::NextDevice;
  ForEachString(ids, size, [&](const char* constId, size_t) {
    char* id = const_cast<char*>(constId);  // the buffer is ours: the id is changed to capitals in place
    if (!SameHardwareId(id, wanted)) return true;
    if (ReadConfigFlags(set, &device) != CONFIGFLAG_FAILEDINSTALL) {
      // Any other value, 0 from an unreadable property included, counts as not failed.
      CM_Reenumerate_DevNode_Ex(device.DevInst, 0, nullptr);
      pass = Pass::EndSearch;
      return false;
    }
    result = WriteConfigFlags(set, &device, CONFIGFLAG_REINSTALL) ? 1 : 0;
    ULONG status = 0, problem = 0;
    if (CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) == CR_SUCCESS) {
      CM_Reenumerate_DevNode(device.DevInst, 0);
      pass = Pass::EndSearch;
      return false;
    }
    // A node that is not present: done if its mark was rewritten, else go on.
    if (result == 1) {
      pass = Pass::EndSearch;
      return false;
    }
    return true;
  });
  return pass;
}

}  // namespace

int MarkForReinstall(const char* hardwareId) {
  char wanted[kHardwareIdCapacity];
  if (!PrepareGivenId(hardwareId, wanted)) return 0;
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
  if (set == INVALID_HANDLE_VALUE) return 0;

  int result = 0;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
    // The hardware ids are read at the size the platform asks for; the
    // buffer belongs to this device's pass and is freed whichever way it ends.
    HLOCAL buffer = nullptr;
    DWORD size = 0, allocatedSize = 0;
    BOOL read = SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, nullptr, nullptr, 0, &size);
    bool endSearch = false, noIds = false;
    while (!read) {
      const DWORD error = GetLastError();
      if (error == ERROR_INVALID_DATA) {
        noIds = true;
        break;
      }
      // A platform that asks for no more room than it was given would have
      // the loop ask forever: that ends the search like any other error.
      if (error != ERROR_INSUFFICIENT_BUFFER || (buffer && size <= allocatedSize)) {
        endSearch = true;
        break;
      }
      if (buffer) LocalFree(buffer);  // only a buffer held is released
      buffer = LocalAlloc(LPTR, size);
      if (!buffer) {
        endSearch = true;
        break;
      }
      allocatedSize = size;
      read = SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, nullptr, static_cast<PBYTE>(buffer),
                                               allocatedSize, &size);
      if (read && size > allocatedSize) size = allocatedSize;
    }
    if (!endSearch && !noIds && buffer)
      endSearch = MarkDevice(set, device, static_cast<char*>(buffer), size, wanted, result) == Pass::EndSearch;
    if (buffer) LocalFree(buffer);
    if (endSearch) break;
  }
  DestroyKeepingError(set);
  return result;
}

int ClearFailedInstallFlag(const char* hardwareId) {
  char wanted[kHardwareIdCapacity];
  if (!PrepareGivenId(hardwareId, wanted)) return 0;
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
  if (set == INVALID_HANDLE_VALUE) return 0;

  int result = 0;
  bool endSearch = false;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; !endSearch && SetupDiEnumDeviceInfo(set, index, &device); ++index) {
    char ids[1000] = {};
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, nullptr, reinterpret_cast<PBYTE>(ids),
                                           sizeof ids, nullptr)) {
      // A list longer than the buffer ends the search like any other error.
      if (GetLastError() == ERROR_INVALID_DATA) continue;
      break;
    }
    if (!ids[0]) continue;
    ForEachString(ids, sizeof ids, [&](const char* constId, size_t) {
      if (!SameHardwareId(const_cast<char*>(constId), wanted)) return true;
      DWORD flags = 0;  // an unreadable value counts as 0
      SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_CONFIGFLAGS, nullptr, reinterpret_cast<PBYTE>(&flags),
                                        sizeof flags, nullptr);
      if ((flags & 0xFF) != CONFIGFLAG_FAILEDINSTALL) return true;
      // Only the low byte is rewritten; the other bits stay as they were.
      flags = (flags & ~0xFFu) | CONFIGFLAG_REINSTALL;
      result = SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_CONFIGFLAGS, reinterpret_cast<const BYTE*>(&flags),
                                                 sizeof flags)
                   ? 1
                   : 0;
      endSearch = true;
      return false;
    });
  }
  DestroyKeepingError(set);
  return result;
}
