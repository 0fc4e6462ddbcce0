// PerformAction with ActionInstall: the common first steps, the NT route
// (marking, driver update, pre-install) and the 9x route, with the messages
// of each outcome and where they are shown.
#include "install/install.h"
#include "tests/support/install_package.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/pnp/pnp.h"
#include "platform/sim/user32/user32.h"

#include <cstdlib>
#include <tuple>

namespace {

namespace fs = std::filesystem;

constexpr DWORD kNt = 0x4A65000A, kWindows98 = 0xC0000A04;
constexpr DWORD kWindowsNt4 = 0x05650004;  // NT family, but without newdev.DLL

std::vector<std::string> StagedNames() {
  std::vector<std::string> names;
  for (const sim::StagedInf& s : sim::StagedInfFiles()) names.push_back(s.inf);
  return names;
}

// The sequence numbers of a device's configuration-flag changes and driver
// installs, to check what happened before what.
int SeqOf(const char* event, const std::string& instanceId, int nth = 0) {
  for (const auto& e : sim::TranscriptOf(event))
    if (e.value("instance_id", "") == instanceId && nth-- == 0) return e["seq"].get<int>();
  return -1;
}

// ---- the outcome table ------------------------------------------------------

enum Package { NoInf, Unplugged, Plugged };  // the example package, and its device plugged in or not

struct Outcome {
  const char* what;
  DWORD version;  // of the machine
  Package package;
  sim::FaultRule fault;     // none when its call is empty
  const char* removedFile;  // a package file taken away, or null
  uint8_t action;
  int32_t result;
  const char* text;  // the message's exact bytes; null: no message
  UINT type;
  bool always;  // shown with a null MainWindow too
};
void PrintTo(const Outcome& o, std::ostream* os) { *os << o.what; }

const Outcome kOutcomes[] = {
    {"update_done", kNt, Plugged, {}, nullptr, ActionInstall, ResultDone, "Driver install success!", MB_ICONINFORMATION,
     false},
    {"update_failed", kNt, Plugged, {"UpdateDriverForPlugAndPlayDevicesA", 1, ERROR_ACCESS_DENIED}, nullptr,
     ActionInstall, ResultFailed, "Driver install failure!", MB_ICONERROR, false},
    {"newdev_missing", kWindowsNt4, Plugged, {}, nullptr, ActionInstall, ResultFailed, "newdev.DLL not found.",
     MB_ICONWARNING, true},
    {"function_missing", kNt, Plugged, {"GetProcAddress", 1, ERROR_PROC_NOT_FOUND}, nullptr, ActionInstall,
     ResultFailed, "UpdateDriverForPlugAndPlayDevices() not found.", MB_ICONWARNING, true},
    {"preinstall_done", kNt, Unplugged, {}, nullptr, ActionInstall, ResultPreinstalled,
     "Driver install success.\nplease plug the device.", MB_ICONINFORMATION, false},
    {"staging_failed", kNt, Unplugged, {"SetupCopyOEMInfA", 1, ERROR_ACCESS_DENIED}, nullptr, ActionInstall,
     ResultFailed, "Driver Pre-install failure!", MB_ICONERROR, false},
    // Staged, but a file of the package is missing: the section install fails.
    {"sections_failed", kNt, Unplugged, {}, "exampledrv.dll", ActionInstall, ResultFailed,
     "Driver Pre-install failure!", MB_ICONERROR, false},
    {"legacy_done", kWindows98, Plugged, {}, nullptr, ActionInstall, ResultDone,
     "Driver install success.\n\n,please plug the device!", MB_ICONINFORMATION, false},
    {"legacy_failed", kWindows98, Plugged, {}, "exampledrv.sys", ActionInstall, ResultFailed,
     "Driver install failure.", MB_ICONERROR, false},
    {"no_inf", kNt, NoInf, {}, nullptr, ActionInstall, ResultFailed, "Not Found *.inf.", MB_ICONWARNING, true},
    {"unknown_action", kNt, Plugged, {}, nullptr, 3, ResultDone, nullptr, 0, false},
    {"action_zero", kWindows98, Plugged, {}, nullptr, 0, ResultDone, nullptr, 0, false},
};

class OutcomeTable : public test::InstallTest, public ::testing::WithParamInterface<std::tuple<Outcome, bool>> {
 protected:
  sim::NewMachineOptions MachineOptions() override {
    sim::NewMachineOptions o;
    o.version = std::get<0>(GetParam()).version;
    return o;
  }
};

TEST_P(OutcomeTable, ResultAndMessage) {
  const auto& [o, dialog] = GetParam();
  if (o.package != NoInf) UseExamplePackage();
  if (o.package == Plugged) test::AddTestDevice({test::kExampleRevisionId, test::kExampleId}, true, 0);
  if (!o.fault.call.empty()) sim::AddFault(o.fault);
  if (o.removedFile) RemovePackageFile(o.removedFile);
  SetLegacyPaths("exampledrv.inf");
  if (dialog) AppState.MainWindow = sim::NewTestDialog(129);
  EXPECT_EQ(PerformAction(o.action), o.result);
  // Without an INF nothing is read and no device is looked at.
  if (!AppState.InfPath[0]) {
    EXPECT_EQ(test::CallCount("GetPrivateProfileSectionA") + test::CallCount("SetupDiGetClassDevsA"), 0);
  }
  const std::vector<test::Box> boxes = test::MessageBoxes();
  if (!o.text || (!dialog && !o.always)) {
    EXPECT_TRUE(boxes.empty()) << boxes.front().bytes;
    return;
  }
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].owner, dialog ? "dialog 129" : "");
  EXPECT_EQ(boxes[0].bytes, o.text);
  EXPECT_EQ(boxes[0].caption, "DriverSetup");
  EXPECT_EQ(boxes[0].type, o.type);
}

