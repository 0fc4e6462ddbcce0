// The device tree of the machine as the platform's services look it up:
// devices by instance id and device-node number, the setup classes, and the
// files a new machine has and what has changed since.
#pragma once

#include "platform/sim/machine/machine.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Windows paths of the files under the Windows and system directories that a
// new machine does not have, and of the files of a new machine that are gone.
std::vector<std::string> FilesAddedSinceNew();
std::vector<std::string> FilesRemovedSinceNew();

namespace internal {

Device* DeviceByInstanceId(std::string_view instanceId);
Device* DeviceByDevnode(DEVINST devnode);
GUID ClassGuidOf(std::string_view setupClass);
std::string GuidText(const GUID& guid);
std::string FlagsText(const std::optional<DWORD>& flags);
// Whole ids compared as the platform compares them (letter case ignored).
bool HasId(const std::vector<std::string>& ids, std::string_view id);
// Saves the machine; false when machine.json cannot be written.
bool Persist();

}  // namespace internal
}  // namespace sim
