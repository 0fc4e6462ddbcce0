// Compatible-driver lists: SetupDiBuildDriverInfoList, SetupDiEnumDriverInfoA,
// SetupDiGetDriverInfoDetailA and SetupDiDestroyDriverInfoList. A list is built
// into a device's element of a set from the INF files of the Windows INF
// directory as they are then; deleting files later does not change it.
#include "platform/sim/machine/calls.h"
#include "platform/sim/setupapi/device_lists.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace sim::internal {
namespace {

uint64_t g_nodeSerial = 0;
constexpr DWORD kDetailFixedSize = offsetof(SP_DRVINFO_DETAIL_DATA_A, HardwareID);

bool Fits(const std::string& text, size_t capacity) { return text.size() < capacity; }

// A driver whose texts do not fit the records' fixed fields is left out of
// the list rather than shown cut.
bool Representable(const DriverCandidate& c) {
  return Fits(c.model.description, LINE_LEN) && Fits(c.model.manufacturer, LINE_LEN) && Fits(c.provider, LINE_LEN) &&
         Fits(c.model.installSection, LINE_LEN) && Fits(c.infPath, MAX_PATH);
}

void CopyText(char* field, size_t capacity, const std::string& text) {
  std::memset(field, 0, capacity);
  std::memcpy(field, text.data(), std::min(text.size(), capacity - 1));
}

// The element (and with `d` its device) of a call on a compatible-driver
// list: the program always names a device, and asks for no class-driver list.
DeviceElement* ListElement(const char* call, HDEVINFO set, PSP_DEVINFO_DATA device, DWORD type, Device** d = nullptr) {
  if (type != SPDIT_COMPATDRIVER || !device)
    return Unmodelled(call, "a class-driver list, or a list of no device", ERROR_CALL_NOT_IMPLEMENTED,
                      static_cast<DeviceElement*>(nullptr));
  return ElementOf(set, device, d);
}

// The program's driver records are of the second version.
bool IsDriverRecord(const char* call, const SP_DRVINFO_DATA_A* driver) {
  return (driver && driver->cbSize == sizeof(SP_DRVINFO_DATA_V2_A)) ||
         Unmodelled(call, "no SP_DRVINFO_DATA_V2_A record", ERROR_INVALID_USER_BUFFER, false);
}

}  // namespace
}  // namespace sim::internal

using namespace sim;
using namespace sim::internal;

