// Compatible-driver lists: SetupDiBuildDriverInfoList, SetupDiEnumDriverInfoA,
// SetupDiGetDriverInfoDetailA and SetupDiDestroyDriverInfoList. A list is built
// into a device's element of a set from the INF files of the Windows INF
// directory as they are then; deleting files later does not change it.
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/setupapi/setupapi.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace sim::internal {
namespace {

uint64_t g_nodeSerial = 0;
constexpr DWORD kDriverInfoV1Size = offsetof(SP_DRVINFO_DATA_V2_A, DriverDate);
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

// Checks the set, the device and the driver type shared by all four calls.
DWORD CheckList(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD type, DeviceElement*& element) {
  if (!FindDeviceSet(set)) return ERROR_INVALID_HANDLE;
  if (type != SPDIT_COMPATDRIVER && type != SPDIT_CLASSDRIVER) return ERROR_INVALID_PARAMETER;
  if (!device) return type == SPDIT_COMPATDRIVER ? static_cast<DWORD>(ERROR_INVALID_PARAMETER) : ERROR_SUCCESS;
  return ResolveElement(set, device, element);
}

const DriverNode* NodeOf(const DeviceElement& e, const SP_DRVINFO_DATA_A* driver) {
  if (!e.compatible) return nullptr;
  for (const DriverNode& n : e.compatible->nodes)
    if (n.serial == driver->Reserved) return &n;
  return nullptr;
}

}  // namespace
}  // namespace sim::internal

using namespace sim;
using namespace sim::internal;

BOOL WINAPI SetupDiBuildDriverInfoList(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD driverType) {
  if (auto error = FaultFor("SetupDiBuildDriverInfoList", ERROR_NOT_ENOUGH_MEMORY)) {
    SetLastError(*error);
    return FALSE;
  }
  DeviceElement* element = nullptr;
  if (DWORD error = CheckList(set, device, driverType, element)) {
    SetLastError(error);
    return FALSE;
  }
  if (driverType == SPDIT_CLASSDRIVER) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);  // class driver lists are not simulated
    return FALSE;
  }
  const Device* d = DeviceOf(*element);
  if (!d) {
    SetLastError(ERROR_NO_SUCH_DEVINST);
    return FALSE;
  }
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
  if (auto error = FaultFor("SetupDiEnumDriverInfoA", ERROR_GEN_FAILURE)) {
    SetLastError(*error);
    return FALSE;
  }
  DeviceElement* element = nullptr;
  if (DWORD error = CheckList(set, device, driverType, element)) {
    SetLastError(error);
    return FALSE;
  }
  if (!driver) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (driver->cbSize != sizeof(SP_DRVINFO_DATA_V2_A) && driver->cbSize != kDriverInfoV1Size) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (driverType != SPDIT_COMPATDRIVER || !element || !element->compatible || index >= element->compatible->nodes.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  const DriverNode& node = element->compatible->nodes[index];
  const DriverCandidate& c = node.candidate;
  driver->DriverType = SPDIT_COMPATDRIVER;
  driver->Reserved = static_cast<ULONG_PTR>(node.serial);
  CopyText(driver->Description, LINE_LEN, c.model.description);
  CopyText(driver->MfgName, LINE_LEN, c.model.manufacturer);
  CopyText(driver->ProviderName, LINE_LEN, c.provider);
  if (driver->cbSize == sizeof(SP_DRVINFO_DATA_V2_A)) {
    driver->DriverDate = c.date;
    driver->DriverVersion = c.version;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WINAPI SetupDiGetDriverInfoDetailA(HDEVINFO set, PSP_DEVINFO_DATA device, PSP_DRVINFO_DATA_A driver,
                                        PSP_DRVINFO_DETAIL_DATA_A detail, DWORD size, PDWORD required) {
  if (auto error = FaultFor("SetupDiGetDriverInfoDetailA", ERROR_GEN_FAILURE)) {
    SetLastError(*error);
    return FALSE;
  }
  DeviceElement* element = nullptr;
  if (DWORD error = CheckList(set, device, SPDIT_COMPATDRIVER, element)) {
    SetLastError(error);
    return FALSE;
  }
  if (!driver || (driver->cbSize != sizeof(SP_DRVINFO_DATA_V2_A) && driver->cbSize != kDriverInfoV1Size)) {
    SetLastError(driver ? ERROR_INVALID_USER_BUFFER : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DriverNode* node = NodeOf(*element, driver);
  if (!node) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!detail && size != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (detail && (detail->cbSize != sizeof(SP_DRVINFO_DETAIL_DATA_A) || size < kDetailFixedSize + 1)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  // The id list: the model's hardware id, then its compatible ids, as a multi-string.
  const DriverCandidate& c = node->candidate;
  const std::vector<std::string>& ids = c.model.ids;
  std::string list;
  for (const std::string& id : ids) {
    list += id;
    list += '\0';
  }
  list += '\0';
  const DWORD needed = kDetailFixedSize + static_cast<DWORD>(list.size());
  if (required) *required = needed;
  if (!detail) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
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
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return FALSE;
}

BOOL WINAPI SetupDiDestroyDriverInfoList(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD driverType) {
  if (auto error = FaultFor("SetupDiDestroyDriverInfoList", ERROR_GEN_FAILURE)) {
    SetLastError(*error);
    return FALSE;
  }
  DeviceElement* element = nullptr;
  if (DWORD error = CheckList(set, device, driverType, element)) {
    SetLastError(error);
    return FALSE;
  }
  // Destroying a list that was never built is allowed and does nothing.
  if (element && driverType == SPDIT_COMPATDRIVER && element->compatible) {
    LedgerClose(HandleKind::DriverList, element->compatible->ledgerHandle, "SetupDiDestroyDriverInfoList");
    element->compatible.reset();
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
