// The device tree as Plug and Play keeps it: devices added, found, plugged in
// and out, and the best driver of the Windows INF directory installed on a
// device that needs one.
#include "platform/sim/pnp/pnp.h"

#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/setupapi/device_install.h"
#include "platform/sim/setupapi/inf_models.h"
#include "platform/sim/setupapi/oem_staging.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <stdexcept>

namespace sim::internal {
namespace {

// An instance id as the bus would report it: enumerator, device part of the
// first hardware id (a USB revision left out), and a number of the instance.
std::string MakeInstanceId(const Device& device) {
  std::string first = !device.hardware_ids.empty()   ? device.hardware_ids[0]
                      : !device.compatible_ids.empty() ? device.compatible_ids[0]
                                                        : std::string("UNKNOWN");
  first = UpperAnsi(first);
  std::string enumerator = "ROOT", part = first;
  if (const size_t slash = first.find('\\'); slash != std::string::npos && slash > 0) {
    enumerator = first.substr(0, slash);
    part = first.substr(slash + 1);
    if (const size_t next = part.find('\\'); next != std::string::npos) part.resize(next);
  }
  if (const size_t rev = part.find("&REV_"); rev != std::string::npos && enumerator == "USB") part.resize(rev);
  if (part.empty()) part = "UNKNOWN";
  char number[16];
  std::snprintf(number, sizeof number, "%04u", static_cast<unsigned>(device.devnode % 10000));
  std::string id = enumerator + "\\" + part + "\\" + number;
  for (int n = 1; DeviceByInstanceId(id); ++n) id = enumerator + "\\" + part + "\\" + number + "&" + std::to_string(n);
  return id;
}

}  // namespace

}  // namespace sim::internal

namespace sim {

using namespace internal;

std::string AddDevice(Device device) {
  Machine& m = CurrentMachine();
  device.devnode = m.next_devnode++;
  if (device.instance_id.empty()) device.instance_id = MakeInstanceId(device);
  if (DeviceByInstanceId(device.instance_id))
    throw std::runtime_error("a device with instance id " + AnsiToUtf8(device.instance_id) + " exists already");
  m.devices.push_back(device);
  const std::string id = device.instance_id;
  Record({{"event", "device_add"},
          {"instance_id", AnsiToUtf8(id)},
          {"hardware_ids", device.hardware_ids},
          {"compatible_ids", device.compatible_ids},
          {"present", device.present},
          {"config_flags", FlagsText(device.config_flags)},
          {"summary", "device " + AnsiToUtf8(id) + (device.present ? " added (present)" : " added (not present)")}});
  Persist();
  Device& added = *DeviceByInstanceId(id);
  if (added.present && !added.driver) InstallBestDriver(added);
  return id;
}

Device* FindDevice(std::string_view instanceOrHardwareId, bool* ambiguous) {
  if (ambiguous) *ambiguous = false;
  if (Device* d = DeviceByInstanceId(instanceOrHardwareId)) return d;
  Device* found = nullptr;
  for (Device& d : CurrentMachine().devices) {
    if (!HasId(d.hardware_ids, instanceOrHardwareId)) continue;
    if (found) {
      if (ambiguous) *ambiguous = true;
      return nullptr;
    }
    found = &d;
  }
  return found;
}

void SetDevicePresent(Device& device, bool present) {
  const bool was = device.present;
  device.present = present;
  const std::string id = AnsiToUtf8(device.instance_id);
  Record({{"event", present ? "device_plug" : "device_unplug"},
          {"instance_id", id},
          {"was_present", was},
          {"summary", "device " + id + (present ? " plugged in" : " unplugged")}});
  Persist();
  if (present && (!device.driver || (device.config_flags.value_or(0) & CONFIGFLAG_REINSTALL))) InstallBestDriver(device);
}

std::optional<std::string> InstallBestDriver(Device& device) {
  const std::vector<DriverCandidate> candidates = CompatibleDrivers(device);
  const DriverCandidate* best = BestDriver(candidates);
  if (!best) {
    Record({{"event", "driver_not_found"},
            {"instance_id", AnsiToUtf8(device.instance_id)},
            {"summary", "no INF of " + AnsiToUtf8(InfDirectory()) + " offers a driver for " +
                            AnsiToUtf8(device.instance_id)}});
    return std::nullopt;
  }
  const InfLoad load = LoadInf(best->infPath);
  if (!load.inf) return std::nullopt;
  const std::string name = best->infPath.substr(best->infPath.find_last_of('\\') + 1);
  // The files come from where the package was staged from, as the PNF records.
  const std::string source = PnfSourcePath(PnfPathOf(best->infPath)).value_or(load.inf->directory);
  if (InstallDriver(device, *load.inf, name, best->model, source, "plug and play") != ERROR_SUCCESS) return std::nullopt;
  return name;
}

std::vector<StagedInf> StagedInfFiles() {
  std::vector<StagedInf> out;
  const fs::path dir = HostPathOf(InfDirectory());
  std::vector<std::string> listed;
  ListDirectory(dir, listed);
  for (const std::string& hostName : listed) {
    const std::string name = Utf8ToAnsi(hostName);
    if (name.size() < 8 || !EqualsNoCase(name.substr(0, 3), "oem") || !EqualsNoCase(name.substr(name.size() - 4), ".inf"))
      continue;
    StagedInf s;
    s.inf = InfDirectory() + "\\" + name;
    const HostPath pnf = MapWindowsPath(PnfPathOf(s.inf));
    struct stat info;
    s.has_pnf = pnf.ok() && StatPath(pnf.host, info);
    s.source = PnfSourcePath(PnfPathOf(s.inf)).value_or(std::string());
    out.push_back(s);
  }
  std::sort(out.begin(), out.end(), [](const StagedInf& a, const StagedInf& b) { return UpperAnsi(a.inf) < UpperAnsi(b.inf); });
  return out;
}

std::vector<std::string> InstalledCatalogs() {
  std::vector<std::string> listed, out;
  ListDirectory(HostPathOf(CatalogRoot()), listed);
  for (const std::string& hostName : listed) out.push_back(CatalogRoot() + "\\" + Utf8ToAnsi(hostName));
  std::sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) { return UpperAnsi(a) < UpperAnsi(b); });
  return out;
}

}  // namespace sim
