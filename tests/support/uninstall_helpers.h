// What the uninstall tests share: a driver package INF of the test's own,
// staged as the platform stages it, and what the program then deleted and
// removed, read from the transcript.
#pragma once

#include "tests/support/install_package.h"  // CallCount
#include "platform/sim/base/text.h"
#include "platform/sim/machine/transcript.h"

#include <cstdio>
#include <string>
#include <vector>

namespace test {

// The hardware id the uninstall tests' packages serve (an invented vendor).
inline const std::string kPackageId = "USB\\VID_C0DE&PID_0101";
// The model line of that id, installed by the section Drv.Install.
inline const std::string kPackageModel = "%D%=Drv.Install," + kPackageId;

// A package INF with the model lines `models` (each "%D%=Section,id") and
// then `body`: its install, copy and destination sections. Without
// `signature` the INF is not one the setup library opens as a Windows 4 INF.
inline std::string UninstallInf(const std::vector<std::string>& models, const std::string& body,
                                bool signature = true) {
  std::string inf = "[Version]\n";
  if (signature) inf += "Signature=\"$Windows NT$\"\n";
  inf += "Class=USB\nProvider=%Prov%\nDriverVer=05/06/2024,1.0.0.1\n[Manufacturer]\n%Mfg%=Models\n[Models]\n";
  for (const std::string& m : models) inf += m + "\n";
  inf += body;
  inf += "[Strings]\nProv=\"Example Devices\"\nMfg=\"Example Devices\"\nD=\"Example Sensor\"\n";
  return inf;
}

// The package most uninstall tests use: one driver file for the drivers
// directory and one library for the system directory.
inline const std::string kTwoFilesBody =
    "[Drv.Install]\nCopyFiles=Drv.Files,Lib.Files\n[Drv.Files]\ntdrv.sys\n[Lib.Files]\ntdrv.dll\n"
    "[DestinationDirs]\nDrv.Files=10,System32\\Drivers\nLib.Files=11\n";
inline const char kDriverFile[] = "C:\\WINDOWS\\System32\\Drivers\\tdrv.sys";
inline const char kLibraryFile[] = "C:\\WINDOWS\\system32\\tdrv.dll";

// Stages the INF at `infPath` as an install would, and returns the staged copy's path.
inline std::string StagePackage(const std::string& infPath) {
  char staged[MAX_PATH] = "";
  EXPECT_TRUE(SetupCopyOEMInfA(infPath.c_str(), nullptr, SPOST_PATH, 0, staged, sizeof staged, nullptr, nullptr))
      << infPath << " not staged, error " << GetLastError();
  return staged;
}

// The staged copy's PNF: the same name with its last three letters replaced.
inline std::string PnfOf(const std::string& inf) { return inf.substr(0, inf.size() - 3) + "PNF"; }

// The paths whose DeleteFileA deleted a file, exactly as the caller passed them, in order.
inline std::vector<std::string> DeletedPaths() {
  std::vector<std::string> paths;
  for (const auto& e : sim::TranscriptOf("file_delete"))
    paths.push_back(sim::BytesFromHex(e["path_bytes"].get<std::string>()));
  return paths;
}

// The instance ids of the removed devices, in order.
inline std::vector<std::string> RemovedDevices() {
  std::vector<std::string> ids;
  for (const auto& e : sim::TranscriptOf("device_remove")) ids.push_back(e["instance_id"].get<std::string>());
  return ids;
}

// A test on the uninstall path, with the package INF tdrv.inf of its own.
class UninstallTest : public SimTest {
 protected:
  // Writes tdrv.inf (see UninstallInf) and names it in InfPath.
  void UsePackage(const std::vector<std::string>& models, const std::string& body, bool signature = true) {
    WritePackageFile("tdrv.inf", UninstallInf(models, body, signature));
    std::snprintf(AppState.InfPath, sizeof AppState.InfPath, "%s", PackagePath("tdrv.inf").c_str());
  }
};

}  // namespace test
