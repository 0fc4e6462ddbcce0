// The uninstall action as its callers see it: the result, the message box
// that reports it only when the dialog is open, and the example package
// installed and uninstalled again on a simulated machine.
#include "install/install.h"
#include "res/resource.h"
#include "tests/support/uninstall_helpers.h"

#include <cstdio>

namespace {

using test::kPackageId;

struct ActionCase {
  const char* name;
  bool chinese;
  bool dialog;
  bool devicePresent;
};
void PrintTo(const ActionCase& c, std::ostream* os) { *os << c.name; }

class UninstallAction : public test::SimTest, public ::testing::WithParamInterface<ActionCase> {};

TEST_P(UninstallAction, ReportsTheOutcomeOnlyWhenTheDialogIsOpen) {
  const ActionCase& c = GetParam();
  const std::string device = test::AddTestDevice({kPackageId}, c.devicePresent);
  WritePackageFile("tdrv.inf", test::UninstallInf({"%D%=Drv.Install," + kPackageId}, "[Drv.Install]\n"));
  std::snprintf(AppState.InfPath, sizeof AppState.InfPath, "%s", PackagePath("tdrv.inf").c_str());
  AppState.UseChinese = c.chinese ? 1 : 0;
  if (c.dialog) AppState.MainWindow = sim::NewTestDialog(129);

  EXPECT_EQ(PerformAction(ActionUninstall), c.devicePresent ? ResultDone : ResultFailed);
  EXPECT_EQ(sim::FindDevice(device) == nullptr, c.devicePresent);
  const auto boxes = test::MessageBoxes();
  if (!c.dialog) {
    EXPECT_TRUE(boxes.empty());
    return;
  }
  ASSERT_EQ(boxes.size(), 1u);
  // The Chinese texts in code page 936: "driver uninstalled!" and "driver uninstall failed!".
  const char* done = c.chinese ? "\xC7\xFD\xB6\xAF\xD0\xB6\xD4\xD8\xB3\xC9\xB9\xA6!" : "Driver uninstall success!";
  const char* failed = c.chinese ? "\xC7\xFD\xB6\xAF\xD0\xB6\xD4\xD8\xCA\xA7\xB0\xDC!" : "Driver uninstall failure!";
  const char* text = c.devicePresent ? done : failed;
  const unsigned type = c.chinese ? MB_OK : c.devicePresent ? MB_ICONINFORMATION : MB_ICONERROR;
  EXPECT_EQ(boxes[0].bytes, text);
  EXPECT_EQ(boxes[0].caption, "DriverSetup");
  EXPECT_EQ(boxes[0].type, type);
  EXPECT_EQ(boxes[0].owner, "dialog 129");
}

INSTANTIATE_TEST_SUITE_P(Cases, UninstallAction,
                         ::testing::Values(ActionCase{"SilentDone", false, false, true},
                                           ActionCase{"SilentFailed", false, false, false},
                                           ActionCase{"EnglishDone", false, true, true},
                                           ActionCase{"EnglishFailed", false, true, false},
                                           ActionCase{"ChineseDone", true, true, true},
                                           ActionCase{"ChineseFailed", true, true, false},
                                           ActionCase{"ChineseSilentDone", true, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// The road of an interactive uninstall with file deletion, after a silent
// install of the example package: the machine is left as it was made.
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
