// Every platform call of the uninstall path made to fail, one occurrence at a
// time, in a silent run and in a dialog-owned run with the delete option
// checked: whatever fails, every handle is released once, the result is one
// the action has, nothing but the package's own files is deleted, and the
// machine is left in a state that loads and agrees with the result.
#include "install/install.h"
#include "res/resource.h"
#include "tests/support/uninstall_helpers.h"

#include <cstdio>
#include <map>
#include <optional>
#include <set>

namespace {

using test::kPackageId;

const std::string kBody =
    "[Drv.Install]\nCopyFiles=Drv.Files,Lib.Files\n[Drv.Files]\ntdrv.sys\n[Lib.Files]\ntdrv.dll\n"
    "[DestinationDirs]\nDrv.Files=10,System32\\Drivers\nLib.Files=11\n";
const char kDriverFile[] = "C:\\WINDOWS\\System32\\Drivers\\tdrv.sys";
const char kLibraryFile[] = "C:\\WINDOWS\\system32\\tdrv.dll";

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

class UninstallFaultSweep : public test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    WritePackageFile("tdrv.inf", test::UninstallInf({"%D%=Drv.Install," + kPackageId}, kBody));
    std::snprintf(AppState.InfPath, sizeof AppState.InfPath, "%s", PackagePath("tdrv.inf").c_str());
  }

  // One uninstall on a machine of its own, as an install leaves it: the
  // package staged, its two files copied, its device present after a device
  // without hardware ids.
  int32_t Uninstall(bool dialog, const std::optional<sim::FaultRule>& fault) {
    machine_ = root_ / ("run-" + std::to_string(++runs_));
    sim::ResetProcessState();
    sim::CreateMachine(machine_);
    test::AddTestDevice({});
    device_ = test::AddTestDevice({kPackageId + "&REV_0100", kPackageId});
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
      ASSERT_EQ(violations.size(), 1u) << Joined(violations);
      EXPECT_EQ(violations[0].rfind("leak: device information set", 0), 0u) << violations[0];
    } else {
      EXPECT_TRUE(violations.empty()) << Joined(violations);
    }

    const std::set<std::string> allowed{sim::UpperAnsi(staged_), sim::UpperAnsi(test::PnfOf(staged_)),
                                        sim::UpperAnsi(kDriverFile), sim::UpperAnsi(kLibraryFile)};
    for (const auto& deletion : sim::TranscriptOf("file_delete")) {
      const std::string path = deletion["path"].get<std::string>();
      EXPECT_TRUE(allowed.count(sim::UpperAnsi(path))) << "deleted " << path;
    }
    EXPECT_TRUE(sim::FilesRemovedSinceNew().empty()) << Joined(sim::FilesRemovedSinceNew());

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
    }
  }

  // The run without a fault, then one run for each call and occurrence it made.
  void Sweep(bool dialog, const std::vector<std::string>& mustCover) {
    const int32_t result = Uninstall(dialog, std::nullopt);
    ASSERT_EQ(result, ResultDone);
    std::vector<std::string> expected{test::PnfOf(staged_), staged_};
    if (dialog) expected.insert(expected.end(), {kDriverFile, kLibraryFile});
    EXPECT_EQ(test::DeletedPaths(), expected);
    Check(dialog, std::nullopt, result);
    const std::map<std::string, int> counts = sim::CallCounts();
    for (const std::string& call : mustCover) EXPECT_TRUE(counts.count(call)) << call << " is not on the path";

    for (const auto& [call, times] : counts) {
      for (int nth = 1; nth <= times; ++nth) {
        SCOPED_TRACE(call + " failing at call " + std::to_string(nth) + (dialog ? ", dialog" : ", silent"));
        const sim::FaultRule fault{call, nth, std::nullopt};
        const int32_t faulted = Uninstall(dialog, fault);
        Check(dialog, fault, faulted);
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
