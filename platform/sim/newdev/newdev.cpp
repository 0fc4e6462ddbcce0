// The run-time library newdev.DLL and its UpdateDriverForPlugAndPlayDevicesA,
// which stages a package and installs it on the present devices that have a
// hardware id. LoadLibraryA finds it through the module table of kernel32.
#include "platform/sim/kernel32/kernel32.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/setupapi/setupapi.h"

namespace sim::internal {
namespace {

constexpr DWORD kInstallFlagReadOnly = 0x2;        // INSTALLFLAG_READONLY
constexpr DWORD kInstallFlagNonInteractive = 0x4;  // INSTALLFLAG_NONINTERACTIVE

// newdev.DLL ships with the NT family from Windows 2000 (version 5) on.
bool NewdevInstalled() {
  const Machine& m = CurrentMachine();
  return m.IsNtFamily() && (m.version & 0xFF) >= 5;
}

// The entry of one INF that fits a device best, or null.
const ModelEntry* BestModel(const std::vector<ModelEntry>& models, const Device& device, DWORD& rank) {
  const ModelEntry* best = nullptr;
  for (const ModelEntry& m : models) {
    const auto r = MatchRank(device, m);
    if (r && (!best || *r < rank)) {
      best = &m;
      rank = *r;
    }
  }
  return best;
}

// Whether the driver a device has now is at least as good as `offered`.
bool CurrentDriverIsAsGood(const Device& device, const DriverCandidate& offered) {
  if (!device.driver) return false;
  for (const DriverCandidate& c : CompatibleDrivers(device)) {
    const std::string name = c.infPath.substr(c.infPath.find_last_of('\\') + 1);
    if (!EqualsNoCase(name, device.driver->inf)) continue;
    const InfLoad current = LoadInf(c.infPath, true);
    if (current.inf && EqualsNoCase(ActualInstallSection(*current.inf, c.model.installSection), device.driver->section))
      return !BetterDriver(offered, c);
  }
  return false;
}

BOOL WINAPI UpdateDriver(HWND, LPCSTR hardwareId, LPCSTR fullInfPath, DWORD installFlags, BOOL* rebootRequired) {
  if (auto error = FaultFor("UpdateDriverForPlugAndPlayDevicesA", ERROR_GEN_FAILURE)) {
    SetLastError(*error);
    return FALSE;
  }
  if (!hardwareId || !*hardwareId || !fullInfPath) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (installFlags & ~static_cast<DWORD>(INSTALLFLAG_FORCE | kInstallFlagReadOnly | kInstallFlagNonInteractive)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return FALSE;
  }
  if (!IsFullWindowsPath(fullInfPath)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  const InfLoad load = LoadInf(fullInfPath, true);
  if (!load.inf) {
    SetLastError(load.error);
    return FALSE;
  }
  const InfData& inf = *load.inf;
  const std::vector<ModelEntry> models = ModelEntries(inf);
  FILETIME date;
  DWORDLONG version;
  DriverVersionOf(inf, date, version);

  // The present devices with the id, and the entry of this INF for each.
  struct Target {
    std::string instanceId;
    const ModelEntry* model;
  };
  std::vector<Target> targets;
  bool anyDevice = false, anyModel = false;
  for (const Device& d : CurrentMachine().devices) {
    if (!d.present || !(HasId(d.hardware_ids, hardwareId) || HasId(d.compatible_ids, hardwareId))) continue;
    anyDevice = true;
    DWORD rank = 0;
    const ModelEntry* model = BestModel(models, d, rank);
    if (!model) continue;
    anyModel = true;
    if (!(installFlags & INSTALLFLAG_FORCE)) {
      DriverCandidate offered;
      offered.model = *model;
      offered.rank = rank;
      offered.date = date;
      offered.version = version;
      if (CurrentDriverIsAsGood(d, offered)) continue;
    }
    targets.push_back(Target{d.instance_id, model});
  }
  if (!anyDevice) {
    SetLastError(ERROR_NO_SUCH_DEVINST);
    return FALSE;
  }
  if (!anyModel) {
    SetLastError(ERROR_NO_COMPAT_DRIVERS);  // the INF offers nothing for the devices with that id
    return FALSE;
  }
  if (targets.empty()) {
    SetLastError(ERROR_NO_MORE_ITEMS);  // not better than the drivers they have, and not forced
    return FALSE;
  }
  std::string staged;
  if (DWORD error = StageInf(fullInfPath, nullptr, SPOST_PATH, 0, staged)) {
    SetLastError(error);
    return FALSE;
  }
  const std::string infName = staged.substr(staged.find_last_of('\\') + 1);
  DWORD firstError = ERROR_SUCCESS;
  for (const Target& t : targets) {
    Device* d = DeviceByInstanceId(t.instanceId);
    if (!d) continue;
    // The package's files are copied from beside the INF it was given.
    const DWORD error = InstallDriver(*d, inf, infName, *t.model, inf.directory, "UpdateDriverForPlugAndPlayDevicesA");
    if (error && !firstError) firstError = error;
  }
  if (rebootRequired) *rebootRequired = FALSE;
  SetLastError(firstError);
  return firstError == ERROR_SUCCESS;
}

}  // namespace
}  // namespace sim::internal

using namespace sim;
using namespace sim::internal;

namespace {

const ModuleExport kExports[] = {
    // Through void (*)(), the one function type every function pointer may pass as.
    {"UpdateDriverForPlugAndPlayDevicesA", reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&UpdateDriver))},
};
const ModuleRegistration g_newdev(ModuleImage{"newdev.dll", NewdevInstalled, kExports, std::size(kExports)});

}  // namespace

// Nothing calls into this file by name: LoadLibraryA finds it through its
// registration, so every program of the simulation links it by this symbol.
extern "C" void sim_newdev_anchor() {}
