// Every platform call of the uninstall path made to fail, one occurrence at a
// time, in a silent run and in a dialog-owned run with the delete option
// checked: whatever fails, every handle is released once, the result is one
// the action has, nothing but the package's own files is deleted, and the
// machine is left in a state that loads and agrees with the result. The
// result is reported in a box owned by the dialog, and only when it is open
// (its texts in both languages are the message catalogue's test).
#include "install/install.h"
#include "res/resource.h"
#include "tests/support/uninstall_helpers.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/user32/user32.h"

#include <map>
#include <optional>
#include <set>

namespace {

using test::kDriverFile;
using test::kLibraryFile;

class UninstallFaultSweep : public test::UninstallTest {
 protected:
  void SetUp() override {
    UninstallTest::SetUp();
    UsePackage({test::kPackageModel}, test::kTwoFilesBody);
  }

  // One uninstall on a machine of its own, as an install leaves it: the
  // package staged, its two files copied, its device present after a device
  // without hardware ids.
  int32_t Uninstall(bool dialog, const std::optional<sim::FaultRule>& fault) {
    machine_ = root_ / ("run-" + std::to_string(++runs_));
    sim::ResetProcessState();
    sim::CreateMachine(machine_);
    test::AddTestDevice({});
    device_ = test::AddTestDevice({test::kPackageId + "&REV_0100", test::kPackageId});
    staged_ = test::StagePackage(AppState.InfPath);
    WriteMachineFile(kDriverFile, "driver");
    WriteMachineFile(kLibraryFile, "library");
    sim::ResetProcessState();  // the counts, transcript and handles of the preparation

    AppState.MainWindow = dialog ? sim::NewTestDialog(129) : nullptr;
    if (dialog) CheckDlgButton(AppState.MainWindow, IDC_DELETE_FILES, BST_CHECKED);
    if (fault) sim::AddFault(*fault);
    return PerformAction(ActionUninstall);
  }

  void Check(bool dialog, const std::optional<sim::FaultRule>& fault, int32_t result) {
    const std::string failing = fault ? fault->call : "";
    EXPECT_TRUE(result == ResultDone || result == ResultFailed) << result;

    sim::LedgerCheckLeaks();
    const std::vector<std::string>& violations = sim::LedgerViolations();
    if (failing == "SetupDiDestroyDeviceInfoList") {
      // The set the platform would not destroy stays open; nothing else does.
      ASSERT_EQ(violations.size(), 1u) << ::testing::PrintToString(violations);
      EXPECT_EQ(violations[0].rfind("leak: device information set", 0), 0u) << violations[0];
    } else {
      EXPECT_TRUE(violations.empty()) << ::testing::PrintToString(violations);
    }

    const std::set<std::string> allowed{sim::UpperAnsi(staged_), sim::UpperAnsi(test::PnfOf(staged_)),
                                        sim::UpperAnsi(kDriverFile), sim::UpperAnsi(kLibraryFile)};
    for (const auto& deletion : sim::TranscriptOf("file_delete")) {
      const std::string path = deletion["path"].get<std::string>();
      EXPECT_TRUE(allowed.count(sim::UpperAnsi(path))) << "deleted " << path;
    }
    EXPECT_TRUE(sim::FilesRemovedSinceNew().empty()) << ::testing::PrintToString(sim::FilesRemovedSinceNew());

    // The machine file loads, and the device is gone exactly when the action says it is.
    sim::Machine saved;
    ASSERT_NO_THROW(saved = sim::LoadMachineFile(machine_));
    bool present = false;
    for (const sim::Device& d : saved.devices) present = present || d.instance_id == device_;
    EXPECT_EQ(present, result != ResultDone);

    const auto boxes = test::MessageBoxes();
    if (!dialog || failing == "MessageBoxA") {
      EXPECT_TRUE(boxes.empty());
    } else {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].bytes, result == ResultDone ? "Driver uninstall success!" : "Driver uninstall failure!");
      EXPECT_EQ(boxes[0].owner, "dialog 129");
    }
  }

  // The run without a fault, then one run for each call and occurrence it made.
  void Sweep(bool dialog, const std::vector<std::string>& mustCover) {
    const int32_t result = Uninstall(dialog, std::nullopt);
    ASSERT_EQ(result, ResultDone);
    // The staged copy goes, PNF first; the copied files only with the dialog's option checked; all before the removal.
    std::vector<std::string> expected{test::PnfOf(staged_), staged_};
    if (dialog) expected.insert(expected.end(), {kDriverFile, kLibraryFile});
    EXPECT_EQ(test::DeletedPaths(), expected);
    ASSERT_EQ(test::RemovedDevices(), std::vector<std::string>{device_});
    const auto removal = sim::TranscriptOf("device_remove")[0]["seq"];
    for (const auto& deletion : sim::TranscriptOf("file_delete")) EXPECT_LT(deletion["seq"], removal);
    Check(dialog, std::nullopt, result);
    const std::map<std::string, int> counts = sim::CallCounts();
    for (const std::string& call : mustCover) EXPECT_TRUE(counts.count(call)) << call << " is not on the path";

    for (const auto& [call, times] : counts) {
      for (int nth = 1; nth <= times; ++nth) {
        SCOPED_TRACE(call + " failing at call " + std::to_string(nth) + (dialog ? ", dialog" : ", silent"));
        const sim::FaultRule fault{call, nth, std::nullopt};
        Check(dialog, fault, Uninstall(dialog, fault));
        ++faultRuns_;
      }
    }
    sim::ResetProcessState();
  }

  std::filesystem::path machine_;
  std::string device_, staged_;
  int runs_ = 0, faultRuns_ = 0;
};

const std::vector<std::string> kRemovalCalls{
    "GetPrivateProfileSectionA",  "SetupDiGetClassDevsA",   "SetupDiEnumDeviceInfo",
    "SetupDiGetDeviceRegistryPropertyA", "SetupDiBuildDriverInfoList", "SetupDiEnumDriverInfoA",
    "SetupDiGetDriverInfoDetailA", "SetupDiDestroyDriverInfoList", "GetWindowsDirectoryA",
    "CreateFileA",                "ReadFile",               "DeleteFileA",
    "SetupDiCallClassInstaller",  "SetupDiDestroyDeviceInfoList"};

TEST_F(UninstallFaultSweep, SilentRun) {
  Sweep(false, kRemovalCalls);
  RecordProperty("fault_runs", faultRuns_);
}

TEST_F(UninstallFaultSweep, DialogRunDeletingTheCopiedFiles) {
  std::vector<std::string> calls = kRemovalCalls;
  calls.insert(calls.end(), {"SetupOpenInfFileA", "SetupDiGetActualSectionToInstallA", "SetupCloseInfFile",
                             "GetPrivateProfileStringA", "GetSystemDirectoryA", "MessageBoxA"});
  Sweep(true, calls);
  RecordProperty("fault_runs", faultRuns_);
}

}  // namespace
