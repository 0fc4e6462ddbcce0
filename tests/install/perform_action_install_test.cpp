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

#include <map>
#include <tuple>

namespace {

constexpr DWORD kNt = 0x4A65000A, kWindows98 = 0xC0000A04;
constexpr DWORD kWindowsNt4 = 0x05650004;  // NT family, but without newdev.DLL

// ---- the outcome table ------------------------------------------------------

enum Package { NoInf, Unplugged, Plugged };  // the example package, and its device plugged in or not

struct Outcome {
  const char* what;
  DWORD version;  // of the machine
  Package package;
  sim::FaultRule fault;     // none when its call is empty
  const char* removedFile;  // a package file taken away, or null
  int32_t result;
  const char* text;  // the message's exact bytes
  UINT type;
  bool always;  // shown with a null MainWindow too
};
void PrintTo(const Outcome& o, std::ostream* os) { *os << o.what; }

const Outcome kOutcomes[] = {
    {"update_done", kNt, Plugged, {}, nullptr, ResultDone, "Driver install success!", MB_ICONINFORMATION, false},
    {"update_failed", kNt, Plugged, {"UpdateDriverForPlugAndPlayDevicesA", 1, ERROR_ACCESS_DENIED}, nullptr,
     ResultFailed, "Driver install failure!", MB_ICONERROR, false},
    {"newdev_missing", kWindowsNt4, Plugged, {}, nullptr, ResultFailed, "newdev.DLL not found.", MB_ICONWARNING, true},
    {"function_missing", kNt, Plugged, {"GetProcAddress", 1, ERROR_PROC_NOT_FOUND}, nullptr, ResultFailed,
     "UpdateDriverForPlugAndPlayDevices() not found.", MB_ICONWARNING, true},
    {"preinstall_done", kNt, Unplugged, {}, nullptr, ResultPreinstalled,
     "Driver install success.\nplease plug the device.", MB_ICONINFORMATION, false},
    {"staging_failed", kNt, Unplugged, {"SetupCopyOEMInfA", 1, ERROR_ACCESS_DENIED}, nullptr, ResultFailed,
     "Driver Pre-install failure!", MB_ICONERROR, false},
    // Staged, but a file of the package is missing: the section install fails.
    {"sections_failed", kNt, Unplugged, {}, "exampledrv.dll", ResultFailed, "Driver Pre-install failure!",
     MB_ICONERROR, false},
    {"legacy_done", kWindows98, Plugged, {}, nullptr, ResultDone, "Driver install success.\n\n,please plug the device!",
     MB_ICONINFORMATION, false},
    {"legacy_failed", kWindows98, Plugged, {}, "exampledrv.sys", ResultFailed, "Driver install failure.", MB_ICONERROR,
     false},
    {"no_inf", kNt, NoInf, {}, nullptr, ResultFailed, "Not Found *.inf.", MB_ICONWARNING, true},
};

class OutcomeTable : public test::InstallTest, public ::testing::WithParamInterface<std::tuple<Outcome, bool>> {
 protected:
  OutcomeTable() { machine_.version = std::get<0>(GetParam()).version; }
};

TEST_P(OutcomeTable, ResultAndMessage) {
  const auto& [o, dialog] = GetParam();
  if (o.package != NoInf) UseExamplePackage();
  if (o.package == Plugged) test::AddTestDevice(test::kExampleIds, true, 0);
  if (!o.fault.call.empty()) sim::AddFault(o.fault);
  if (o.removedFile) RemovePackageFile(o.removedFile);
  SetLegacyPaths("exampledrv.inf");
  if (dialog) AppState.MainWindow = sim::NewTestDialog(129);
  EXPECT_EQ(PerformAction(ActionInstall), o.result);
  std::vector<test::Box> expected;
  if (dialog || o.always) expected.push_back({dialog ? "dialog 129" : "", o.text, "DriverSetup", o.type});
  EXPECT_EQ(test::MessageBoxes(), expected);
}

INSTANTIATE_TEST_SUITE_P(Install, OutcomeTable, ::testing::Combine(::testing::ValuesIn(kOutcomes), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).what) +
                                  (std::get<1>(info.param) ? "_dialog" : "_silent");
                         });

// Packages of models A, B and C with devices for some of them: which ids are
// marked and tried, in order, where the walk over the ids stops, and what is
// staged and copied. The models are the first `models` of the three.
struct Device {
  char model;
  bool present;
  DWORD flags;
};
struct IdsCase {
  const char* name;
  DWORD version;
  size_t models;
  std::vector<Device> devices;
  std::optional<sim::FaultRule> fault;
  int32_t result;
  std::vector<DWORD> flagsAfter;  // of each device
  std::string updated;            // the models whose device got a driver
  std::string reenumerated;       // the models whose device was re-enumerated, in order
  std::string copied;             // the models whose file was copied
  int updates;                    // update calls
  size_t staged;
  DWORD lastError;
};
void PrintTo(const IdsCase& c, std::ostream* os) { *os << c.name; }