BOOL WINAPI SetupDiBuildDriverInfoList(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD driverType) {
  constexpr const char* kCall = "SetupDiBuildDriverInfoList";
  if (auto error = FaultFor(kCall, ERROR_NOT_ENOUGH_MEMORY)) return Fail(*error, FALSE);
  Device* d = nullptr;
  DeviceElement* element = ListElement(kCall, set, device, driverType, &d);
  if (!element) return FALSE;
  if (!element->compatible) {  // a list that is built already stays as it is
    DriverList list;
    for (DriverCandidate& c : CompatibleDrivers(*d))
      if (Representable(c)) list.nodes.push_back(DriverNode{++g_nodeSerial, std::move(c)});
    list.ledgerHandle = NewHandleValue(HandleKind::DriverList);
    LedgerOpen(HandleKind::DriverList, list.ledgerHandle);
    element->compatible = std::move(list);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WINAPI SetupDiEnumDriverInfoA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD driverType, DWORD index,
                                   PSP_DRVINFO_DATA_A driver) {
  constexpr const char* kCall = "SetupDiEnumDriverInfoA";
  if (auto error = FaultFor(kCall, ERROR_GEN_FAILURE)) return Fail(*error, FALSE);
  DeviceElement* element = ListElement(kCall, set, device, driverType);
  if (!element || !IsDriverRecord(kCall, driver)) return FALSE;
  if (!element->compatible || index >= element->compatible->nodes.size()) return Fail(ERROR_NO_MORE_ITEMS, FALSE);
  const DriverNode& node = element->compatible->nodes[index];
  const DriverCandidate& c = node.candidate;
  driver->DriverType = SPDIT_COMPATDRIVER;
  driver->Reserved = static_cast<ULONG_PTR>(node.serial);
  CopyText(driver->Description, LINE_LEN, c.model.description);
  CopyText(driver->MfgName, LINE_LEN, c.model.manufacturer);
  CopyText(driver->ProviderName, LINE_LEN, c.provider);
  driver->DriverDate = c.date;
  driver->DriverVersion = c.version;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WINAPI SetupDiGetDriverInfoDetailA(HDEVINFO set, PSP_DEVINFO_DATA device, PSP_DRVINFO_DATA_A driver,
                                        PSP_DRVINFO_DETAIL_DATA_A detail, DWORD size, PDWORD required) {
  constexpr const char* kCall = "SetupDiGetDriverInfoDetailA";
  if (auto error = FaultFor(kCall, ERROR_GEN_FAILURE)) return Fail(*error, FALSE);
  const DeviceElement* element = ListElement(kCall, set, device, SPDIT_COMPATDRIVER);
  if (!element || !IsDriverRecord(kCall, driver)) return FALSE;
  const DriverNode* node = nullptr;
  if (element->compatible)
    for (const DriverNode& n : element->compatible->nodes)
      if (n.serial == driver->Reserved) node = &n;
  if (!node) return Fail(ERROR_INVALID_PARAMETER, FALSE);  // not a driver of the list
  // The program reads the detail into a record of its own size, and needs
  // neither a size query nor the size of the whole id list.
  if (!detail || required) return Unmodelled(kCall, "no detail record, or a size pointer", ERROR_INVALID_PARAMETER, FALSE);
  if (detail->cbSize != sizeof(SP_DRVINFO_DETAIL_DATA_A) || size < kDetailFixedSize + 1)
    return Fail(ERROR_INVALID_USER_BUFFER, FALSE);
  // The id list: the model's hardware id, then its compatible ids, as a multi-string.
  const DriverCandidate& c = node->candidate;
  const std::vector<std::string>& ids = c.model.ids;
  std::string list;
  for (const std::string& id : ids) list.append(id).push_back('\0');
  list.push_back('\0');
  // The fixed part is filled whether or not the list fits.
  detail->InfDate = c.infDate;
  detail->CompatIDsOffset = static_cast<DWORD>(ids[0].size() + 1);
  detail->CompatIDsLength = ids.size() > 1 ? static_cast<DWORD>(list.size() - ids[0].size() - 1) : 0;
  detail->Reserved = static_cast<ULONG_PTR>(node->serial);
  CopyText(detail->SectionName, LINE_LEN, c.model.installSection);
  CopyText(detail->InfFileName, MAX_PATH, c.infPath);
  CopyText(detail->DrvDescription, LINE_LEN, c.model.description);
  char* out = reinterpret_cast<char*>(detail) + kDetailFixedSize;
  const size_t room = size - kDetailFixedSize;
  if (list.size() <= room) {
    std::memcpy(out, list.data(), list.size());
    SetLastError(ERROR_SUCCESS);
    return TRUE;
  }
  // As many whole ids as fit, still a multi-string.
  size_t used = 0;
  for (const std::string& id : ids) {
    if (used + id.size() + 2 > room) break;
    std::memcpy(out + used, id.c_str(), id.size() + 1);
    used += id.size() + 1;
  }
  out[used] = '\0';
  if (used + 1 < room) out[used + 1] = '\0';
  return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
}

BOOL WINAPI SetupDiDestroyDriverInfoList(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD driverType) {
  constexpr const char* kCall = "SetupDiDestroyDriverInfoList";
  if (auto error = FaultFor(kCall, ERROR_GEN_FAILURE)) return Fail(*error, FALSE);
  DeviceElement* element = ListElement(kCall, set, device, driverType);
  if (!element) return FALSE;
  // Destroying a list that was never built is allowed and does nothing.
  if (element->compatible) {
    LedgerClose(HandleKind::DriverList, element->compatible->ledgerHandle, kCall);
    element->compatible.reset();
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
