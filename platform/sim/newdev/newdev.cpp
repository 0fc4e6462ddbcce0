// The run-time library newdev.DLL and its UpdateDriverForPlugAndPlayDevicesA,
// which stages a package and installs it on the present devices that have a
// hardware id. LoadLibraryA finds it through the module table of kernel32.
#include "platform/sim/kernel32/kernel32.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/setupapi/device_install.h"
#include "platform/sim/setupapi/inf_models.h"
#include "platform/sim/setupapi/oem_staging.h"

namespace sim::internal {
namespace {

// newdev.DLL ships with the NT family from Windows 2000 (version 5) on.
bool NewdevInstalled() {
  const Machine& m = CurrentMachine();
  return m.IsNtFamily() && (m.version & 0xFF) >= 5;
}

// The entry of one INF that fits a device best, or null.
const ModelEntry* BestModel(const std::vector<ModelEntry>& models, const Device& device) {
  const ModelEntry* best = nullptr;
  DWORD bestRank = 0;
  for (const ModelEntry& m : models) {
    const auto rank = MatchRank(device, m);
    if (rank && (!best || *rank < bestRank)) {
      best = &m;
      bestRank = *rank;
    }
  }
  return best;
}

BOOL WINAPI UpdateDriver(HWND, LPCSTR hardwareId, LPCSTR fullInfPath, DWORD installFlags, BOOL* rebootRequired) {
  constexpr const char* kCall = "UpdateDriverForPlugAndPlayDevicesA";
  if (auto error = FaultFor(kCall, ERROR_GEN_FAILURE)) return Fail(*error, FALSE);
  // The program forces the install of its INF, named by its full path, and
  // does not ask whether a restart is needed.
  if (!hardwareId || !*hardwareId || !fullInfPath || !IsFullWindowsPath(fullInfPath) || rebootRequired)
    return Unmodelled(kCall, "no hardware id, an INF not named by its full path, or a restart pointer",
                      ERROR_INVALID_PARAMETER, FALSE);
  if (installFlags != INSTALLFLAG_FORCE)
    return Unmodelled(kCall, "flags other than INSTALLFLAG_FORCE", ERROR_INVALID_FLAGS, FALSE);
  const InfLoad load = LoadInf(fullInfPath);
  if (!load.inf) return Fail(load.error, FALSE);
  const InfData& inf = *load.inf;

  // The present devices with the id, and the entry of this INF for each. The
  // program tries every id of its INF in turn, and most name no device: the
  // models are read only for one that does.
  std::vector<const Device*> withId;
  for (const Device& d : CurrentMachine().devices)
    if (d.present && (HasId(d.hardware_ids, hardwareId) || HasId(d.compatible_ids, hardwareId))) withId.push_back(&d);
  if (withId.empty()) return Fail(ERROR_NO_SUCH_DEVINST, FALSE);
  const std::vector<ModelEntry> models = ModelEntries(inf);
  struct Target {
    std::string instanceId;
    const ModelEntry* model;
  };
  std::vector<Target> targets;
  for (const Device* d : withId)
    if (const ModelEntry* model = BestModel(models, *d)) targets.push_back(Target{d->instance_id, model});
  // The INF offers nothing for the devices with that id.
  if (targets.empty()) return Fail(ERROR_NO_COMPAT_DRIVERS, FALSE);
  std::string staged;
  if (DWORD error = StageInf(fullInfPath, staged)) return Fail(error, FALSE);
  const std::string infName = staged.substr(staged.find_last_of('\\') + 1);
  DWORD firstError = ERROR_SUCCESS;
  for (const Target& t : targets) {
    Device* d = DeviceByInstanceId(t.instanceId);
    if (!d) continue;
    // The package's files are copied from beside the INF it was given.
    const DWORD error = InstallDriver(*d, inf, infName, *t.model, inf.directory, kCall);
    if (error && !firstError) firstError = error;
  }
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
