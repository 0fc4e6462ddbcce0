// The device tree of the machine: devices by instance id and device-node
// number, the standard setup classes, saving after a change, and the files
// that have changed since the machine was new.
#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/devices.h"

#include "platform/sim/base/numbers.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"

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
    for (const fs::path& file : FilesUnder(p.host)) out.insert(file.lexically_relative(driveC).string());
  }
  return out;
}

}  // namespace

bool HasId(const std::vector<std::string>& ids, std::string_view id) {
  for (const std::string& own : ids)
    if (EqualsNoCase(own, id)) return true;
  return false;
}

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

std::string FlagsText(const std::optional<DWORD>& flags) { return flags ? HexNumber(*flags, 8) : "none"; }

bool Persist() {
  try {
    SaveMachine();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace sim::internal

namespace sim {

using namespace internal;

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
