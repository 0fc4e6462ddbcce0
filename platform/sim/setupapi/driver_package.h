// What the platform itself reads from a driver package, for the tools that
// show a vendor what the program will do with a package before a user runs it.
// The program never calls this: it is the setup library's own reading of the
// INF (models chosen for the running machine's decorations, install sections
// decorated, copy sections and the source layout followed), the same reading
// the simulated driver installs use.
#pragma once

#include "platform/win32.h"

#include <string>
#include <vector>

namespace sim {

struct PackageModel {
  std::string modelsSection;   // as chosen for the current machine, decorated as found
  std::string installSection;  // as the model line names it
  std::string hardwareId;      // the model's hardware id, %strings% replaced (may be empty)
};

struct PackageSection {
  std::string name;    // the install section as given
  std::string actual;  // decorated for the current machine
  DWORD error = ERROR_SUCCESS;  // why its files could not be queued
};

struct PackageReading {
  DWORD error = ERROR_SUCCESS;  // the setup library does not open the INF (for example no Windows 4 signature)
  std::vector<PackageModel> models;
  std::vector<PackageSection> sections;  // the models' install sections, then `extraSections`, each once
  // Full Windows paths of the files that installing those sections copies
  // from the package, each once, in queue order.
  std::vector<std::string> sourceFiles;
};

// Reads the INF at `infWindowsPath` as the setup library of the current
// machine does. `extraSections` are further install sections to follow (the
// program's own list, which may name sections the models do not).
PackageReading ReadDriverPackage(const std::string& infWindowsPath, const std::vector<std::string>& extraSections);

}  // namespace sim