INSTANTIATE_TEST_SUITE_P(Install, OutcomeTable, ::testing::Combine(::testing::ValuesIn(kOutcomes), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).what) +
                                  (std::get<1>(info.param) ? "_dialog" : "_silent");
                         });

// ---- the NT route -------------------------------------------------------------

class NtInstall : public test::InstallTest {};

TEST_F(NtInstall, SilentUpdateOfAPresentDevice) {
  UseExamplePackage();
  const std::string device = test::AddTestDevice({test::kExampleRevisionId, test::kExampleId}, true, 0);
  EXPECT_EQ(PerformAction(ActionInstall), ResultDone);
  EXPECT_TRUE(test::MessageBoxes().empty());
  // The package is staged and its driver installed on the device.
  const std::vector<std::string> staged = StagedNames();
  ASSERT_EQ(staged.size(), 1u);
  EXPECT_EQ(ReadMachineFile(staged[0]), test::PackageFileBytes("exampledrv.inf"));
  const sim::Device* d = sim::FindDevice(device);
  ASSERT_TRUE(d->driver);
  EXPECT_EQ(staged[0], sim::InfDirectory() + "\\" + d->driver->inf);
  EXPECT_EQ(d->driver->section, "ExampleInstall");
  EXPECT_EQ(ReadMachineFile(sim::WindowsDirectory() + "\\System32\\Drivers\\exampledrv.sys"),
            test::PackageFileBytes("exampledrv.sys"));
  EXPECT_EQ(ReadMachineFile(sim::SystemDirectory() + "\\exampledrv.dll"), test::PackageFileBytes("exampledrv.dll"));
  // A device without the failed-install mark is only re-enumerated before the update.
  EXPECT_EQ(Reenumerated(), std::vector<std::string>{device});
  EXPECT_TRUE(sim::TranscriptOf("device_config_flags").empty());
  EXPECT_LT(SeqOf("device_reenumerate", device), SeqOf("driver_install", device));
  EXPECT_EQ(AppState.LastInstallError, 0u);
  // The same driver is installed again, because the update is forced; the package keeps its staged name.
  EXPECT_EQ(PerformAction(ActionInstall), ResultDone);
  EXPECT_EQ(sim::TranscriptOf("driver_install").size(), 2u);
  EXPECT_EQ(StagedNames().size(), 1u);
}

