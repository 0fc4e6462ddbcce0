// Reinstall marking: MarkForReinstall (NT family) and ClearFailedInstallFlag
// (9x family) on the device tree.
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

// Two nodes carry the id: the first with the case's flags, present or not;
// the second not present and marked 0x40, which shows whether the search went
// on past the first. A planned fault shows what a failing call does to it.
struct MarkCase {
  const char* what;
  Variant variant;
  std::optional<DWORD> flags;
  bool present;
  std::optional<sim::FaultRule> fault;
  int result;
  std::optional<DWORD> after;  // the first node's flags afterwards
  DWORD secondAfter;
  const char* reenumerateCall;  // the configuration-manager call asked to re-enumerate the first node, or ""
  std::optional<DWORD> error = std::nullopt;  // the last error handed over, where it tells why the search ended
};

constexpr char kSetFlags[] = "SetupDiSetDeviceRegistryPropertyA", kGetIds[] = "SetupDiGetDeviceRegistryPropertyA";
constexpr char kEx[] = "CM_Reenumerate_DevNode_Ex", kPlain[] = "CM_Reenumerate_DevNode";
constexpr auto kNone = std::nullopt;
constexpr DWORD kNoMem = ERROR_NOT_ENOUGH_MEMORY;

const MarkCase kMarkCases[] = {
    // NT: exactly 0x40 is rewritten to 0x20; a present node is then re-enumerated.
    {"NT 0x40 present", Variant::Nt, 0x40, true, kNone, 1, 0x20, 0x40, kPlain},
    {"NT 0x40 absent", Variant::Nt, 0x40, false, kNone, 1, 0x20, 0x40, ""},
    // Anything else is not a failed install: re-enumerated, present or not, and the search ends there.
    {"NT 0x440 present", Variant::Nt, 0x440, true, kNone, 0, 0x440, 0x40, kEx},
    {"NT no flags", Variant::Nt, kNone, false, kNone, 0, kNone, 0x40, kEx},
    // 9x: the low byte decides and only it is rewritten; nothing is re-enumerated.
    {"9x 0x440", Variant::Legacy, 0x440, false, kNone, 1, 0x420, 0x40, ""},
    // A node without the mark is passed over: the next one is rewritten.
    {"9x 0", Variant::Legacy, 0, true, kNone, 1, 0, 0x20, ""},
    {"9x no flags", Variant::Legacy, kNone, true, kNone, 1, kNone, 0x20, ""},
    // NT, rewrite fails: a present node is re-enumerated all the same and ends
    // the search; past one that is not present, the next one is rewritten.
    {"NT rewrite fails, present", Variant::Nt, 0x40, true, sim::FaultRule{kSetFlags, 1, ERROR_ACCESS_DENIED}, 0, 0x40,
     0x40, kPlain},
    {"NT rewrite fails, absent", Variant::Nt, 0x40, false, sim::FaultRule{kSetFlags, 1, ERROR_ACCESS_DENIED}, 1, 0x40,
     0x20, ""},
    // A status error on a rewritten node: done, without re-enumeration.
    {"NT status fails", Variant::Nt, 0x40, true, sim::FaultRule{"CM_Get_DevNode_Status", 1, CR_FAILURE}, 1, 0x20, 0x40,
     ""},
    // 9x: a failed rewrite ends the search.
    {"9x rewrite fails", Variant::Legacy, 0x40, true, sim::FaultRule{kSetFlags, 1, ERROR_ACCESS_DENIED}, 0, 0x40, 0x40,
     ""},
    // Reading the first device's hardware ids fails: nothing after it is
    // looked at, and each operation hands its caller the last-error code that
    // stood before the list was destroyed, not the one the destroy left.
    {"NT id read fails", Variant::Nt, 0x40, true, sim::FaultRule{kGetIds, 1, kNoMem}, 0, 0x40, 0x40, "", kNoMem},
    {"9x id read fails", Variant::Legacy, 0x40, true, sim::FaultRule{kGetIds, 1, kNoMem}, 0, 0x40, 0x40, "", kNoMem},
    // The allocation for the ids fails: the search ends, nothing left allocated.
    {"NT allocation fails", Variant::Nt, 0x40, true, sim::FaultRule{"LocalAlloc", 1, kNoMem}, 0, 0x40, 0x40, "",
     kNoMem},
    // A platform that keeps asking for a larger buffer without a larger size
    // would keep the size query going forever: the search ends instead.
    {"NT size query never satisfied", Variant::Nt, 0x40, true, sim::FaultRule{kGetIds, 0, ERROR_INSUFFICIENT_BUFFER}, 0,
     0x40, 0x40, "", ERROR_INSUFFICIENT_BUFFER},
};

TEST_F(ReinstallMarking, FirstMatchingNodeDecides) {
  for (const MarkCase& c : kMarkCases) {
    SCOPED_TRACE(c.what);
    sim::ResetProcessState();
    if (c.fault) sim::AddFault(*c.fault);
    const std::string first = test::AddTestDevice({std::string(kId) + "&REV_0100", kId}, c.present, c.flags);
    const std::string second = test::AddTestDevice({kId}, false, 0x40);
    if (c.error) {
      EXPECT_RESULT_AND_ERROR(Mark(c.variant, kId), c.result, *c.error);
    } else {
      EXPECT_EQ(Mark(c.variant, kId), c.result);
    }
    EXPECT_EQ(FlagsOf(first), c.after);
    EXPECT_EQ(FlagsOf(second), c.secondAfter);
    const std::string call = c.reenumerateCall;
    EXPECT_EQ(test::CallCount(kEx), call == kEx ? 1 : 0);
    EXPECT_EQ(test::CallCount(kPlain), call == kPlain ? 1 : 0);
    // The request names the first node; only a present one shows it in the device tree.
    std::vector<std::string> shown;
    for (const auto& e : sim::TranscriptOf("device_reenumerate")) shown.push_back(e["instance_id"]);
    EXPECT_EQ(shown, !call.empty() && c.present ? std::vector{first} : std::vector<std::string>{});
    EXPECT_EQ(sim::LedgerCheckLeaks(), 0u);  // before the next case forgets the handles
    sim::CurrentMachine().devices.resize(sim::CurrentMachine().devices.size() - 2);
  }
  // The walk ran to the end of the list.
  sim::ResetProcessState();
  for (Variant v : {Variant::Nt, Variant::Legacy}) EXPECT_RESULT_AND_ERROR(Mark(v, kId), 0, ERROR_NO_MORE_ITEMS);
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
      {" \t ", {kId}, false},
      {long99.c_str(), {long99}, true},
      // An id that does not fit the working copy matches nothing, not even itself.
      {long100.c_str(), {long100}, false},
      {padded.c_str(), {std::string(97, 'Y')}, false},
  };
  for (Variant v : {Variant::Nt, Variant::Legacy}) {
    SCOPED_TRACE(NameOf(v));
    // Devices without hardware ids (only compatible ids) are passed over.
    test::AddTestDevice({}, true, 0x40, {"USB\\Class_FF"});
    for (const MatchCase& c : cases) {
      SCOPED_TRACE(std::string("given \"") + c.given + "\" device " + c.deviceIds[0]);
      const std::string id = test::AddTestDevice(c.deviceIds, false, 0x40);
      EXPECT_EQ(Mark(v, c.given), c.matches ? 1 : 0);
      EXPECT_EQ(FlagsOf(id), c.matches ? 0x20u : 0x40u);
      sim::CurrentMachine().devices.pop_back();
    }
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

}  // namespace
