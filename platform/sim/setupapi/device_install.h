// Installing a driver on a device, as the class installer does for Plug and
// Play and for newdev.DLL.
#pragma once

#include "platform/sim/machine/machine.h"
#include "platform/sim/setupapi/inf_files.h"
#include "platform/sim/setupapi/inf_models.h"

#include <string>

namespace sim::internal {

// Installs a model of an INF on a device: queues and copies the files of its
// decorated install section from `sourceRoot`, records the driver (`infName`
// in the INF directory) and clears the reinstall and failed-install marks. A
// failed copy marks the device as failed. Returns the error, or ERROR_SUCCESS.
DWORD InstallDriver(Device& device, const InfData& inf, const std::string& infName, const ModelEntry& model,
                    const std::string& sourceRoot, const char* via);

}  // namespace sim::internal
