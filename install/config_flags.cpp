// Reading and writing a device node's configuration flags.
#include "install/install.h"

DWORD ReadConfigFlags(HDEVINFO set, SP_DEVINFO_DATA* device) {
  DWORD flags = 0;
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_CONFIGFLAGS, &type, reinterpret_cast<PBYTE>(&flags),
                                         sizeof flags, nullptr) ||
      type != REG_DWORD)
    return 0;
  return flags;
}

BOOL WriteConfigFlags(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD flags) {
  return SetupDiSetDeviceRegistryPropertyA(set, device, SPDRP_CONFIGFLAGS, reinterpret_cast<const BYTE*>(&flags),
                                           sizeof flags);
}
