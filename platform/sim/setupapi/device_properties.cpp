// SetupDiGetDeviceRegistryPropertyA and SetupDiSetDeviceRegistryPropertyA
// over the device tree: hardware and compatible ids as multi-strings, the
// configuration flags as a REG_DWORD, the setup class and its GUID as texts.
// A property the device does not have gives ERROR_INVALID_DATA.
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/setupapi/setupapi.h"

#include <cstring>

namespace sim::internal {
namespace {

constexpr DWORD kMaximumProperty = 0x25;  // SPDRP_MAXIMUM_PROPERTY

struct PropertyValue {
  DWORD type = REG_NONE;
  std::string bytes;
};

std::string MultiString(const std::vector<std::string>& ids) {
  std::string out;
  for (const std::string& id : ids) {
    out += id;
    out += '\0';
  }
  out += '\0';
  return out;
}

std::optional<PropertyValue> ValueOf(const Device& d, DWORD property) {
  switch (property) {
    case SPDRP_HARDWAREID:
      if (d.hardware_ids.empty()) return std::nullopt;
      return PropertyValue{REG_MULTI_SZ, MultiString(d.hardware_ids)};
    case SPDRP_COMPATIBLEIDS:
      if (d.compatible_ids.empty()) return std::nullopt;
      return PropertyValue{REG_MULTI_SZ, MultiString(d.compatible_ids)};
    case SPDRP_CONFIGFLAGS: {
      if (!d.config_flags) return std::nullopt;
      const DWORD v = *d.config_flags;
      return PropertyValue{REG_DWORD, std::string(reinterpret_cast<const char*>(&v), 4)};
    }
    case SPDRP_CLASS:
      if (d.setup_class.empty()) return std::nullopt;
      return PropertyValue{REG_SZ, d.setup_class + '\0'};
    case SPDRP_CLASSGUID: {
      if (d.setup_class.empty()) return std::nullopt;
      return PropertyValue{REG_SZ, GuidText(ClassGuidOf(d.setup_class)) + '\0'};
    }
    default: return std::nullopt;  // properties the simulated devices do not have
  }
}

// A multi-string of `size` bytes: strings ended by NUL, the list by an empty one.
std::optional<std::vector<std::string>> ReadMultiString(const BYTE* buffer, DWORD size) {
  std::vector<std::string> out;
  const char* p = reinterpret_cast<const char*>(buffer);
  size_t at = 0;
  for (;;) {
    if (at >= size) return std::nullopt;
    const void* end = std::memchr(p + at, '\0', size - at);
    if (!end) return std::nullopt;
    const size_t length = static_cast<size_t>(static_cast<const char*>(end) - (p + at));
    if (length == 0) return out;
    out.emplace_back(p + at, length);
    at += length + 1;
  }
}

nlohmann::json IdsJson(const std::vector<std::string>& ids) {
  nlohmann::json out = nlohmann::json::array();
  for (const std::string& id : ids) out.push_back(AnsiToUtf8(id));
  return out;
}

}  // namespace
}  // namespace sim::internal

using namespace sim;
using namespace sim::internal;

BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, PDWORD type,
                                              PBYTE buffer, DWORD size, PDWORD required) {
  if (auto error = FaultFor("SetupDiGetDeviceRegistryPropertyA", ERROR_GEN_FAILURE)) {
    SetLastError(*error);
    return FALSE;
  }
  DeviceElement* element = nullptr;
  if (DWORD error = ResolveElement(set, device, element)) {
    SetLastError(error);
    return FALSE;
  }
  if (property >= kMaximumProperty) {
    SetLastError(ERROR_INVALID_REG_PROPERTY);
    return FALSE;
  }
  if (!buffer && size != 0) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  const Device* d = DeviceOf(*element);
  if (!d) {
    SetLastError(ERROR_NO_SUCH_DEVINST);
    return FALSE;
  }
  const auto value = ValueOf(*d, property);
  if (!value) {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  const DWORD needed = static_cast<DWORD>(value->bytes.size());
  if (type) *type = value->type;
  if (required) *required = needed;
  if (size < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, value->bytes.data(), needed);
  // A read that succeeds leaves the last-error code as it was, as Wine's
  // does: a caller that looks at it after a success sees a stale code.
  return TRUE;
}

BOOL WINAPI SetupDiSetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, const BYTE* buffer,
                                              DWORD size) {
  if (auto error = FaultFor("SetupDiSetDeviceRegistryPropertyA", ERROR_GEN_FAILURE)) {
    SetLastError(*error);
    return FALSE;
  }
  DeviceElement* element = nullptr;
  if (DWORD error = ResolveElement(set, device, element)) {
    SetLastError(error);
    return FALSE;
  }
  if (property != SPDRP_CONFIGFLAGS && property != SPDRP_HARDWAREID && property != SPDRP_COMPATIBLEIDS) {
    // The other properties are kept by the platform itself, or not simulated.
    SetLastError(ERROR_INVALID_REG_PROPERTY);
    return FALSE;
  }
  if (!buffer && size != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Device* d = DeviceOf(*element);
  if (!d) {
    SetLastError(ERROR_NO_SUCH_DEVINST);
    return FALSE;
  }
  const std::string id = AnsiToUtf8(d->instance_id);
  if (property == SPDRP_CONFIGFLAGS) {
    std::optional<DWORD> flags;  // no data deletes the property
    if (buffer) {
      if (size != 4) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
      }
      DWORD v = 0;
      std::memcpy(&v, buffer, 4);
      flags = v;
    }
    Record({{"event", "device_config_flags"},
            {"instance_id", id},
            {"old", FlagsText(d->config_flags)},
            {"new", FlagsText(flags)},
            {"summary", "configuration flags of " + id + ": " + FlagsText(d->config_flags) + " -> " + FlagsText(flags)}});
    d->config_flags = flags;
  } else {
    std::vector<std::string> ids;
    if (buffer) {
      auto read = ReadMultiString(buffer, size);
      if (!read) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
      }
      ids = std::move(*read);
    }
    std::vector<std::string>& target = property == SPDRP_HARDWAREID ? d->hardware_ids : d->compatible_ids;
    const char* which = property == SPDRP_HARDWAREID ? "hardware_ids" : "compatible_ids";
    Record({{"event", "device_ids"},
            {"instance_id", id},
            {"property", which},
            {"old", IdsJson(target)},
            {"new", IdsJson(ids)},
            {"summary", std::string(which) + " of " + id + " rewritten (" + std::to_string(ids.size()) + " ids)"}});
    target = std::move(ids);
  }
  if (!Persist()) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
