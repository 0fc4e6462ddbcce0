// The example package installed silently, then uninstalled from the dialog
// with file deletion: the machine is left as it was made. (The action's
// result and message box on every other road are checked by the uninstall
// fault sweep, whose runs without a fault and with each call failing cover
// both results, in a silent and a dialog-owned run.)
#include "install/install.h"
#include "res/resource.h"
#include "tests/support/uninstall_helpers.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/user32/user32.h"

#include <cstdio>

namespace {

class ExamplePackage : public test::SimTest {};

TEST_F(ExamplePackage, InstalledAndUninstalledLeavesTheMachineAsNew) {
  for (const char* file : {"exampledrv.inf", "exampledrv.sys", "exampledrv.dll"})
    WritePackageFile(file, test::ReadFile(std::filesystem::path(SETUP_SOURCE_DIR) / "examples/package" / file));
  const std::string sensor = test::AddTestDevice({"USB\\VID_FEED&PID_5E50&REV_0100", "USB\\VID_FEED&PID_5E50"}, true, 0,
                                                 {"USB\\Class_FF&SubClass_00"});
  std::snprintf(AppState.InfPath, sizeof AppState.InfPath, "%s", PackagePath("exampledrv.inf").c_str());
  ASSERT_EQ(PerformAction(ActionInstall), ResultDone);
  ASSERT_FALSE(sim::FilesAddedSinceNew().empty());

  AppState.MainWindow = sim::NewTestDialog(129);
  ASSERT_TRUE(CheckDlgButton(AppState.MainWindow, IDC_DELETE_FILES, BST_CHECKED));
  EXPECT_EQ(PerformAction(ActionUninstall), ResultDone);
  EXPECT_EQ(test::RemovedDevices(), std::vector<std::string>{sensor});
  EXPECT_EQ(sim::FilesAddedSinceNew(), std::vector<std::string>{});
  EXPECT_EQ(sim::FilesRemovedSinceNew(), std::vector<std::string>{});
  ASSERT_EQ(test::MessageBoxes().size(), 1u);
  EXPECT_EQ(test::MessageBoxes()[0].bytes, "Driver uninstall success!");
}

}  // namespace
