// Staging: a driver package's INF copied into the Windows INF directory as
// oemN.inf, with the PNF beside it that records where the package's files are.
#pragma once

#include "platform/win32.h"

#include <optional>
#include <string>

namespace sim::internal {

// Copies the INF at a full Windows path into the Windows INF directory as
// oemN.inf with a PNF beside it and its catalog as oemN.cat in the catalog
// root, or finds the copy that is there already.
// `staged` receives the full path; the error, or ERROR_SUCCESS, is returned.
DWORD StageInf(const std::string& source, std::string& staged);
// The directory where staging installs the catalogs of packages.
std::string CatalogRoot();
// Writes the precompiled companion of an INF: the directory its files come from.
bool WritePnf(const std::string& pnfWindowsPath, const std::string& sourceDirectory);
// The source directory a PNF records, or nullopt.
std::optional<std::string> PnfSourcePath(const std::string& pnfWindowsPath);
// "C:\...\oem3.inf" -> "C:\...\oem3.PNF".
std::string PnfPathOf(const std::string& infWindowsPath);

}  // namespace sim::internal
