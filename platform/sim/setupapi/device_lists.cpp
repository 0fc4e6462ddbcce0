// Device information sets: SetupDiGetClassDevsA, SetupDiEnumDeviceInfo,
// SetupDiCallClassInstaller (DIF_REMOVE) and SetupDiDestroyDeviceInfoList.
// A set holds the devices that matched when it was made; their properties
// are read from the device tree when asked for, so a device removed in the
// meantime answers ERROR_NO_SUCH_DEVINST.
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/setupapi/setupapi.h"

#include <algorithm>
#include <unordered_map>

namespace sim::internal {
namespace {

std::unordered_map<const void*, DeviceSet> g_sets;
uint64_t g_serial = 0;
ResetHook g_reset([] { g_sets.clear(); });

bool SameGuid(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::equal(std::begin(a.Data4), std::end(a.Data4), std::begin(b.Data4));
}

std::string_view EnumeratorOf(std::string_view instanceId) { return instanceId.substr(0, instanceId.find('\\')); }

}  // namespace

DeviceSet* FindDeviceSet(HDEVINFO set) {
  auto it = g_sets.find(set);
  return it != g_sets.end() && LedgerIsOpen(HandleKind::DeviceList, set) ? &it->second : nullptr;
}

DWORD ResolveElement(HDEVINFO set, const SP_DEVINFO_DATA* data, DeviceElement*& element) {
  DeviceSet* s = FindDeviceSet(set);
  if (!s) return ERROR_INVALID_HANDLE;
  if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA)) return ERROR_INVALID_PARAMETER;
  // A set's elements are numbered in a row when it is made, so the record
  // names its element's place; a walk over the set then costs no search.
  if (!s->elements.empty() && data->Reserved >= s->elements.front().serial) {
    const uint64_t at = data->Reserved - s->elements.front().serial;
    if (at < s->elements.size() && s->elements[at].serial == data->Reserved) {
      element = &s->elements[at];
      return ERROR_SUCCESS;
    }
  }
  for (DeviceElement& e : s->elements) {
    if (e.serial == data->Reserved) {
      element = &e;
      return ERROR_SUCCESS;
    }
  }
  return ERROR_INVALID_PARAMETER;
}

Device* DeviceOf(const DeviceElement& element) {
  // The device is looked for where it stood, and in the whole tree only when
  // the tree has changed since (a device removed before it, or this one).
  std::vector<Device>& devices = CurrentMachine().devices;
  if (element.position < devices.size() && devices[element.position].instance_id == element.instanceId)
    return &devices[element.position];
  return DeviceByInstanceId(element.instanceId);
}

}  // namespace sim::internal

using namespace sim;
using namespace sim::internal;

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND, DWORD flags) {
  if (auto error = FaultFor("SetupDiGetClassDevsA", ERROR_NOT_ENOUGH_MEMORY)) {
    SetLastError(*error);
    return INVALID_HANDLE_VALUE;
  }
  if (!classGuid && !(flags & DIGCF_ALLCLASSES)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const Machine& m = CurrentMachine();
  const bool byEnumerator = enumerator && *enumerator;
  if (byEnumerator) {
    // An enumerator that no device was ever reported by is not known.
    bool known = false;
    for (const Device& d : m.devices) known = known || EqualsNoCase(EnumeratorOf(d.instance_id), enumerator);
    if (!known) {
      SetLastError(ERROR_INVALID_DATA);
      return INVALID_HANDLE_VALUE;
    }
  }
  DeviceSet set;
  // The simulated devices register no device interfaces: such a list is empty.
  if (!(flags & DIGCF_DEVICEINTERFACE)) {
    for (size_t i = 0; i < m.devices.size(); ++i) {
      const Device& d = m.devices[i];
      if ((flags & DIGCF_PRESENT) && !d.present) continue;
      const GUID cls = ClassGuidOf(d.setup_class);
      if (classGuid && !(flags & DIGCF_ALLCLASSES) && !SameGuid(cls, *classGuid)) continue;
      if (byEnumerator && !EqualsNoCase(EnumeratorOf(d.instance_id), enumerator)) continue;
      set.elements.push_back(DeviceElement{++g_serial, d.instance_id, d.devnode, cls, std::nullopt, i});
    }
  }
  void* handle = NewHandleValue(HandleKind::DeviceList);
  g_sets[handle] = std::move(set);
  LedgerOpen(HandleKind::DeviceList, handle);
  SetLastError(ERROR_SUCCESS);
  return handle;
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device) {
  if (auto error = FaultFor("SetupDiEnumDeviceInfo", ERROR_GEN_FAILURE)) {
    SetLastError(*error);
    return FALSE;
  }
  DeviceSet* s = FindDeviceSet(set);
  if (!s) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!device) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (device->cbSize != sizeof(SP_DEVINFO_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (index >= s->elements.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  const DeviceElement& e = s->elements[index];
  device->ClassGuid = e.classGuid;
  device->DevInst = e.devnode;
  device->Reserved = static_cast<ULONG_PTR>(e.serial);
  // Success leaves the last-error code as it was, as Wine's does.
  return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set) {
  if (auto error = FaultFor("SetupDiDestroyDeviceInfoList", ERROR_INVALID_HANDLE)) {
    SetLastError(*error);
    return FALSE;
  }
  if (!LedgerClose(HandleKind::DeviceList, set, "SetupDiDestroyDeviceInfoList")) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Destroying the set destroys the driver lists built into it.
  if (auto it = g_sets.find(set); it != g_sets.end()) {
    for (DeviceElement& e : it->second.elements)
      if (e.compatible) LedgerClose(HandleKind::DriverList, e.compatible->ledgerHandle, "SetupDiDestroyDeviceInfoList");
    g_sets.erase(it);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION function, HDEVINFO set, PSP_DEVINFO_DATA device) {
  if (auto error = FaultFor("SetupDiCallClassInstaller", ERROR_GEN_FAILURE)) {
    SetLastError(*error);
    return FALSE;
  }
  if (!FindDeviceSet(set)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (function != DIF_REMOVE && function != DIF_INSTALLDEVICE) {
    // Only removal is simulated; other requests are refused, not faked.
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  if (!device) {
    SetLastError(ERROR_NO_DEVICE_SELECTED);  // a set of this simulation never has a selected device
    return FALSE;
  }
  DeviceElement* element = nullptr;
  if (DWORD error = ResolveElement(set, device, element)) {
    SetLastError(error);
    return FALSE;
  }
  if (function == DIF_INSTALLDEVICE) {
    SetLastError(ERROR_NO_DRIVER_SELECTED);  // no driver can be selected in a set of this simulation
    return FALSE;
  }
  Machine& m = CurrentMachine();
  Device* removed = DeviceOf(*element);
  if (!removed) {
    SetLastError(ERROR_NO_SUCH_DEVINST);
    return FALSE;
  }
  const auto it = m.devices.begin() + (removed - m.devices.data());
  const std::string id = AnsiToUtf8(it->instance_id);
  const bool wasPresent = it->present;
  m.devices.erase(it);
  Record({{"event", "device_remove"},
          {"instance_id", id},
          {"was_present", wasPresent},
          {"summary", "device " + id + " removed"}});
  if (!Persist()) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
