// Every platform call of a silent install, a silent uninstall and a
// dialog-owned uninstall with the delete option, made to fail one occurrence
// at a time, on the example machines with the example package: the action
// must not crash, must release every handle it opened, must end with one of
// its result codes and must leave a machine that still loads. An install must
// not report success for a run that lost a step unless the install goes on
// from that step's failure by design; an uninstall deletes nothing but the
// package's own files, removes the device exactly when it reports success,
// and reports in a box owned by the dialog, only when the dialog is open (its
// texts in both languages are the message catalogue's test).
#include "install/install.h"
#include "res/resource.h"
#include "tests/support/install_package.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/pnp/pnp.h"
#include "platform/sim/user32/user32.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

namespace {

namespace fs = std::filesystem;

struct Route {
  const char* name;
  const char* machine;  // made by examples/machines/create; an uninstall runs after an install there
  uint8_t action;
  bool dialog;          // the main dialog open, its delete option checked
  int32_t result;       // of the run without a fault
};
void PrintTo(const Route& r, std::ostream* os) { *os << r.name; }

const Route kRoutes[] = {
    {"install_nt_present", "nt-present", ActionInstall, false, ResultDone},
    {"install_nt_failed", "nt-failed", ActionInstall, false, ResultDone},
    {"install_nt_absent", "nt-absent", ActionInstall, false, ResultPreinstalled},
    {"install_9x_present", "9x-present", ActionInstall, false, ResultDone},
    {"uninstall_silent", "nt-present", ActionUninstall, false, ResultDone},
    {"uninstall_dialog", "nt-present", ActionUninstall, true, ResultDone},
};

// The errors each call is made to fail with: its own default, and for some
// calls the other answers the program reads and acts on.
std::vector<std::optional<DWORD>> ErrorsFor(const std::string& call) {
  if (call == "SetupDiGetDeviceRegistryPropertyA")
    return {std::nullopt, ERROR_INVALID_DATA, ERROR_INSUFFICIENT_BUFFER, ERROR_NO_SUCH_DEVINST};
  if (call == "UpdateDriverForPlugAndPlayDevicesA") return {std::nullopt, ERROR_NO_SUCH_DEVINST, ERROR_ACCESS_DENIED};
  if (call == "SetupDiGetActualSectionToInstallA") return {std::nullopt, ERROR_INSUFFICIENT_BUFFER};
  if (call == "SetupDiEnumDeviceInfo") return {std::nullopt, ERROR_NO_MORE_ITEMS};
  if (call == "CM_Get_DevNode_Status") return {std::nullopt, CR_NO_SUCH_DEVNODE};
  return {std::nullopt};
}

// Failures an install goes on from by design, so that it may succeed with
// less done than without the fault: the reinstall marking (its result is not
// used on the NT route, re-enumeration failures are ignored), the model scan
// (with no ids the NT route stages the package, the 9x route copies the INF
// alone), the deletion of the 9x driver index, which need not exist, and an
// update answering ERROR_NO_SUCH_DEVINST: no device has the id, so the package
// is staged instead.
bool InstallGoesOnFrom(const std::string& call, std::optional<DWORD> error) {
  static const std::set<std::string> marking = {
      "SetupDiGetClassDevsA",     "SetupDiEnumDeviceInfo",  "SetupDiGetDeviceRegistryPropertyA",
      "SetupDiSetDeviceRegistryPropertyA", "LocalAlloc",     "CM_Get_DevNode_Status",
      "CM_Reenumerate_DevNode",   "CM_Reenumerate_DevNode_Ex", "SetupDiDestroyDeviceInfoList"};
  return marking.count(call) || call == "GetPrivateProfileSectionA" || call == "DeleteFileA" ||
         (call == "UpdateDriverForPlugAndPlayDevicesA" && error == static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
}

// A release that fails leaves its handle open in the platform: the one leak
// the program cannot prevent, since it must not release a handle twice.
const std::map<std::string, std::string> kReleases = {
    {"SetupDiDestroyDeviceInfoList", "leak: device information set"},
    {"SetupCloseFileQueue", "leak: file queue"},
};

// Messages a silent install shows.
const std::set<std::string> kSilentMessages = {"newdev.DLL not found.",
                                               "UpdateDriverForPlugAndPlayDevices() not found.",
                                               "Windows version or directory error"};

// Where the example package's driver lands, as the program names it when it deletes it.
const std::string kDriverFile = "C:\\WINDOWS\\System32\\Drivers\\exampledrv.sys";

struct SweepRun {
  int32_t result = 0;
  std::vector<std::string> state;  // files added and removed, devices with driver and flags
  std::vector<std::string> violations;
  std::vector<test::Box> boxes;
  std::vector<std::string> deleted;
  std::map<std::string, int, std::less<>> counts;
  bool devicePresent = false;  // in the saved machine file
};

class FaultSweep : public test::InstallTest, public ::testing::WithParamInterface<Route> {
 protected:
  void MakeTemplate() {
    const Route& r = GetParam();
    templateDir_ = root_ / "template";
    runDir_ = root_ / "run";
    const std::string create = std::string(SETUP_SOURCE_DIR) + "/examples/machines/create " + r.machine + " " +
                               templateDir_.string() + " " + WINSIM_PATH + " >/dev/null";
    ASSERT_EQ(std::system(create.c_str()), 0) << create;
    UseExamplePackage();
    if (r.action == ActionUninstall) {
      sim::OpenMachine(templateDir_);
      ASSERT_EQ(PerformAction(ActionInstall), ResultDone);
      const std::vector<sim::StagedInf> staged = sim::StagedInfFiles();
      ASSERT_EQ(staged.size(), 1u);
      ownFiles_ = {staged[0].inf, test::PnfOf(staged[0].inf), kDriverFile, sim::SystemDirectory() + "\\exampledrv.dll"};
    }
  }

  SweepRun RunOnce(const std::optional<sim::FaultRule>& fault) {
    const Route& r = GetParam();
    fs::remove_all(runDir_);
    fs::copy(templateDir_, runDir_, fs::copy_options::recursive);
    sim::ResetProcessState();
    sim::OpenMachine(runDir_);
    AppState = ProgramState{};
    SetInfPath("exampledrv.inf");
    if (!sim::CurrentMachine().IsNtFamily()) SetLegacyPaths("exampledrv.inf");
    if (r.dialog) {
      AppState.MainWindow = sim::NewTestDialog(129);
      CheckDlgButton(AppState.MainWindow, IDC_DELETE_FILES, BST_CHECKED);
    }
    if (fault) sim::AddFault(*fault);
    SweepRun run;
    run.result = PerformAction(r.action);
    run.counts = sim::CallCounts();
    run.boxes = test::MessageBoxes();
    run.deleted = test::DeletedPaths();
    sim::LedgerCheckLeaks();
    run.violations = sim::LedgerViolations();
    run.state = sim::FilesAddedSinceNew();
    for (const std::string& f : sim::FilesRemovedSinceNew()) run.state.push_back("removed " + f);
    sim::Machine saved;
    EXPECT_NO_THROW(saved = sim::LoadMachineFile(runDir_));
    for (const sim::Device& d : saved.devices) {
      run.state.push_back(test::DeviceLine(d));
      for (const std::string& id : d.hardware_ids) run.devicePresent = run.devicePresent || id == test::kExampleId;
    }
    return run;
  }

  void Check(const SweepRun& run, const SweepRun& baseline, const std::string& call, std::optional<DWORD> error) {
    const Route& r = GetParam();
    EXPECT_TRUE(run.result == ResultDone || run.result == ResultFailed ||
                (r.action == ActionInstall && run.result == ResultPreinstalled))
        << run.result;
    // Every handle released once; a failed release may leave that one handle.
    std::vector<std::string> violations = run.violations;
    if (auto rel = kReleases.find(call);
        rel != kReleases.end() && violations.size() == 1 && violations[0].rfind(rel->second, 0) == 0)
      violations.clear();
    EXPECT_TRUE(violations.empty()) << ::testing::PrintToString(violations);
    if (r.action == ActionInstall) {
      for (const test::Box& box : run.boxes) EXPECT_TRUE(kSilentMessages.count(box.bytes)) << box.bytes;
      // Success with less done: only where the install goes on by design.
      if (run.result != ResultFailed && (run.result != baseline.result || run.state != baseline.state)) {
        EXPECT_TRUE(InstallGoesOnFrom(call, error)) << "reported " << run.result << " having lost a step";
      }
      return;
    }
    std::set<std::string> own;
    for (const std::string& f : ownFiles_) own.insert(sim::UpperAnsi(f));
    for (const std::string& path : run.deleted) EXPECT_TRUE(own.count(sim::UpperAnsi(path))) << "deleted " << path;
    EXPECT_EQ(run.devicePresent, run.result != ResultDone);
    const bool done = run.result == ResultDone;
    const test::Box report{"dialog 129", done ? "Driver uninstall success!" : "Driver uninstall failure!",
                           "DriverSetup", static_cast<unsigned>(done ? MB_ICONINFORMATION : MB_ICONERROR)};
    EXPECT_EQ(run.boxes, r.dialog && call != "MessageBoxA" ? std::vector{report} : std::vector<test::Box>{});
  }

  fs::path templateDir_, runDir_;
  std::vector<std::string> ownFiles_;  // what an uninstall may delete: the staged INF and PNF, the copied files
};

TEST_P(FaultSweep, EveryCallFailingOnce) {
  const Route& r = GetParam();
  MakeTemplate();
  const SweepRun baseline = RunOnce(std::nullopt);
  ASSERT_EQ(baseline.result, r.result);
  Check(baseline, baseline, "", std::nullopt);
  // What each install route does is the id walk's test, on packages of its own.
  if (r.action == ActionUninstall) {
    // The staged copy goes, PNF first, and the copied files only with the
    // option checked: a dialog run leaves the machine as it was before the install.
    std::vector<std::string> expected(ownFiles_.rbegin() + 2, ownFiles_.rend());
    if (r.dialog) expected.insert(expected.end(), ownFiles_.begin() + 2, ownFiles_.end());
    EXPECT_EQ(baseline.deleted, expected);
    if (r.dialog) {
      EXPECT_EQ(sim::FilesAddedSinceNew(), std::vector<std::string>{});
    }
  }

  int runs = 0, failed = 0;
  for (const auto& [call, count] : baseline.counts) {
    for (int nth = 1; nth <= count; ++nth) {
      for (const std::optional<DWORD>& error : ErrorsFor(call)) {
        SCOPED_TRACE(call + " #" + std::to_string(nth) + " error " + (error ? std::to_string(*error) : "default"));
        const SweepRun run = RunOnce(sim::FaultRule{call, nth, error});
        Check(run, baseline, call, error);
        ++runs;
        failed += run.result == ResultFailed;
      }
    }
  }
  std::printf("%s: %d runs with a fault, %d of them failed\n", r.name, runs, failed);
  EXPECT_GT(failed, 0);
}

INSTANTIATE_TEST_SUITE_P(Routes, FaultSweep, ::testing::ValuesIn(kRoutes),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
