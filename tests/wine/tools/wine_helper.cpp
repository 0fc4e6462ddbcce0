// A helper of the Wine tests, built for Windows only: lists the present
// devices, makes a root-enumerated test device the way devcon does (so that
// an uninstall can be tried on a device that stays removed), and tells the
// user's language as the program sees it.
//
//   wine_helper list                      instance id, a tab, hardware ids joined by ";"
//   wine_helper create GUID CLASS HWID... [-c COMPATID...]
//                                         prints the new device's instance id
//   wine_helper present HWID              exit 0 when a present device has HWID; prints its driver key
//   wine_helper remove HWID               removes the root-enumerated devices that carry HWID
//   wine_helper locale                    GetUserDefaultLangID and the ANSI code page, in hex
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Device {
  std::string instance, driver;
  std::vector<std::string> ids;
};

bool Carries(const Device& d, const char* id) {
  for (const std::string& mine : d.ids)
    if (lstrcmpiA(mine.c_str(), id) == 0) return true;
  return false;
}

std::vector<Device> PresentDevices() {
  std::vector<Device> devices;
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
  if (set == INVALID_HANDLE_VALUE) return devices;
  SP_DEVINFO_DATA data;
  data.cbSize = sizeof data;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
    Device d;
    char instance[512] = "";
    SetupDiGetDeviceInstanceIdA(set, &data, instance, sizeof instance, nullptr);
    d.instance = instance;
    char ids[4096] = {};
    if (SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, nullptr, reinterpret_cast<BYTE*>(ids),
                                          sizeof ids - 2, nullptr))
      for (const char* p = ids; *p; p += std::strlen(p) + 1) d.ids.emplace_back(p);
    char driver[512] = "";
    if (SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_DRIVER, nullptr, reinterpret_cast<BYTE*>(driver),
                                          sizeof driver - 1, nullptr))
      d.driver = driver;
    devices.push_back(d);
  }
  SetupDiDestroyDeviceInfoList(set);
  return devices;
}

bool ParseGuid(const char* text, GUID& guid) {
  unsigned long d1;
  unsigned int d2, d3, b[8];
  if (std::sscanf(text, "{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3, &b[0], &b[1], &b[2], &b[3], &b[4],
                  &b[5], &b[6], &b[7]) != 11)
    return false;
  guid.Data1 = d1;
  guid.Data2 = static_cast<unsigned short>(d2);
  guid.Data3 = static_cast<unsigned short>(d3);
  for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<unsigned char>(b[i]);
  return true;
}

// A multi-string of the given ids.
std::string IdList(const std::vector<std::string>& ids) {
  std::string list;
  for (const std::string& id : ids) list += id + '\0';
  return list + '\0';
}

int Create(const char* guidText, const char* className, const std::vector<std::string>& hardwareIds,
           const std::vector<std::string>& compatibleIds) {
  GUID guid;
  if (!ParseGuid(guidText, guid)) {
    std::fprintf(stderr, "wine_helper: bad class GUID %s\n", guidText);
    return 2;
  }
  HDEVINFO set = SetupDiCreateDeviceInfoList(&guid, nullptr);
  if (set == INVALID_HANDLE_VALUE) return 1;
  SP_DEVINFO_DATA data;
  data.cbSize = sizeof data;
  int code = 1;
  const std::string ids = IdList(hardwareIds), compatible = IdList(compatibleIds);
  if (SetupDiCreateDeviceInfoA(set, className, &guid, nullptr, nullptr, DICD_GENERATE_ID, &data) &&
      SetupDiSetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(ids.data()),
                                        static_cast<DWORD>(ids.size())) &&
      (compatibleIds.empty() ||
       SetupDiSetDeviceRegistryPropertyA(set, &data, SPDRP_COMPATIBLEIDS, reinterpret_cast<const BYTE*>(compatible.data()),
                                         static_cast<DWORD>(compatible.size()))) &&
      SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &data)) {
    char instance[512] = "";
    SetupDiGetDeviceInstanceIdA(set, &data, instance, sizeof instance, nullptr);
    std::printf("%s\n", instance);
    code = 0;
  } else {
    std::fprintf(stderr, "wine_helper: could not create the device (error 0x%lx)\n", GetLastError());
  }
  SetupDiDestroyDeviceInfoList(set);
  return code;
}

// Only root-enumerated devices, the kind `create` makes: Wine's own devices
// would come back in the next process anyway.
int Remove(const char* hardwareId) {
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, "ROOT", nullptr, DIGCF_ALLCLASSES);
  if (set == INVALID_HANDLE_VALUE) return 1;
  SP_DEVINFO_DATA data;
  data.cbSize = sizeof data;
  int code = 0;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
    char ids[4096] = {};
    if (!SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, nullptr, reinterpret_cast<BYTE*>(ids),
                                           sizeof ids - 2, nullptr))
      continue;
    Device d;
    for (const char* p = ids; *p; p += std::strlen(p) + 1) d.ids.emplace_back(p);
    if (Carries(d, hardwareId) && !SetupDiCallClassInstaller(DIF_REMOVE, set, &data)) code = 1;
  }
  SetupDiDestroyDeviceInfoList(set);
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string verb = argc > 1 ? argv[1] : "";
  if (verb == "list" && argc == 2) {
    for (const Device& d : PresentDevices()) {
      std::string ids;
      for (const std::string& id : d.ids) ids += (ids.empty() ? "" : ";") + id;
      std::printf("%s\t%s\n", d.instance.c_str(), ids.c_str());
    }
    return 0;
  }
  if (verb == "locale" && argc == 2) {
    std::printf("0x%04X %u\n", GetUserDefaultLangID(), GetACP());
    return 0;
  }
  if (verb == "create" && argc >= 5) {
    std::vector<std::string> hardwareIds, compatibleIds;
    bool compatible = false;
    for (int i = 4; i < argc; ++i) {
      if (std::strcmp(argv[i], "-c") == 0) compatible = true;
      else (compatible ? compatibleIds : hardwareIds).emplace_back(argv[i]);
    }
    if (!hardwareIds.empty()) return Create(argv[2], argv[3], hardwareIds, compatibleIds);
  }
  if (verb == "present" && argc == 3) {
    for (const Device& d : PresentDevices())
      if (Carries(d, argv[2])) return std::printf("%s\n", d.driver.c_str()) < 0;
    return 1;
  }
  if (verb == "remove" && argc == 3) return Remove(argv[2]);
  std::fprintf(stderr, "usage: wine_helper list | create GUID CLASS HWID... [-c COMPATID...] | present HWID | remove HWID | locale\n");
  return 2;
}
