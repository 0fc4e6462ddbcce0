// The models of INF files and the driver search of Plug and Play: which model
// lines the running platform reads, how well one fits a device, and which INF
// files of the Windows INF directory offer a driver for it.
#pragma once

#include "platform/sim/machine/machine.h"
#include "platform/sim/setupapi/inf_files.h"

#include <optional>
#include <string>
#include <vector>

namespace sim::internal {

struct ModelEntry {
  std::string manufacturer;    // expanded key of the [Manufacturer] line
  std::string modelsSection;   // the models section used, decorated as found
  std::string description;     // expanded key of the model line
  std::string installSection;  // as the model line names it (undecorated)
  std::vector<std::string> ids;  // [0] the hardware id (may be empty), then compatible ids
};
// The model lines of the models sections that [Manufacturer] names, with
// the decorations of the running platform.
std::vector<ModelEntry> ModelEntries(const InfData& inf);

// How well a model entry fits a device: lower is better; nullopt when none of
// the entry's ids is one of the device's hardware or compatible ids.
std::optional<DWORD> MatchRank(const Device& device, const ModelEntry& model);

struct DriverCandidate {
  std::string infPath;  // full Windows path in the INF directory
  ModelEntry model;
  DWORD rank = 0;
  std::string provider;
  FILETIME date{};
  DWORDLONG version = 0;
  FILETIME infDate{};
};
// The compatible drivers of a device: every model entry of the INF files of
// the Windows INF directory that names one of its ids, in file order.
std::vector<DriverCandidate> CompatibleDrivers(const Device& device);
// The candidate Plug and Play would choose: best rank, then newest date and version.
const DriverCandidate* BestDriver(const std::vector<DriverCandidate>& candidates);

}  // namespace sim::internal
