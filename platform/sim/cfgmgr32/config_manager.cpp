// The configuration manager: CM_Get_DevNode_Status, CM_Reenumerate_DevNode
// and CM_Reenumerate_DevNode_Ex on the device nodes of the device tree.
// These calls return a CONFIGRET and leave the last error alone; a planned
// fault makes them return its error value as the CONFIGRET.
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/pnp/pnp.h"

namespace sim::internal {
namespace {

Device* PresentNode(DEVINST devnode) {
  Device* d = DeviceByDevnode(devnode);
  return d && d->present ? d : nullptr;
}

// An argument the program never passes is refused loudly, the last error
// left alone as these calls leave it.
CONFIGRET Refuse(const char* call, const char* what, CONFIGRET result) {
  RecordUnmodelled(call, what, result);
  return result;
}

// The program re-enumerates with no flags: a node marked for reinstall gets
// the best driver of the INF directory, as Plug and Play installs it, and the
// mark is cleared. When no INF offers one the mark stays, so that the device
// is tried again when a driver arrives.
CONFIGRET Reenumerate(const char* call, DEVINST devnode, ULONG flags) {
  if (flags) return Refuse(call, "re-enumeration flags", CR_INVALID_FLAG);
  Device* d = PresentNode(devnode);
  if (!d) return CR_NO_SUCH_DEVNODE;
  const bool reinstall = d->config_flags.value_or(0) & CONFIGFLAG_REINSTALL;
  const std::string id = AnsiToUtf8(d->instance_id);
  Record({{"event", "device_reenumerate"},
          {"instance_id", id},
          {"call", call},
          {"reinstall", reinstall},
          {"summary", "device " + id + " re-enumerated" + (reinstall ? " (install requested)" : "")}});
  if (reinstall) {
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
  if (!status || !problem) return Refuse("CM_Get_DevNode_Status", "no status or problem", CR_INVALID_POINTER);
  if (flags) return Refuse("CM_Get_DevNode_Status", "flags", CR_INVALID_FLAG);
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
  return Reenumerate("CM_Reenumerate_DevNode", devInst, flags);
}

CONFIGRET WINAPI CM_Reenumerate_DevNode_Ex(DEVINST devInst, ULONG flags, HMACHINE machine) {
  if (auto error = FaultFor("CM_Reenumerate_DevNode_Ex", CR_FAILURE)) return *error;
  if (machine) return Refuse("CM_Reenumerate_DevNode_Ex", "a remote machine", CR_INVALID_MACHINENAME);
  return Reenumerate("CM_Reenumerate_DevNode_Ex", devInst, flags);
}
