// The device tree of the simulated machine: looking devices up, the setup
// classes, plugging devices in and out, and installing a driver on a device
// as Plug and Play and newdev.DLL do.
#include "platform/sim/device_internal.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <stdexcept>

namespace sim::internal {
namespace {

struct ClassEntry {
  const char* name;
  GUID guid;
};

// The standard setup classes a device of the simulated machine can be in.
const ClassEntry kClasses[] = {
    {"Bluetooth", {0xE0CBF06C, 0xCD8B, 0x4647, {0xBB, 0x8A, 0x26, 0x3B, 0x43, 0xF0, 0xF9, 0x74}}},
    {"CDROM", {0x4D36E965, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {"DiskDrive", {0x4D36E967, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {"Display", {0x4D36E968, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {"HDC", {0x4D36E96A, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {"HIDClass", {0x745A17A0, 0x74D3, 0x11D0, {0xB6, 0xFE, 0x00, 0xA0, 0xC9, 0x0F, 0x57, 0xDA}}},
    {"Image", {0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}}},
    {"Keyboard", {0x4D36E96B, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {"Media", {0x4D36E96C, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {"Modem", {0x4D36E96D, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {"Monitor", {0x4D36E96E, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {"Mouse", {0x4D36E96F, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {"Net", {0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {"Ports", {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {"Printer", {0x4D36E979, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {"SCSIAdapter", {0x4D36E97B, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {"System", {0x4D36E97D, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {"USB", {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}}},
};

bool HasId(const std::vector<std::string>& ids, std::string_view id) {
  for (const std::string& own : ids)
    if (EqualsNoCase(own, id)) return true;
  return false;
}

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

std::string WindowsPathFromDriveC(const std::string& relative) {
  std::string out = "C:\\" + relative;
  for (char& c : out)
    if (c == '/') c = '\\';
  return Utf8ToAnsi(out);
}

std::set<std::string> CurrentFiles() {
  const Machine& m = CurrentMachine();
  std::set<std::string> out;
  const fs::path driveC = m.dir / "drive_c";
  for (const std::string& root : {m.windows_directory, m.system_directory}) {
    const HostPath p = MapWindowsPath(root);
    if (!p.ok()) continue;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(p.host, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
      if (it->is_regular_file()) out.insert(fs::relative(it->path(), driveC).string());
  }
  return out;
}

}  // namespace

Device* DeviceByInstanceId(std::string_view instanceId) {
  for (Device& d : CurrentMachine().devices)
    if (EqualsNoCase(d.instance_id, instanceId)) return &d;
  return nullptr;
}

Device* DeviceByDevnode(DEVINST devnode) {
  for (Device& d : CurrentMachine().devices)
    if (d.devnode == devnode) return &d;
  return nullptr;
}

GUID ClassGuidOf(std::string_view setupClass) {
  for (const ClassEntry& c : kClasses)
    if (EqualsNoCase(c.name, setupClass)) return c.guid;
  return GUID{};  // a device of no known class is in the null class
}

std::string GuidText(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

std::string FlagsText(const std::optional<DWORD>& flags) {
  if (!flags) return "none";
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(*flags));
  return text;
}

bool Persist() {
  try {
    SaveMachine();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

DWORD InstallDriver(Device& device, const InfData& inf, const std::string& infName, const ModelEntry& model,
                    const std::string& sourceRoot, const char* via) {
  const std::string section = ActualInstallSection(inf, model.installSection);
  FileQueueData queue;
  DWORD error = QueueInstallSection(queue, inf, inf, section, sourceRoot, SP_COPY_NEWER);
  if (!error && !CommitQueue(queue, nullptr, [](UINT n, UINT_PTR p1, UINT_PTR p2) {
        return DefaultQueueAnswer(n, p1, p2, false);
      }))
    error = GetLastError();
  const std::string id = AnsiToUtf8(device.instance_id);
  if (error) {
    // Plug and Play leaves a device whose install failed with the failed-install mark.
    device.config_flags = (device.config_flags.value_or(0) & ~static_cast<DWORD>(CONFIGFLAG_REINSTALL)) |
                          CONFIGFLAG_FAILEDINSTALL;
    Record({{"event", "driver_install_failed"},
            {"instance_id", id},
            {"inf", AnsiToUtf8(infName)},
            {"section", AnsiToUtf8(section)},
            {"error", error},
            {"via", via},
            {"summary", "driver install of " + AnsiToUtf8(infName) + " on " + id + " failed, error " +
                            std::to_string(error)}});
    Persist();
    return error;
  }
  device.driver = DriverRecord{infName, section};
  const std::string setupClass = inf.Value("Version", "Class");
  if (!setupClass.empty()) device.setup_class = setupClass;
  device.config_flags = device.config_flags.value_or(0) &
                        ~static_cast<DWORD>(CONFIGFLAG_REINSTALL | CONFIGFLAG_FAILEDINSTALL);
  Record({{"event", "driver_install"},
          {"instance_id", id},
          {"inf", AnsiToUtf8(infName)},
          {"section", AnsiToUtf8(section)},
          {"via", via},
          {"summary", "installed driver " + AnsiToUtf8(infName) + " [" + AnsiToUtf8(section) + "] on " + id}});
  return Persist() ? ERROR_SUCCESS : static_cast<DWORD>(ERROR_GEN_FAILURE);
}

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
  const InfLoad load = LoadInf(best->infPath, true);
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
  std::error_code ec;
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = Utf8ToAnsi(it->path().filename().string());
    if (name.size() < 8 || !EqualsNoCase(name.substr(0, 3), "oem") || !EqualsNoCase(name.substr(name.size() - 4), ".inf"))
      continue;
    StagedInf s;
    s.inf = InfDirectory() + "\\" + name;
    const HostPath pnf = MapWindowsPath(PnfPathOf(s.inf));
    s.has_pnf = pnf.ok() && fs::exists(pnf.host);
    s.source = PnfSourcePath(PnfPathOf(s.inf)).value_or(std::string());
    out.push_back(s);
  }
  std::sort(out.begin(), out.end(), [](const StagedInf& a, const StagedInf& b) { return UpperAnsi(a.inf) < UpperAnsi(b.inf); });
  return out;
}

std::vector<std::string> FilesAddedSinceNew() {
  const std::set<std::string> baseline(CurrentMachine().baseline_files.begin(), CurrentMachine().baseline_files.end());
  std::vector<std::string> out;
  for (const std::string& file : CurrentFiles())
    if (!baseline.count(file)) out.push_back(WindowsPathFromDriveC(file));
  return out;
}

std::vector<std::string> FilesRemovedSinceNew() {
  const std::set<std::string> now = CurrentFiles();
  std::vector<std::string> out;
  for (const std::string& file : CurrentMachine().baseline_files)
    if (!now.count(file)) out.push_back(WindowsPathFromDriveC(file));
  return out;
}

}  // namespace sim