TEST_F(NtInstall, FailedInstallMarkBecomesReinstallBeforeTheUpdate) {
  UseExamplePackage();
  const std::string device = test::AddTestDevice({test::kExampleRevisionId, test::kExampleId}, true, 0x40);
  EXPECT_EQ(PerformAction(ActionInstall), ResultDone);
  const auto flags = sim::TranscriptOf("device_config_flags");
  ASSERT_EQ(flags.size(), 1u);
  EXPECT_EQ(flags[0]["old"], "0x00000040");
  EXPECT_EQ(flags[0]["new"], "0x00000020");
  EXPECT_LT(flags[0]["seq"].get<int>(), SeqOf("driver_install", device));
  EXPECT_EQ(sim::TranscriptOf("device_reenumerate")[0]["call"], "CM_Reenumerate_DevNode");
  EXPECT_EQ(FlagsOf(device), 0u);  // the install cleared the mark
  EXPECT_TRUE(sim::FindDevice(device)->driver);
}

// Marking and updating for ids A, B, C; devices for all of them exist.
TEST_F(NtInstall, PresentDeviceUpdatedLaterIdsNeitherMarkedNorTried) {
  UsePackage(test::ThreeModels());
  const std::string a = test::AddTestDevice({test::ModelId('A')}, true, 0);
  const std::string b = test::AddTestDevice({test::ModelId('B')}, true, 0x40);
  const std::string c = test::AddTestDevice({test::ModelId('C')}, false, 0x40);
  EXPECT_EQ(PerformAction(ActionInstall), ResultDone);
  EXPECT_EQ(sim::FindDevice(a)->driver->section, "SecA");
  EXPECT_TRUE(Installed("a.sys"));
  // B and C keep their marks and get nothing.
  EXPECT_EQ(FlagsOf(b), 0x40u);
  EXPECT_EQ(FlagsOf(c), 0x40u);
  EXPECT_FALSE(sim::FindDevice(b)->driver);
  EXPECT_FALSE(Installed("b.sys"));
  EXPECT_FALSE(Installed("c.sys"));
  EXPECT_EQ(Reenumerated(), std::vector<std::string>{a});
  EXPECT_EQ(test::CallCount("UpdateDriverForPlugAndPlayDevicesA"), 1);
  EXPECT_EQ(test::CallCount("SetupDiGetClassDevsA"), 1);
}

