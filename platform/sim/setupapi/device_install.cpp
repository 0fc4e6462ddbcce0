// Installing a driver on a device, as the class installer does for Plug and
// Play and for newdev.DLL: the files of the decorated install section copied,
// the driver recorded, the install marks cleared.
#include "platform/sim/setupapi/device_install.h"

#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/setupapi/file_queue.h"

namespace sim::internal {

DWORD InstallDriver(Device& device, const InfData& inf, const std::string& infName, const ModelEntry& model,
                    const std::string& sourceRoot, const char* via) {
  const std::string section = ActualInstallSection(inf, model.installSection);
  FileQueueData queue;
  DWORD error = QueueInstallSection(queue, inf, section, sourceRoot);
  if (!error && !CommitQueue(queue, nullptr, [](UINT n, UINT_PTR p1, UINT_PTR) { return DefaultQueueAnswer(n, p1, false); }))
    error = GetLastError();
  const std::string id = AnsiToUtf8(device.instance_id);
  if (error) {
    // Plug and Play leaves a device whose install failed with the failed-install mark.
    device.config_flags = (device.config_flags.value_or(0) & ~static_cast<DWORD>(CONFIGFLAG_REINSTALL)) |
                          CONFIGFLAG_FAILEDINSTALL;
    Record({{"event", "driver_install_failed"},
            {"instance_id", id},
            {"inf", AnsiToUtf8(infName)},
            {"section", AnsiToUtf8(section)},
            {"error", error},
            {"via", via},
            {"summary", "driver install of " + AnsiToUtf8(infName) + " on " + id + " failed, error " +
                            std::to_string(error)}});
    Persist();
    return error;
  }
  device.driver = DriverRecord{infName, section};
  const std::string setupClass = inf.Value("Version", "Class");
  if (!setupClass.empty()) device.setup_class = setupClass;
  device.config_flags = device.config_flags.value_or(0) &
                        ~static_cast<DWORD>(CONFIGFLAG_REINSTALL | CONFIGFLAG_FAILEDINSTALL);
  Record({{"event", "driver_install"},
          {"instance_id", id},
          {"inf", AnsiToUtf8(infName)},
          {"section", AnsiToUtf8(section)},
          {"via", via},
          {"summary", "installed driver " + AnsiToUtf8(infName) + " [" + AnsiToUtf8(section) + "] on " + id}});
  return Persist() ? ERROR_SUCCESS : static_cast<DWORD>(ERROR_GEN_FAILURE);
}

}  // namespace sim::internal
