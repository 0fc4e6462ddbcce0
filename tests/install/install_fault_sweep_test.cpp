// Every platform call of a silent install made to fail, one occurrence at a
// time: the install must not crash, must release every handle it opened, must
// end with one of its result codes, must not report success for a run that
// lost a step unless that step's failure is one the install goes on from, and
// must leave a machine that still loads.
#include "install/install.h"
#include "tests/support/install_package.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/machine.h"

#include <cstdio>
#include <map>
#include <set>

namespace {

namespace fs = std::filesystem;

struct Route {
  const char* name;
  DWORD version;
  bool present;    // the example device plugged in
  DWORD flags;     // its configuration flags
  int32_t result;  // of the run without a fault
};
void PrintTo(const Route& r, std::ostream* os) { *os << r.name; }

const Route kRoutes[] = {
    {"nt_present", 0x4A65000A, true, 0, ResultDone},
    {"nt_failed", 0x4A65000A, true, CONFIGFLAG_FAILEDINSTALL, ResultDone},
    {"nt_absent", 0x4A65000A, false, CONFIGFLAG_FAILEDINSTALL, ResultPreinstalled},
    {"legacy", 0xC0000A04, true, CONFIGFLAG_FAILEDINSTALL, ResultDone},
};

// The errors each call is made to fail with: its own default, and for some
// calls the other answers the install reads and acts on.
std::vector<std::optional<DWORD>> ErrorsFor(const std::string& call) {
  if (call == "SetupDiGetDeviceRegistryPropertyA")
    return {std::nullopt, ERROR_INVALID_DATA, ERROR_INSUFFICIENT_BUFFER, ERROR_NO_SUCH_DEVINST};
  if (call == "UpdateDriverForPlugAndPlayDevicesA") return {std::nullopt, ERROR_NO_SUCH_DEVINST, ERROR_ACCESS_DENIED};
  if (call == "SetupDiGetActualSectionToInstallA") return {std::nullopt, ERROR_INSUFFICIENT_BUFFER};
  if (call == "SetupDiEnumDeviceInfo") return {std::nullopt, ERROR_NO_MORE_ITEMS};
  if (call == "CM_Get_DevNode_Status") return {std::nullopt, CR_NO_SUCH_DEVNODE};
  return {std::nullopt};
}

// Failures the install goes on from by design, so that a run may succeed with
// less done than the run without the fault:
// - the reinstall marking: its result is not used on the NT route and has no
//   other effect on the 9x route, and re-enumeration failures are ignored;
// - the model scan: whatever it finds the action goes on, and with no ids
//   the NT route stages the package and the 9x route copies the INF alone;
// - the deletion of the 9x driver index, which need not exist;
// - an update call answering ERROR_NO_SUCH_DEVINST, which says that no device
//   with the id is present: the package is staged instead.
bool InstallGoesOnFrom(const std::string& call, std::optional<DWORD> error) {
  static const std::set<std::string> marking = {
      "SetupDiGetClassDevsA",          "SetupDiEnumDeviceInfo",  "SetupDiGetDeviceRegistryPropertyA",
      "SetupDiSetDeviceRegistryPropertyA", "LocalAlloc",          "CM_Get_DevNode_Status",
      "CM_Reenumerate_DevNode",        "CM_Reenumerate_DevNode_Ex", "SetupDiDestroyDeviceInfoList"};
  return marking.count(call) || call == "GetPrivateProfileSectionA" || call == "DeleteFileA" ||
         (call == "UpdateDriverForPlugAndPlayDevicesA" && error == static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
}

// A release that fails leaves its handle open in the platform: the one leak
// the program cannot prevent, since it must not release a handle twice.
const std::map<std::string, std::string> kReleases = {
    {"SetupDiDestroyDeviceInfoList", "leak: device information set"},
    {"SetupCloseFileQueue", "leak: file queue"},
};

// Messages a silent run shows, always without an owner.
const std::set<std::string> kSilentMessages = {"newdev.DLL not found.", "UpdateDriverForPlugAndPlayDevices() not found.",
                                               "Windows version or directory error"};

// What an install leaves on the machine.
struct MachineState {
  std::vector<std::string> added, removed, devices;
  bool operator==(const MachineState&) const = default;
};

MachineState StateNow() {
  MachineState s{sim::FilesAddedSinceNew(), sim::FilesRemovedSinceNew(), {}};
  for (const sim::Device& d : sim::CurrentMachine().devices) {
    char flags[16] = "none";
    if (d.config_flags) std::snprintf(flags, sizeof flags, "0x%X", static_cast<unsigned>(*d.config_flags));
    s.devices.push_back(d.instance_id + " " + (d.driver ? d.driver->inf + "/" + d.driver->section : "-") + " " + flags);
  }
  return s;
}

struct SweepRun {
  int32_t result = 0;
  MachineState state;
  std::vector<std::string> violations;
  std::vector<test::Box> boxes;
  std::map<std::string, int> counts;
};

class InstallFaultSweep : public test::InstallTest, public ::testing::WithParamInterface<Route> {
 protected:
  // A new machine of the route's own, copied afresh for every run.
  void MakeTemplate() {
    templateDir_ = root_ / "template";
    runDir_ = root_ / "run";
    sim::ResetProcessState();
    sim::NewMachineOptions options;
    options.version = GetParam().version;
    sim::CreateMachine(templateDir_, options);
    test::AddTestDevice({test::kExampleRevisionId, test::kExampleId}, GetParam().present, GetParam().flags);
    UseExamplePackage();
  }

  SweepRun RunOnce(const std::optional<sim::FaultRule>& fault) {
    fs::remove_all(runDir_);
    fs::copy(templateDir_, runDir_, fs::copy_options::recursive);
    sim::ResetProcessState();
    sim::OpenMachine(runDir_);
    AppState = ProgramState{};
    std::snprintf(AppState.InfPath, sizeof AppState.InfPath, "%s", PackagePath("exampledrv.inf").c_str());
    if (!sim::CurrentMachine().IsNtFamily()) SetLegacyPaths("exampledrv.inf");
    if (fault) sim::AddFault(*fault);
    SweepRun run;
    run.result = PerformAction(ActionInstall);
    run.counts = sim::CallCounts();
    run.boxes = test::MessageBoxes();
    sim::LedgerCheckLeaks();
    run.violations = sim::LedgerViolations();
    run.state = StateNow();
    EXPECT_NO_THROW(sim::LoadMachineFile(runDir_));
    return run;
  }

  fs::path templateDir_, runDir_;
};

TEST_P(InstallFaultSweep, EveryCallFailingOnce) {
  MakeTemplate();
  const SweepRun baseline = RunOnce(std::nullopt);
  ASSERT_EQ(baseline.result, GetParam().result);
  ASSERT_TRUE(baseline.violations.empty()) << baseline.violations.front();
  ASSERT_TRUE(baseline.boxes.empty());

  int runs = 0, failed = 0, sameAsBaseline = 0, wentOn = 0;
  for (const auto& [call, count] : baseline.counts) {
    for (int nth = 1; nth <= count; ++nth) {
      for (const std::optional<DWORD>& error : ErrorsFor(call)) {
        const std::string what = call + " #" + std::to_string(nth) + " error " +
                                 (error ? std::to_string(*error) : std::string("default"));
        SCOPED_TRACE(what);
        const SweepRun run = RunOnce(sim::FaultRule{call, nth, error});
        ++runs;
        EXPECT_TRUE(run.result == ResultPreinstalled || run.result == ResultDone || run.result == ResultFailed)
            << run.result;
        // Every handle released once; a failed release may leave that one handle.
        std::vector<std::string> violations = run.violations;
        if (auto r = kReleases.find(call); r != kReleases.end() && violations.size() == 1 &&
                                           violations[0].rfind(r->second, 0) == 0)
          violations.clear();
        EXPECT_TRUE(violations.empty()) << violations.front();
        for (const test::Box& box : run.boxes) {
          EXPECT_EQ(box.owner, "");
          EXPECT_TRUE(kSilentMessages.count(box.bytes)) << box.bytes;
        }
        if (run.result == ResultFailed) {
          ++failed;
        } else if (run.result == baseline.result && run.state == baseline.state) {
          ++sameAsBaseline;
        } else {
          // Success with less done: only where the install goes on by design.
          EXPECT_TRUE(InstallGoesOnFrom(call, error)) << "reported " << run.result << " having lost a step";
          ++wentOn;
        }
      }
    }
  }
  std::printf("%s: %d runs with a fault: %d failed, %d succeeded as without it, %d went on by design\n",
              GetParam().name, runs, failed, sameAsBaseline, wentOn);
  RecordProperty("runs", runs);
  EXPECT_GT(failed, 0);
}

INSTANTIATE_TEST_SUITE_P(Routes, InstallFaultSweep, ::testing::ValuesIn(kRoutes),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
