// Driver packages for the tests of the actions: the example package shipped
// with the program, small packages of several models written inline (each
// model's install section copying one file of its own), packages of the
// uninstall tests' own, and what the program then deleted and removed.
#pragma once

#include "tests/support/device_helpers.h"
#include "platform/sim/base/interrupted.h"

#include <string>
#include <vector>

namespace test {

// One model of an inline package.
struct Model {
  std::string section;     // its install section
  std::string hardwareId;
  std::string file;        // the file that section copies into the drivers directory
};

// A package INF with the model lines `models` (each "%D%=Section,id") and
// then `body`: its install, copy and destination sections. Without
// `signature` the INF is not one the setup library opens as a Windows 4 INF.
std::string InfText(const std::vector<std::string>& models, const std::string& body, bool signature = true);
// The INF of a package of the given models, in their order, each install
// section copying its model's file into the drivers directory. `extra` is
// appended as it stands (more sections).
std::string ModelsInf(const std::vector<Model>& models, const std::string& extra = "");

// Three models A, B and C with ids USB\VID_FEED&PID_0A01 .. 0A03 and files a.sys .. c.sys.
std::vector<Model> ThreeModels();
std::string ModelId(char which);  // 'A' -> "USB\VID_FEED&PID_0A01"

// The file's bytes as the package holds them.
inline std::string PackageFileBytes(const std::string& file) { return "placeholder driver file " + file + "\r\n"; }

// The helpers are public so that tables of cases can call them.
class InstallTest : public SimTest {
 public:
  // The example package in the package directory; InfPath names its INF.
  void UseExamplePackage() {
    CopyExamplePackage();
    SetInfPath("exampledrv.inf");
  }
  // pkg.inf with the given text and each model's file; InfPath names it.
  void UsePackage(const std::vector<Model>& models, const std::string& extra = "") {
    WritePackageFile("pkg.inf", ModelsInf(models, extra));
    SetInfPath("pkg.inf");
    for (const Model& m : models) WritePackageFile(m.file, PackageFileBytes(m.file));
  }
  void RemovePackageFile(const std::string& name) {
    sim::Uninterrupted(packageDir_ / name, [&](auto& e) { return fs::remove(packageDir_ / name, e); });
  }
  // The paths the start-up builds on the 9x family for pkg.inf.
  void SetLegacyPaths(const std::string& infName = "pkg.inf");
  // Where a model's file lands, and whether it is there with the package's bytes.
  std::string DriversPath(const std::string& file);
  bool Installed(const std::string& file);
  // The flags a device has now (nullopt: none, or no such device).
  std::optional<DWORD> FlagsOf(const std::string& instanceId);
};

// How often the program has called a platform function since the process
// state was last reset.
int CallCount(const char* name);

// The hardware id the uninstall tests' packages serve (an invented vendor),
// and its model line, installed by the section Drv.Install.
inline const std::string kPackageId = "USB\\VID_C0DE&PID_0101";
inline const std::string kPackageModel = "%D%=Drv.Install," + kPackageId;

// The package most uninstall tests use: one driver file for the drivers
// directory and one library for the system directory.
inline const std::string kTwoFilesBody =
    "[Drv.Install]\nCopyFiles=Drv.Files,Lib.Files\n[Drv.Files]\ntdrv.sys\n[Lib.Files]\ntdrv.dll\n"
    "[DestinationDirs]\nDrv.Files=10,System32\\Drivers\nLib.Files=11\n";

// Stages the INF at `infPath` as an install would, and returns the staged copy's path.
std::string StagePackage(const std::string& infPath);
// The staged copy's PNF: the same name with its last three letters replaced.
inline std::string PnfOf(const std::string& inf) { return inf.substr(0, inf.size() - 3) + "PNF"; }
// The paths whose DeleteFileA deleted a file, exactly as the caller passed them, in order.
std::vector<std::string> DeletedPaths();

// A test on the uninstall path, with the package INF tdrv.inf of its own.
class UninstallTest : public InstallTest {
 protected:
  void UsePackage(const std::vector<std::string>& models, const std::string& body, bool signature = true) {
    WritePackageFile("tdrv.inf", InfText(models, body, signature));
    SetInfPath("tdrv.inf");
  }
};

}  // namespace test
