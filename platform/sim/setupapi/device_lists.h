// Device information sets: what a set made by SetupDiGetClassDevsA holds, and
// the one way the calls on a set's elements check a caller's set and record.
#pragma once

#include "platform/sim/machine/machine.h"
#include "platform/sim/setupapi/inf_models.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim::internal {

struct DriverNode {
  uint64_t serial = 0;  // what SP_DRVINFO_DATA.Reserved holds
  DriverCandidate candidate;
};
struct DriverList {
  void* ledgerHandle = nullptr;  // the list as the handle ledger counts it
  std::vector<DriverNode> nodes;
};
struct DeviceElement {
  uint64_t serial = 0;  // what SP_DEVINFO_DATA.Reserved holds
  std::string instanceId;
  DWORD devnode = 0;
  GUID classGuid{};
  std::optional<DriverList> compatible;
  size_t position = 0;  // where the device stood in the tree when the set was made
};
struct DeviceSet {
  std::vector<DeviceElement> elements;
};

// The element a caller's record names in an open set, and with `device` the
// device it stands for. Null, with the last error set, for a set that is not
// open (ERROR_INVALID_HANDLE), a record that is missing, of the wrong size or
// not of this set (ERROR_INVALID_PARAMETER), or a device that is no longer in
// the tree (ERROR_NO_SUCH_DEVINST).
DeviceElement* ElementOf(HDEVINFO set, const SP_DEVINFO_DATA* data, Device** device = nullptr);

}  // namespace sim::internal
