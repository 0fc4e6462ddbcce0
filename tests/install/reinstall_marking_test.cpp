// Reinstall marking: MarkForReinstall (NT family) and ClearFailedInstallFlag
// (9x family) on the device tree, and the configuration-flag accessors.
#include "install/install.h"
#include "tests/support/install_package.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"

#include <string>

namespace {

constexpr char kId[] = "USB\\VID_FEED&PID_5E50";

enum class Variant { Nt, Legacy };
const char* NameOf(Variant v) { return v == Variant::Nt ? "MarkForReinstall" : "ClearFailedInstallFlag"; }
int Mark(Variant v, const char* id) { return v == Variant::Nt ? MarkForReinstall(id) : ClearFailedInstallFlag(id); }

using ReinstallMarking = test::InstallTest;

// The first matching node decides; a second matching node (not present,
// flags 0x40) shows whether the search went on past it.
struct FlagsCase {
  Variant variant;
  std::optional<DWORD> flags;
  bool present;
  int result;
  std::optional<DWORD> after;        // the first node's flags afterwards
  DWORD secondAfter;                 // the second node's flags afterwards
  const char* reenumerateCall;       // the configuration-manager call asked to re-enumerate the first node, or ""
};

const FlagsCase kFlagsCases[] = {
    // NT: exactly 0x40 is rewritten to 0x20; a present node is then re-enumerated.
    {Variant::Nt, 0x40, true, 1, 0x20, 0x40, "CM_Reenumerate_DevNode"},
    {Variant::Nt, 0x40, false, 1, 0x20, 0x40, ""},
    // Anything else is not a failed install: re-enumerated, present or not, and the search ends there.
    {Variant::Nt, 0x440, true, 0, 0x440, 0x40, "CM_Reenumerate_DevNode_Ex"},
    {Variant::Nt, 0x440, false, 0, 0x440, 0x40, "CM_Reenumerate_DevNode_Ex"},
    {Variant::Nt, 0, true, 0, 0, 0x40, "CM_Reenumerate_DevNode_Ex"},
    {Variant::Nt, 0, false, 0, 0, 0x40, "CM_Reenumerate_DevNode_Ex"},
    {Variant::Nt, std::nullopt, false, 0, std::nullopt, 0x40, "CM_Reenumerate_DevNode_Ex"},
    // 9x: the low byte decides and only it is rewritten; nothing is re-enumerated.
    {Variant::Legacy, 0x40, true, 1, 0x20, 0x40, ""},
    {Variant::Legacy, 0x40, false, 1, 0x20, 0x40, ""},
    {Variant::Legacy, 0x440, true, 1, 0x420, 0x40, ""},
    {Variant::Legacy, 0x440, false, 1, 0x420, 0x40, ""},
    // A node without the mark is passed over: the next one is rewritten.
    {Variant::Legacy, 0, true, 1, 0, 0x20, ""},
    {Variant::Legacy, 0, false, 1, 0, 0x20, ""},
    {Variant::Legacy, std::nullopt, true, 1, std::nullopt, 0x20, ""},
};

TEST_F(ReinstallMarking, FlagsOfTheFirstMatchingNodeDecide) {
  for (const FlagsCase& c : kFlagsCases) {
    SCOPED_TRACE(std::string(NameOf(c.variant)) + " flags " + (c.flags ? std::to_string(*c.flags) : "none") +
                 (c.present ? " present" : " absent"));
    sim::ResetProcessState();
    const size_t before = sim::CurrentMachine().devices.size();
    const std::string first = test::AddTestDevice({std::string(kId) + "&REV_0100", kId}, c.present, c.flags);
    const std::string second = test::AddTestDevice({kId}, false, 0x40);
    EXPECT_EQ(Mark(c.variant, kId), c.result);
    EXPECT_EQ(FlagsOf(first), c.after);
    EXPECT_EQ(FlagsOf(second), c.secondAfter);
    const int ex = test::CallCount("CM_Reenumerate_DevNode_Ex"), plain = test::CallCount("CM_Reenumerate_DevNode");
    EXPECT_EQ(ex, std::string(c.reenumerateCall) == "CM_Reenumerate_DevNode_Ex" ? 1 : 0);
    EXPECT_EQ(plain, std::string(c.reenumerateCall) == "CM_Reenumerate_DevNode" ? 1 : 0);
    // Only a present node shows the request in the device tree.
    const auto events = sim::TranscriptOf("device_reenumerate");
    ASSERT_EQ(events.size(), *c.reenumerateCall && c.present ? 1u : 0u);
    if (!events.empty()) {
      EXPECT_EQ(events[0]["instance_id"], first);
      EXPECT_EQ(events[0]["call"], c.reenumerateCall);
    }
    EXPECT_EQ(sim::LedgerCheckLeaks(), 0u);
    sim::CurrentMachine().devices.resize(before);  // both gone for the next case
  }
}

struct MatchCase {
  const char* given;
  std::vector<std::string> deviceIds;
  bool matches;
};

TEST_F(ReinstallMarking, WholeIdMatchesTrimmedAndInAnyLetterCase) {
  const std::string long99(99, 'X'), long100(100, 'X');
  const std::string padded = "  " + std::string(97, 'Y') + " ";  // 100 characters, 97 after trimming
  const MatchCase cases[] = {
      {kId, {kId}, true},
      {" \tusb\\vid_feed&pid_5e50\t ", {kId}, true},
      {kId, {"USB\\VID_FEED&PID_5E50&REV_0100", "usb\\Vid_Feed&Pid_5e50"}, true},  // a later id of the device
      {"USB\\VID_FEED", {kId}, false},                                               // a prefix of the device's id
      {kId, {"USB\\VID_FEED"}, false},                                               // the device's id a prefix of it
      {kId, {"USB\\VID_FEED&PID_5E50 "}, false},                                     // the device's id is not trimmed
      {"", {kId}, false},
      {" \t ", {kId}, false},
      {long99.c_str(), {long99}, true},
      // An id that does not fit the working copy matches nothing, not even itself.
      {long100.c_str(), {long100}, false},
      {padded.c_str(), {std::string(97, 'Y')}, false},
  };
  for (Variant v : {Variant::Nt, Variant::Legacy}) {
    for (const MatchCase& c : cases) {
      SCOPED_TRACE(std::string(NameOf(v)) + " given \"" + c.given + "\" device " + c.deviceIds[0]);
      const std::string id = test::AddTestDevice(c.deviceIds, false, 0x40);
      EXPECT_EQ(Mark(v, c.given), c.matches ? 1 : 0);
      EXPECT_EQ(FlagsOf(id), c.matches ? 0x20u : 0x40u);
      sim::CurrentMachine().devices.pop_back();
    }
  }
}

TEST_F(ReinstallMarking, DevicesWithoutHardwareIdsArePassedOver) {
  for (Variant v : {Variant::Nt, Variant::Legacy}) {
    SCOPED_TRACE(NameOf(v));
    test::AddTestDevice({}, true, 0x40, {"USB\\Class_FF"});  // only compatible ids
    const std::string id = test::AddTestDevice({kId}, false, 0x40);
    EXPECT_EQ(Mark(v, kId), 1);
    EXPECT_EQ(FlagsOf(id), 0x20u);
  }
}

TEST_F(ReinstallMarking, LongHardwareIdListEndsOnlyTheFixedBufferSearch) {
  // Eleven ids of 95 characters: more than the 1000 bytes of the 9x buffer.
  std::vector<std::string> many;
  for (char c = 'A'; c < 'A' + 11; ++c) many.push_back("USB\\VID_FEED&PID_7777&" + std::string(73, c));
  test::AddTestDevice(many, false, 0);
  const std::string id = test::AddTestDevice({kId}, false, 0x40);
  EXPECT_RESULT_AND_ERROR(ClearFailedInstallFlag(kId), 0, ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(FlagsOf(id), 0x40u);
  // The NT variant sizes its buffer to the list and finds the later device.
  EXPECT_EQ(MarkForReinstall(kId), 1);
  EXPECT_EQ(FlagsOf(id), 0x20u);
}

// What a failing call does to the search. Two nodes carry the id, both
// marked 0x40: the first present or not, the second not present.
struct FailureCase {
  const char* what;
  Variant variant;
  bool firstPresent;
  sim::FaultRule fault;
  int result;
  std::optional<DWORD> error;  // the last error handed to the caller, where it tells why the search ended
  DWORD firstAfter, secondAfter;
  size_t reenumerations;
};

constexpr char kSetFlags[] = "SetupDiSetDeviceRegistryPropertyA", kGetIds[] = "SetupDiGetDeviceRegistryPropertyA";
constexpr auto kAny = std::nullopt;
const FailureCase kFailureCases[] = {
    // NT: a present node is re-enumerated all the same and ends the search;
    {"NT, rewrite fails, present", Variant::Nt, true, {kSetFlags, 1, ERROR_ACCESS_DENIED}, 0, kAny, 0x40, 0x40, 1},
    // one that is not present: the search goes on and rewrites the next one.
    {"NT, rewrite fails, absent", Variant::Nt, false, {kSetFlags, 1, ERROR_ACCESS_DENIED}, 1, kAny, 0x40, 0x20, 0},
    // A status error on a rewritten node: done, without re-enumeration.
    {"NT, status fails", Variant::Nt, true, {"CM_Get_DevNode_Status", 1, CR_FAILURE}, 1, kAny, 0x20, 0x40, 0},
    {"NT, re-enumeration fails", Variant::Nt, true, {"CM_Reenumerate_DevNode", 1, CR_FAILURE}, 1, kAny, 0x20, 0x40, 0},
    // 9x: a failed rewrite ends the search.
    {"9x, rewrite fails", Variant::Legacy, true, {kSetFlags, 1, ERROR_ACCESS_DENIED}, 0, kAny, 0x40, 0x40, 0},
    {"NT, no list", Variant::Nt, true, {"SetupDiGetClassDevsA", 1, ERROR_INVALID_PARAMETER}, 0, ERROR_INVALID_PARAMETER,
     0x40, 0x40, 0},
    {"9x, no list", Variant::Legacy, true, {"SetupDiGetClassDevsA", 1, ERROR_INVALID_PARAMETER}, 0,
     ERROR_INVALID_PARAMETER, 0x40, 0x40, 0},
    // Reading the first device's hardware ids fails: nothing after it is looked at.
    {"NT, id read fails", Variant::Nt, true, {kGetIds, 1, ERROR_NOT_ENOUGH_MEMORY}, 0, ERROR_NOT_ENOUGH_MEMORY, 0x40,
     0x40, 0},
    {"9x, id read fails", Variant::Legacy, true, {kGetIds, 1, ERROR_NOT_ENOUGH_MEMORY}, 0, ERROR_NOT_ENOUGH_MEMORY,
     0x40, 0x40, 0},
    // The allocation for the ids fails: the search ends, nothing left allocated.
    {"NT, allocation fails", Variant::Nt, true, {"LocalAlloc", 1, ERROR_NOT_ENOUGH_MEMORY}, 0, ERROR_NOT_ENOUGH_MEMORY,
     0x40, 0x40, 0},
    // A platform that keeps asking for a larger buffer without a larger size
    // would keep the size query going forever: the search ends instead.
    {"NT, size query never satisfied", Variant::Nt, true, {kGetIds, 0, ERROR_INSUFFICIENT_BUFFER}, 0,
     ERROR_INSUFFICIENT_BUFFER, 0x40, 0x40, 0},
};

// Each operation hands its caller the last-error code that stood before the
// list was destroyed, not the one the destroy left.
TEST_F(ReinstallMarking, FailingCallsEndOrContinueTheSearch) {
  for (const FailureCase& c : kFailureCases) {
    SCOPED_TRACE(c.what);
    sim::ResetProcessState();
    sim::AddFault(c.fault);
    const std::string first = test::AddTestDevice({kId}, c.firstPresent, 0x40);
    const std::string second = test::AddTestDevice({kId}, false, 0x40);
    if (c.error) {
      EXPECT_RESULT_AND_ERROR(Mark(c.variant, kId), c.result, *c.error);
    } else {
      EXPECT_EQ(Mark(c.variant, kId), c.result);
    }
    EXPECT_EQ(FlagsOf(first), c.firstAfter);
    EXPECT_EQ(FlagsOf(second), c.secondAfter);
    EXPECT_EQ(sim::TranscriptOf("device_reenumerate").size(), c.reenumerations);
    EXPECT_EQ(sim::LedgerCheckLeaks(), 0u);  // before the next case forgets the handles
    sim::CurrentMachine().devices.resize(sim::CurrentMachine().devices.size() - 2);
  }
  // The walk ran to the end of the list.
  sim::ResetProcessState();
  for (Variant v : {Variant::Nt, Variant::Legacy}) EXPECT_RESULT_AND_ERROR(Mark(v, kId), 0, ERROR_NO_MORE_ITEMS);
}

TEST_F(ReinstallMarking, ConfigFlagAccessors) {
  const std::string withFlags = test::AddTestDevice({kId}, false, 0x440);
  const std::string without = test::AddTestDevice({"USB\\VID_FEED&PID_0002"}, false, std::nullopt);
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
  SP_DEVINFO_DATA a, b;
  ASSERT_TRUE(test::FindElement(set, withFlags, a));
  ASSERT_TRUE(test::FindElement(set, without, b));
  EXPECT_EQ(ReadConfigFlags(set, &a), 0x440u);
  EXPECT_EQ(ReadConfigFlags(set, &b), 0u);  // no property
  sim::AddFault({"SetupDiGetDeviceRegistryPropertyA", 0, ERROR_GEN_FAILURE});
  EXPECT_EQ(ReadConfigFlags(set, &a), 0u);  // unreadable
  sim::ClearFaults();
  EXPECT_TRUE(WriteConfigFlags(set, &b, 0x20));
  EXPECT_EQ(FlagsOf(without), 0x20u);
  EXPECT_EQ(ReadConfigFlags(set, &b), 0x20u);
  // The device is gone from the tree: the write fails and says so.
  sim::CurrentMachine().devices.pop_back();
  EXPECT_FALSE(WriteConfigFlags(set, &b, 0x40));
  SetupDiDestroyDeviceInfoList(set);
}

}  // namespace
