// The removal walk: which present device is removed, in which order the
// package files go, and what a device that cannot be read or removed does to
// the walk.
#include "inf/inf.h"
#include "install/install.h"
#include "tests/support/install_package.h"
#include "uninstall/uninstall.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/pnp/pnp.h"

namespace {

using test::kPackageId;

const std::string kRev = kPackageId + "&REV_0200";

// Hardware ids that take exactly `bytes` bytes as a multi-string, the package's id last: nine ids of 97
// characters and one that makes up the rest (906 bytes with the NULs, the package's id and the list's end).
std::vector<std::string> IdsFilling(size_t bytes) {
  std::vector<std::string> ids(9, "USB\\VID_C0DE&PID_0F10" + std::string(76, 'X'));
  ids.push_back("USB\\VID_C0DE&PID_0F20" + std::string(bytes - 906 - 21, 'Y'));
  ids.push_back(kPackageId);
  return ids;
}

// Which present device is removed: the first one of which an id begins with
// a package entry. The first removal ends the walk; a failed one goes on.
struct WalkCase {
  const char* name;
  std::vector<std::string> entries;               // the hardware ids of the package's model lines
  std::vector<std::vector<std::string>> devices;  // hardware ids of each device, in enumeration order
  int failing;                                    // which removal fails; 0: every one, -1: none
  int32_t result;
  std::vector<size_t> removed;  // the devices removed
  int attempts;                 // removals asked for, each after its own clean-up
  bool present = true;          // the devices are present
  bool cleaned = true;          // the staged copy is among the removed device's drivers, and goes
};
void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

class Walk : public test::UninstallTest, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(Walk, RemovesTheFirstMatchAndGoesOnAfterAFailedRemoval) {
  const WalkCase& c = GetParam();
  std::vector<std::string> ids;
  for (const auto& hardwareIds : c.devices) ids.push_back(test::AddTestDevice(hardwareIds, c.present));
  std::vector<std::string> models;  // a model line for each entry
  for (const std::string& id : c.entries) models.push_back("%D%=Drv.Install," + id);
  UsePackage(models, test::kTwoFilesBody);
  const std::string staged = test::StagePackage(AppState.InfPath);
  ScanInfModels(AppState.InfPath);
  if (c.failing >= 0) sim::AddFault({"SetupDiCallClassInstaller", c.failing, std::nullopt});
  // The read of a device without ids fails with ERROR_INVALID_DATA, and the
  // enumeration and the successful read of the next devices leave that code
  // standing: a device whose ids were read must not be taken for one without.
  SetLastError(ERROR_INVALID_DATA);
  EXPECT_EQ(RemoveMatchingDevices(), c.result);
  std::vector<std::string> removed;
  for (size_t i : c.removed) removed.push_back(ids[i]);
  std::vector<std::string> gone;
  for (const auto& e : sim::TranscriptOf("device_remove")) gone.push_back(e["instance_id"].get<std::string>());
  EXPECT_EQ(gone, removed);
  EXPECT_EQ(test::CallCount("SetupDiCallClassInstaller"), c.attempts);
  // The staged copy went at the first attempt and is not restored; later attempts find nothing to delete.
  const std::vector<std::string> deleted{test::PnfOf(staged), staged};
  EXPECT_EQ(test::DeletedPaths(), c.attempts && c.cleaned ? deleted : std::vector<std::string>{});
}

const std::vector<std::string> kEntry = {kPackageId};
const std::string kComma = kPackageId + ",USB\\VID_C0DE&PID_0102";

INSTANTIATE_TEST_SUITE_P(
    Cases, Walk,
    ::testing::Values(
        WalkCase{"EntryEqualToTheId", kEntry, {{kPackageId}}, -1, ResultDone, {0}, 1},
        WalkCase{"EntryThatBeginsTheId", kEntry, {{kRev}}, -1, ResultDone, {0}, 1, true, false},
        WalkCase{"LowerCaseEntry", {"usb\\vid_c0de&pid_0101"}, {{kRev}}, -1, ResultDone, {0}, 1, true, false},
        WalkCase{"LowerCaseDeviceId", kEntry, {{"usb\\vid_c0de&pid_0101&rev_0200"}},
                 -1, ResultDone, {0}, 1, true, false},
        WalkCase{"EntryLongerThanEveryId", {kRev + "&MI_00"}, {{kRev, kPackageId}}, -1, ResultFailed, {}, 0},
        WalkCase{"EntryInsideTheIdIsNoPrefix", {"VID_C0DE&PID_0101"}, {{kRev}}, -1, ResultFailed, {}, 0},
        WalkCase{"SecondIdOfTheDevice", kEntry, {{"USB\\VID_C0DE&PID_0999", kRev}},
                 -1, ResultDone, {0}, 1, true, false},
        WalkCase{"SecondEntryOfThePackage", {"USB\\VID_C0DE&PID_0999", kPackageId}, {{kRev}},
                 -1, ResultDone, {0}, 1, true, false},
        // The model scan keeps "ID1,ID2" as one entry: the comma does not split it.
        WalkCase{"CommaEntryAgainstItsFirstId", {kComma}, {{kPackageId}}, -1, ResultFailed, {}, 0},
        WalkCase{"AbsentDeviceIsNotListed", kEntry, {{kPackageId}}, -1, ResultFailed, {}, 0, false},
        WalkCase{"OnlyTheFirstOfTwoMatchingDevices", kEntry, {{kRev, kPackageId}, {kPackageId}}, -1, ResultDone, {0},
                 1},
        WalkCase{"RetriedOnTheSameDevicesNextId", kEntry, {{kPackageId, kRev}}, 1, ResultDone, {0}, 2},
        WalkCase{"EveryIdOfTheDeviceFails", kEntry, {{kPackageId, kRev}}, 0, ResultFailed, {}, 2},
        WalkCase{"ALaterDeviceIsRemoved", kEntry, {{kPackageId}, {kRev}}, 1, ResultDone, {1}, 2},
        // Without the property, or with an empty first id.
        WalkCase{"DevicesWithoutIdsArePassedOver", kEntry, {{}, {""}, {kPackageId}}, -1, ResultDone, {2}, 1},
        // The ids are read once into a buffer of 1000 bytes: a list that does not fit ends the walk.
        WalkCase{"AnIdListOfExactlyTheBuffer", kEntry, {IdsFilling(1000)}, -1, ResultDone, {0}, 1},
        WalkCase{"AnIdListOverTheBufferEndsTheWalk", kEntry, {IdsFilling(1001), {kPackageId}}, -1,
                 ResultFailed, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
