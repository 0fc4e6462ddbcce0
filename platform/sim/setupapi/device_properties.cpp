// SetupDiGetDeviceRegistryPropertyA and SetupDiSetDeviceRegistryPropertyA
// over the device tree, for the two properties the program reads: the
// hardware ids, as a multi-string, and the configuration flags, as a
// REG_DWORD, which it also writes. A property the device does not have gives
// ERROR_INVALID_DATA.
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/setupapi/device_lists.h"

#include <cstring>

namespace sim::internal {
namespace {

struct PropertyValue {
  DWORD type = REG_NONE;
  std::string bytes;
};

std::optional<PropertyValue> ValueOf(const Device& d, DWORD property) {
  if (property == SPDRP_HARDWAREID) {
    if (d.hardware_ids.empty()) return std::nullopt;
    PropertyValue value{REG_MULTI_SZ, {}};  // a multi-string: each id ended by NUL, the list by an empty one
    for (const std::string& id : d.hardware_ids) value.bytes.append(id).push_back('\0');
    value.bytes.push_back('\0');
    return value;
  }
  if (!d.config_flags) return std::nullopt;
  const DWORD v = *d.config_flags;
  return PropertyValue{REG_DWORD, std::string(reinterpret_cast<const char*>(&v), sizeof v)};
}

}  // namespace
}  // namespace sim::internal

using namespace sim;
using namespace sim::internal;

BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, PDWORD type,
                                              PBYTE buffer, DWORD size, PDWORD required) {
  constexpr const char* kCall = "SetupDiGetDeviceRegistryPropertyA";
  if (auto error = FaultFor(kCall, ERROR_GEN_FAILURE)) return Fail(*error, FALSE);
  Device* d = nullptr;
  if (!ElementOf(set, device, &d)) return FALSE;
  if (property != SPDRP_HARDWAREID && property != SPDRP_CONFIGFLAGS)
    return Unmodelled(kCall, "a property other than the hardware ids and the configuration flags",
                      ERROR_CALL_NOT_IMPLEMENTED, FALSE);
  if (!buffer && size != 0) return Fail(ERROR_INVALID_USER_BUFFER, FALSE);
  const auto value = ValueOf(*d, property);
  if (!value) return Fail(ERROR_INVALID_DATA, FALSE);
  const DWORD needed = static_cast<DWORD>(value->bytes.size());
  if (type) *type = value->type;
  if (required) *required = needed;
  if (size < needed) return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
  std::memcpy(buffer, value->bytes.data(), needed);
  // A read that succeeds leaves the last-error code as it was, as Wine's
  // does: a caller that looks at it after a success sees a stale code.
  return TRUE;
}

BOOL WINAPI SetupDiSetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, const BYTE* buffer,
                                              DWORD size) {
  constexpr const char* kCall = "SetupDiSetDeviceRegistryPropertyA";
  if (auto error = FaultFor(kCall, ERROR_GEN_FAILURE)) return Fail(*error, FALSE);
  Device* d = nullptr;
  if (!ElementOf(set, device, &d)) return FALSE;
  // The program writes the configuration flags, and only as a whole DWORD.
  if (property != SPDRP_CONFIGFLAGS)
    return Unmodelled(kCall, "a property other than the configuration flags", ERROR_CALL_NOT_IMPLEMENTED, FALSE);
  if (!buffer || size != sizeof(DWORD))
    return Unmodelled(kCall, "flags not given as one DWORD (or deleted)", ERROR_INVALID_PARAMETER, FALSE);
  DWORD flags = 0;
  std::memcpy(&flags, buffer, sizeof flags);
  const std::string id = AnsiToUtf8(d->instance_id);
  Record({{"event", "device_config_flags"},
          {"instance_id", id},
          {"old", FlagsText(d->config_flags)},
          {"new", FlagsText(flags)},
          {"summary", "configuration flags of " + id + ": " + FlagsText(d->config_flags) + " -> " + FlagsText(flags)}});
  d->config_flags = flags;
  if (!Persist()) return Fail(ERROR_GEN_FAILURE, FALSE);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
