// The setup library's own reading of a driver package, for the preview tool.
#include "platform/sim/setupapi/driver_package.h"

#include "platform/sim/setupapi/file_queue.h"
#include "platform/sim/setupapi/inf_models.h"

#include <algorithm>

namespace sim {

PackageReading ReadDriverPackage(const std::string& infWindowsPath, const std::vector<std::string>& extraSections) {
  using namespace internal;
  PackageReading reading;
  const InfLoad load = LoadInf(infWindowsPath);
  if (!load.inf) {
    reading.error = load.error;
    return reading;
  }
  const InfData& inf = *load.inf;
  std::vector<std::string> names;
  for (const ModelEntry& model : ModelEntries(inf)) {
    reading.models.push_back({model.modelsSection, model.installSection, model.ids.empty() ? "" : model.ids[0]});
    names.push_back(model.installSection);
  }
  names.insert(names.end(), extraSections.begin(), extraSections.end());
  // Files are taken from where the platform takes them: the INF's own directory.
  for (const std::string& name : names) {
    const bool seen = std::any_of(reading.sections.begin(), reading.sections.end(),
                                  [&](const PackageSection& s) { return EqualsNoCase(s.name, name); });
    if (seen) continue;
    PackageSection section{name, ActualInstallSection(inf, name)};
    FileQueueData queue;
    section.error = QueueInstallSection(queue, inf, section.actual, inf.directory);
    for (const QueuedFile& copy : queue.copies)
      if (std::none_of(reading.sourceFiles.begin(), reading.sourceFiles.end(),
                       [&](const std::string& f) { return EqualsNoCase(f, copy.source); }))
        reading.sourceFiles.push_back(copy.source);
    reading.sections.push_back(std::move(section));
  }
  return reading;
}

}  // namespace sim