const IdsCase kIdsCases[] = {
    // A's failed-install mark becomes the reinstall mark, A is re-enumerated, and its update clears the mark.
    {"PresentDeviceUpdatedLaterIdsNeitherMarkedNorTried", kNt, 3,
     {{'A', true, 0x40}, {'B', true, 0x40}, {'C', false, 0x40}}, std::nullopt, ResultDone, {0, 0x40, 0x40}, "A", "A",
     "A", 1, 1, 0},
    // Every id marked, then the package staged and every section's files copied for the device to come.
    {"NoIdPresentEveryIdMarkedThenThePackageStaged", kNt, 3,
     {{'A', false, 0x40}, {'B', false, 0x40}, {'C', false, 0x40}}, std::nullopt, ResultPreinstalled,
     {0x20, 0x20, 0x20}, "", "", "ABC", 3, 1, ERROR_NO_SUCH_DEVINST},
    {"EmptyIdListGoesStraightToPreinstall", kNt, 0, {}, std::nullopt, ResultPreinstalled, {}, "", "", "", 0, 1, 0},
    // B was marked and stays marked; C was neither marked nor tried; nothing is staged.
    {"OtherUpdateErrorOnTheSecondIdStopsThere", kNt, 3, {{'B', true, 0x40}, {'C', false, 0x40}},
     sim::FaultRule{"UpdateDriverForPlugAndPlayDevicesA", 2, ERROR_ACCESS_DENIED}, ResultFailed, {0x20, 0x40}, "", "B",
     "", 2, 0, ERROR_ACCESS_DENIED},
    // The box is shown in a silent run too (the outcome table), after the first id is marked.
    {"NewdevMissingAfterTheFirstIdIsMarked", kWindowsNt4, 3, {{'A', false, 0x40}, {'B', false, 0x40}}, std::nullopt,
     ResultFailed, {0x20, 0x40}, "", "", "", 0, 0, 0},
    // 9x: the first marked device's low byte is rewritten (C is not looked for after B), then the files and INF copied.
    {"LegacyMarkOfTheFirstMarkedDevice", kWindows98, 3, {{'A', true, 0}, {'B', true, 0x440}, {'C', true, 0x40}},
     std::nullopt, ResultDone, {0, 0x420, 0x40}, "", "", "ABC", 0, 0, 0},
};

class IdWalk : public test::InstallTest, public ::testing::WithParamInterface<IdsCase> {
 protected:
  IdWalk() { machine_.version = GetParam().version; }
};

TEST_P(IdWalk, MarksTriesAndStagesInOrder) {
  const IdsCase& c = GetParam();
  std::vector<test::Model> models = test::ThreeModels();
  models.resize(c.models);
  UsePackage(models);
  SetLegacyPaths();
  if (c.fault) sim::AddFault(*c.fault);
  std::map<char, std::string> instance;
  for (const Device& d : c.devices)
    instance[d.model] = test::AddTestDevice({test::ModelId(d.model)}, d.present, d.flags);
  EXPECT_EQ(PerformAction(ActionInstall), c.result);
  for (size_t i = 0; i < c.devices.size(); ++i) {
    const std::string& id = instance[c.devices[i].model];
    EXPECT_EQ(FlagsOf(id), c.flagsAfter[i]) << c.devices[i].model;
    const auto& driver = sim::FindDevice(id)->driver;
    EXPECT_EQ(driver.has_value(), c.updated.find(c.devices[i].model) != std::string::npos);
    if (driver) { EXPECT_EQ(driver->section, std::string("Sec") + c.devices[i].model); }
  }
  std::vector<std::string> reenumerated, expected;
  for (const auto& e : sim::TranscriptOf("device_reenumerate")) reenumerated.push_back(e["instance_id"]);
  for (char m : c.reenumerated) expected.push_back(instance[m]);
  EXPECT_EQ(reenumerated, expected);
  for (const char* file : {"a.sys", "b.sys", "c.sys"})
    EXPECT_EQ(Installed(file), c.copied.find(static_cast<char>(file[0] - 32)) != std::string::npos) << file;
  EXPECT_EQ(test::CallCount("UpdateDriverForPlugAndPlayDevicesA"), c.updates);
  EXPECT_EQ(sim::StagedInfFiles().size(), c.staged);
  EXPECT_EQ(AppState.LastInstallError, c.lastError);
  // newdev.DLL was loaded for every update and is never released.
  EXPECT_EQ(sim::LedgerOpenCount(sim::HandleKind::Module), static_cast<size_t>(c.updates));
}

INSTANTIATE_TEST_SUITE_P(Cases, IdWalk, ::testing::ValuesIn(kIdsCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