TEST_F(NtInstall, NoIdPresentEveryIdMarkedThenThePackageStaged) {
  UsePackage(test::ThreeModels());
  const std::string ids[] = {test::AddTestDevice({test::ModelId('A')}, false, 0x40),
                             test::AddTestDevice({test::ModelId('B')}, false, 0x40),
                             test::AddTestDevice({test::ModelId('C')}, false, 0x40)};
  EXPECT_EQ(PerformAction(ActionInstall), ResultPreinstalled);
  const auto staging = sim::TranscriptOf("inf_staged");
  ASSERT_EQ(staging.size(), 1u);
  for (const std::string& id : ids) {
    SCOPED_TRACE(id);
    EXPECT_EQ(FlagsOf(id), 0x20u);
    EXPECT_LT(SeqOf("device_config_flags", id), staging[0]["seq"].get<int>());
  }
  EXPECT_EQ(ReadMachineFile(StagedNames().at(0)), test::ReadFile(packageDir_ / "pkg.inf"));
  // Every install section's files are copied for the device to come.
  for (const char* file : {"a.sys", "b.sys", "c.sys"}) EXPECT_TRUE(Installed(file)) << file;
  EXPECT_EQ(test::CallCount("UpdateDriverForPlugAndPlayDevicesA"), 3);
  EXPECT_EQ(AppState.LastInstallError, static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
  // newdev.DLL was loaded on every pass and is never released.
  EXPECT_EQ(test::CallCount("LoadLibraryA"), 3);
  EXPECT_EQ(sim::LedgerOpenCount(sim::HandleKind::Module), 3u);
}

TEST_F(NtInstall, EmptyIdListGoesStraightToPreinstall) {
  WritePackageFile("pkg.inf", test::ModelsInf({}));
  std::snprintf(AppState.InfPath, sizeof AppState.InfPath, "%s", PackagePath("pkg.inf").c_str());
  EXPECT_EQ(PerformAction(ActionInstall), ResultPreinstalled);
  EXPECT_EQ(StagedNames().size(), 1u);
  EXPECT_EQ(test::CallCount("SetupDiGetClassDevsA"), 0);
  EXPECT_EQ(test::CallCount("LoadLibraryA"), 0);
}

TEST_F(NtInstall, OtherUpdateErrorOnTheSecondIdStopsThere) {
  UsePackage(test::ThreeModels());
  const std::string b = test::AddTestDevice({test::ModelId('B')}, true, 0x40);
  const std::string c = test::AddTestDevice({test::ModelId('C')}, false, 0x40);
  sim::AddFault({"UpdateDriverForPlugAndPlayDevicesA", 2, ERROR_ACCESS_DENIED});
  AppState.MainWindow = sim::NewTestDialog(129);
  EXPECT_EQ(PerformAction(ActionInstall), ResultFailed);
  EXPECT_EQ(AppState.LastInstallError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  const std::vector<test::Box> boxes = test::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].bytes, "Driver install failure!");
  EXPECT_EQ(boxes[0].owner, "dialog 129");
  // B was marked and stays marked; C was neither marked nor tried; nothing is staged.
  EXPECT_EQ(FlagsOf(b), 0x20u);
  EXPECT_EQ(FlagsOf(c), 0x40u);
  EXPECT_EQ(test::CallCount("UpdateDriverForPlugAndPlayDevicesA"), 2);
  EXPECT_TRUE(StagedNames().empty());
  EXPECT_TRUE(sim::TranscriptOf("file_copy").empty());
}

TEST_F(NtInstall, NewdevMissingIsShownInASilentRunAfterTheFirstIdIsMarked) {
  UsePackage(test::ThreeModels());
  sim::CurrentMachine().version = kWindowsNt4;
  const std::string a = test::AddTestDevice({test::ModelId('A')}, false, 0x40);
  const std::string b = test::AddTestDevice({test::ModelId('B')}, false, 0x40);
  EXPECT_EQ(PerformAction(ActionInstall), ResultFailed);
  const std::vector<test::Box> boxes = test::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].owner, "");
  EXPECT_EQ(boxes[0].bytes, "newdev.DLL not found.");
  EXPECT_EQ(FlagsOf(a), 0x20u);
  EXPECT_EQ(FlagsOf(b), 0x40u);
  EXPECT_TRUE(StagedNames().empty());
  EXPECT_EQ(AppState.LastInstallError, 0u);  // no update call failed
}

// ---- the 9x route ---------------------------------------------------------------

class LegacyInstall : public test::InstallTest {
 protected:
  sim::NewMachineOptions MachineOptions() override {
    sim::NewMachineOptions o;
    o.version = kWindows98;
    return o;
  }
  void SetUp() override {
    InstallTest::SetUp();
    UsePackage(test::ThreeModels());
    SetLegacyPaths();
    AppState.MainWindow = sim::NewTestDialog(129);
  }
  void ExpectInstalled() {
    for (const char* file : {"a.sys", "b.sys", "c.sys"}) EXPECT_TRUE(Installed(file)) << file;
    EXPECT_EQ(ReadMachineFile(AppState.InfCopyPath), test::ReadFile(packageDir_ / "pkg.inf"));
    EXPECT_FALSE(MachineFileExists(AppState.DriverIndexPath));
    const std::vector<test::Box> boxes = test::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].bytes, "Driver install success.\n\n,please plug the device!");
    EXPECT_EQ(boxes[0].owner, "dialog 129");
    // Neither newdev.DLL nor the configuration manager is asked for anything.
    EXPECT_EQ(test::CallCount("LoadLibraryA"), 0);
    EXPECT_TRUE(sim::TranscriptOf("device_reenumerate").empty());
    EXPECT_TRUE(sim::TranscriptOf("driver_install").empty());
  }
};

