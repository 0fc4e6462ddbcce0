// Device information sets: SetupDiGetClassDevsA, SetupDiEnumDeviceInfo,
// SetupDiCallClassInstaller (DIF_REMOVE) and SetupDiDestroyDeviceInfoList.
// A set holds the devices that were there when it was made; their properties
// are read from the device tree when asked for, so a device removed in the
// meantime answers ERROR_NO_SUCH_DEVINST.
#include "platform/sim/setupapi/device_lists.h"

#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/transcript.h"

#include <unordered_map>

namespace sim::internal {
namespace {

std::unordered_map<const void*, DeviceSet> g_sets;
uint64_t g_serial = 0;
ResetHook g_reset([] { g_sets.clear(); });

DeviceSet* FindDeviceSet(HDEVINFO set) {
  auto it = g_sets.find(set);
  return it != g_sets.end() && LedgerIsOpen(HandleKind::DeviceList, set) ? &it->second : nullptr;
}

// The element of a record: a set's elements are numbered in a row when it is
// made, so the record names its element's place and a walk over the set costs
// no search.
DeviceElement* Find(DeviceSet& s, ULONG_PTR serial) {
  if (s.elements.empty() || serial < s.elements.front().serial) return nullptr;
  const uint64_t at = serial - s.elements.front().serial;
  return at < s.elements.size() && s.elements[at].serial == serial ? &s.elements[at] : nullptr;
}

// The device of an element, looked for where it stood, and in the whole tree
// only when the tree has changed since (a device removed before it, or this one).
Device* DeviceOf(const DeviceElement& element) {
  std::vector<Device>& devices = CurrentMachine().devices;
  if (element.position < devices.size() && devices[element.position].instance_id == element.instanceId)
    return &devices[element.position];
  return DeviceByInstanceId(element.instanceId);
}

}  // namespace

DeviceElement* ElementOf(HDEVINFO set, const SP_DEVINFO_DATA* data, Device** device) {
  DeviceSet* s = FindDeviceSet(set);
  if (!s) return Fail(ERROR_INVALID_HANDLE, nullptr);
  DeviceElement* element = data && data->cbSize == sizeof(SP_DEVINFO_DATA) ? Find(*s, data->Reserved) : nullptr;
  if (!element) return Fail(ERROR_INVALID_PARAMETER, nullptr);
  if (device && !(*device = DeviceOf(*element))) return Fail(ERROR_NO_SUCH_DEVINST, nullptr);
  return element;
}

}  // namespace sim::internal

using namespace sim;
using namespace sim::internal;

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags) {
  constexpr const char* kCall = "SetupDiGetClassDevsA";
  if (auto error = FaultFor(kCall, ERROR_NOT_ENOUGH_MEMORY)) return Fail(*error, INVALID_HANDLE_VALUE);
  // The program asks for every device of every class, or for the present ones.
  if (classGuid || enumerator || parent)
    return Unmodelled(kCall, "a class, an enumerator or a parent window", ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  if ((flags & ~static_cast<DWORD>(DIGCF_PRESENT)) != DIGCF_ALLCLASSES)
    return Unmodelled(kCall, "flags other than DIGCF_ALLCLASSES and DIGCF_PRESENT", ERROR_INVALID_FLAGS,
                      INVALID_HANDLE_VALUE);
  const Machine& m = CurrentMachine();
  DeviceSet set;
  for (size_t i = 0; i < m.devices.size(); ++i) {
    const Device& d = m.devices[i];
    if ((flags & DIGCF_PRESENT) && !d.present) continue;
    set.elements.push_back(DeviceElement{++g_serial, d.instance_id, d.devnode, ClassGuidOf(d.setup_class), std::nullopt, i});
  }
  void* handle = NewHandleValue(HandleKind::DeviceList);
  g_sets[handle] = std::move(set);
  LedgerOpen(HandleKind::DeviceList, handle);
  SetLastError(ERROR_SUCCESS);
  return handle;
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device) {
  if (auto error = FaultFor("SetupDiEnumDeviceInfo", ERROR_GEN_FAILURE)) return Fail(*error, FALSE);
  DeviceSet* s = FindDeviceSet(set);
  if (!s) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!device) return Unmodelled("SetupDiEnumDeviceInfo", "no device record", ERROR_INVALID_PARAMETER, FALSE);
  if (device->cbSize != sizeof(SP_DEVINFO_DATA)) return Fail(ERROR_INVALID_USER_BUFFER, FALSE);
  if (index >= s->elements.size()) return Fail(ERROR_NO_MORE_ITEMS, FALSE);
  const DeviceElement& e = s->elements[index];
  device->ClassGuid = e.classGuid;
  device->DevInst = e.devnode;
  device->Reserved = static_cast<ULONG_PTR>(e.serial);
  // Success leaves the last-error code as it was, as Wine's does.
  return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set) {
  if (auto error = FaultFor("SetupDiDestroyDeviceInfoList", ERROR_INVALID_HANDLE)) return Fail(*error, FALSE);
  if (!LedgerClose(HandleKind::DeviceList, set, "SetupDiDestroyDeviceInfoList")) return Fail(ERROR_INVALID_HANDLE, FALSE);
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
  constexpr const char* kCall = "SetupDiCallClassInstaller";
  if (auto error = FaultFor(kCall, ERROR_GEN_FAILURE)) return Fail(*error, FALSE);
  // The program only ever removes a device it names.
  if (function != DIF_REMOVE) return Unmodelled(kCall, "a request other than DIF_REMOVE", ERROR_CALL_NOT_IMPLEMENTED, FALSE);
  if (!device) return Unmodelled(kCall, "the set's selected device", ERROR_INVALID_PARAMETER, FALSE);
  Device* removed = nullptr;
  if (!ElementOf(set, device, &removed)) return FALSE;
  Machine& m = CurrentMachine();
  const std::string id = AnsiToUtf8(removed->instance_id);
  const bool wasPresent = removed->present;
  m.devices.erase(m.devices.begin() + (removed - m.devices.data()));
  Record({{"event", "device_remove"},
          {"instance_id", id},
          {"was_present", wasPresent},
          {"summary", "device " + id + " removed"}});
  if (!Persist()) return Fail(ERROR_GEN_FAILURE, FALSE);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
