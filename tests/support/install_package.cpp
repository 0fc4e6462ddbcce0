#include "tests/support/install_package.h"
#include "platform/sim/base/text.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/pnp/pnp.h"

#include <filesystem>

namespace test {

std::string InfText(const std::vector<std::string>& models, const std::string& body, bool signature) {
  std::string inf = "[Version]\n";
  if (signature) inf += "Signature=\"$Windows NT$\"\n";
  inf += "Class=USB\nProvider=%Prov%\nDriverVer=05/06/2024,1.0.0.1\n[Manufacturer]\n%Mfg%=Models\n[Models]\n";
  for (const std::string& m : models) inf += m + "\n";
  return inf + body +
         "[Strings]\nProv=\"Example Devices\"\nMfg=\"Example Devices\"\nD=\"Example Sensor\"\nDisk=\"Example Disk\"\n";
}

std::string ModelsInf(const std::vector<Model>& models, const std::string& extra) {
  std::vector<std::string> lines;
  std::string sections, disks;
  for (const Model& m : models) {
    lines.push_back("%D%=" + m.section + "," + m.hardwareId);
    sections += "[" + m.section + "]\nCopyFiles=" + m.section + ".Files\n[" + m.section + ".Files]\n" + m.file + "\n";
    disks += m.file + "=1\n";
  }
  return InfText(lines, sections + extra + "[DestinationDirs]\nDefaultDestDir=12\n[SourceDisksNames]\n1=%Disk%,,,\n"
                                            "[SourceDisksFiles]\n" + disks);
}

std::string ModelId(char which) { return std::string("USB\\VID_FEED&PID_0A0") + static_cast<char>('1' + (which - 'A')); }

std::vector<Model> ThreeModels() {
  return {{"SecA", ModelId('A'), "a.sys"}, {"SecB", ModelId('B'), "b.sys"}, {"SecC", ModelId('C'), "c.sys"}};
}

int CallCount(const char* name) {
  auto it = sim::CallCounts().find(name);
  return it == sim::CallCounts().end() ? 0 : it->second;
}

void InstallTest::SetLegacyPaths(const std::string& infName) {
  std::snprintf(AppState.InfCopyPath, sizeof AppState.InfCopyPath, "%s\\inf\\%s", sim::WindowsDirectory().c_str(),
                infName.c_str());
  std::snprintf(AppState.DriverIndexPath, sizeof AppState.DriverIndexPath, "%s\\inf\\drvidx.bin",
                sim::WindowsDirectory().c_str());
}

std::string InstallTest::DriversPath(const std::string& file) { return sim::SystemDirectory() + "\\drivers\\" + file; }

bool InstallTest::Installed(const std::string& file) {
  return MachineFileExists(DriversPath(file)) && ReadMachineFile(DriversPath(file)) == PackageFileBytes(file);
}

std::optional<DWORD> InstallTest::FlagsOf(const std::string& instanceId) {
  const sim::Device* d = sim::FindDevice(instanceId);
  return d ? d->config_flags : std::nullopt;
}

std::string StagePackage(const std::string& infPath) {
  char staged[MAX_PATH] = "";
  EXPECT_TRUE(SetupCopyOEMInfA(infPath.c_str(), nullptr, SPOST_PATH, 0, staged, sizeof staged, nullptr, nullptr))
      << infPath << " not staged, error " << GetLastError();
  return staged;
}

std::vector<std::string> DeletedPaths() {
  std::vector<std::string> paths;
  for (const auto& e : sim::TranscriptOf("file_delete"))
    paths.push_back(sim::BytesFromHex(e["path_bytes"].get<std::string>()));
  return paths;
}

}  // namespace test