TEST_F(LegacyInstall, MarkOfTheFirstMarkedDeviceIsRewrittenThenTheFilesCopied) {
  const std::string a = test::AddTestDevice({test::ModelId('A')}, true, 0);
  const std::string b = test::AddTestDevice({test::ModelId('B')}, true, 0x440);
  const std::string c = test::AddTestDevice({test::ModelId('C')}, true, 0x40);
  EXPECT_EQ(PerformAction(ActionInstall), ResultDone);
  EXPECT_EQ(FlagsOf(a), 0u);
  EXPECT_EQ(FlagsOf(b), 0x420u);
  EXPECT_EQ(FlagsOf(c), 0x40u);  // not looked for after B
  EXPECT_EQ(test::CallCount("SetupDiGetClassDevsA"), 2);
  ExpectInstalled();
}

TEST_F(LegacyInstall, InstallRunsWithoutAMarkedDevice) {
  EXPECT_EQ(PerformAction(ActionInstall), ResultDone);
  EXPECT_EQ(test::CallCount("SetupDiGetClassDevsA"), 3);  // every id looked for
  EXPECT_TRUE(sim::TranscriptOf("device_config_flags").empty());
  ExpectInstalled();
}

// ---- the example machines ------------------------------------------------------

struct ExampleMachine {
  const char* name;
  int32_t result;
  bool driverInstalled;  // on the example device
  size_t staged;         // packages in the INF store afterwards
};
void PrintTo(const ExampleMachine& m, std::ostream* os) { *os << m.name; }

class ExampleMachines : public test::InstallTest, public ::testing::WithParamInterface<ExampleMachine> {};

// The machines shipped in examples/machines, each installed on silently with
// the example package as setup /S would.
TEST_P(ExampleMachines, SilentInstallOfTheExamplePackage) {
  const fs::path dir = root_ / GetParam().name;
  const std::string command = std::string(SETUP_SOURCE_DIR) + "/examples/machines/create " + GetParam().name + " " +
                              dir.string() + " " + WINSIM_PATH + " >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  sim::ResetProcessState();
  sim::OpenMachine(dir);
  UseExamplePackage();
  if (!sim::CurrentMachine().IsNtFamily()) SetLegacyPaths("exampledrv.inf");
  EXPECT_EQ(PerformAction(ActionInstall), GetParam().result);
  EXPECT_TRUE(test::MessageBoxes().empty());
  const sim::Device* device = sim::FindDevice(test::kExampleId);
  if (device) {
    EXPECT_EQ(device->driver.has_value(), GetParam().driverInstalled);
    EXPECT_EQ(device->config_flags.value_or(0) & CONFIGFLAG_FAILEDINSTALL, 0u);
  }
  EXPECT_EQ(StagedNames().size(), GetParam().staged);
  EXPECT_EQ(ReadMachineFile(sim::WindowsDirectory() + "\\System32\\Drivers\\exampledrv.sys"),
            test::PackageFileBytes("exampledrv.sys"));
  EXPECT_NO_THROW(sim::LoadMachineFile(dir));
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleMachines,
                         ::testing::Values(ExampleMachine{"nt-present", ResultDone, true, 1},
                                           ExampleMachine{"nt-absent", ResultPreinstalled, false, 1},
                                           ExampleMachine{"nt-failed", ResultDone, true, 1},
                                           ExampleMachine{"9x-present", ResultDone, false, 0}),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           std::erase(name, '-');
                           return name;
                         });

}  // namespace
