// The configuration manager: CM_Get_DevNode_Status, CM_Reenumerate_DevNode
// and CM_Reenumerate_DevNode_Ex on the device nodes of the device tree.
// These calls return a CONFIGRET and leave the last error alone; a planned
// fault makes them return its error value as the CONFIGRET.
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/pnp/pnp.h"

namespace sim::internal {
namespace {

constexpr ULONG kReenumerateFlags = 0x7;   // normal, synchronous, retry installation, asynchronous
constexpr ULONG kRetryInstallation = 0x2;  // CM_REENUMERATE_RETRY_INSTALLATION

Device* PresentNode(DEVINST devnode) {
  Device* d = DeviceByDevnode(devnode);
  return d && d->present ? d : nullptr;
}

CONFIGRET Reenumerate(const char* call, DEVINST devnode, ULONG flags) {
  Device* d = PresentNode(devnode);
  if (!d) return CR_NO_SUCH_DEVNODE;
  const DWORD configFlags = d->config_flags.value_or(0);
  const bool reinstall = configFlags & CONFIGFLAG_REINSTALL;
  const bool retry = (flags & kRetryInstallation) && (!d->driver || (configFlags & CONFIGFLAG_FAILEDINSTALL));
  const std::string id = AnsiToUtf8(d->instance_id);
  Record({{"event", "device_reenumerate"},
          {"instance_id", id},
          {"call", call},
          {"reinstall", reinstall || retry},
          {"summary", "device " + id + " re-enumerated" + (reinstall || retry ? " (install requested)" : "")}});
  // As Plug and Play: the best driver of the INF directory is installed and
  // the mark cleared. When no INF offers one the mark stays, so that the
  // device is tried again when a driver arrives.
  if (reinstall || retry) {
    const DWORD lastError = GetLastError();  // the configuration manager does not touch it
    InstallBestDriver(*d);
    SetError(lastError);
  }
  return CR_SUCCESS;
}

}  // namespace
}  // namespace sim::internal

using namespace sim;
using namespace sim::internal;

CONFIGRET WINAPI CM_Get_DevNode_Status(PULONG status, PULONG problem, DEVINST devInst, ULONG flags) {
  if (auto error = FaultFor("CM_Get_DevNode_Status", CR_FAILURE)) return *error;
  if (!status || !problem) return CR_INVALID_POINTER;
  if (flags != 0) return CR_INVALID_FLAG;
  const Device* d = PresentNode(devInst);
  if (!d) return CR_NO_SUCH_DEVNODE;
  const DWORD f = d->config_flags.value_or(0);
  ULONG code = 0;
  if (f & CONFIGFLAG_DISABLED) code = CM_PROB_DISABLED;
  else if (f & CONFIGFLAG_REINSTALL) code = CM_PROB_REINSTALL;
  else if ((f & CONFIGFLAG_FAILEDINSTALL) || !d->driver) code = CM_PROB_FAILED_INSTALL;
  *status = code ? DN_HAS_PROBLEM : DN_DRIVER_LOADED | DN_STARTED;
  *problem = code;
  return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Reenumerate_DevNode(DEVINST devInst, ULONG flags) {
  if (auto error = FaultFor("CM_Reenumerate_DevNode", CR_FAILURE)) return *error;
  if (flags & ~kReenumerateFlags) return CR_INVALID_FLAG;
  return Reenumerate("CM_Reenumerate_DevNode", devInst, flags);
}

CONFIGRET WINAPI CM_Reenumerate_DevNode_Ex(DEVINST devInst, ULONG flags, HMACHINE machine) {
  if (auto error = FaultFor("CM_Reenumerate_DevNode_Ex", CR_FAILURE)) return *error;
  if (flags & ~kReenumerateFlags) return CR_INVALID_FLAG;
  if (machine) return CR_INVALID_MACHINENAME;  // only the local machine is simulated
  return Reenumerate("CM_Reenumerate_DevNode_Ex", devInst, flags);
}
