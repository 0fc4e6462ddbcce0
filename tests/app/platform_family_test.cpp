// The platform check: the family by the version value, and its failure path.
#include "app/app_state.h"
#include "app/messages.h"
#include "tests/support/sim_fixture.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/user32/user32.h"

#include <tuple>

namespace {

struct FamilyCase {
  const char* name;
  DWORD version;
  bool windowsDirectoryFails;
  PlatformFamily expected;
};

void PrintTo(const FamilyCase& c, std::ostream* os) { *os << c.name; }

// Each case with and without the main dialog open.
class PlatformFamilyTest : public test::SimTest, public ::testing::WithParamInterface<std::tuple<FamilyCase, bool>> {};

TEST_P(PlatformFamilyTest, FamilyFollowsVersionAndDirectory) {
  const auto& [c, dialog] = GetParam();
  sim::CurrentMachine().version = c.version;
  sim::CurrentMachine().windows_directory_fails = c.windowsDirectoryFails;
  if (dialog) AppState.MainWindow = sim::NewTestDialog(129);

  EXPECT_EQ(GetPlatformFamily(), c.expected);
  EXPECT_EQ(AppState.WindowsVersion, c.version);

  const auto boxes = test::MessageBoxes();
  const bool failed = c.expected == PlatformCheckFailed;
  if (failed) {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].bytes, "Windows version or directory error");
    EXPECT_EQ(boxes[0].caption, "Initialize");
    EXPECT_EQ(boxes[0].type, static_cast<unsigned>(MB_ICONERROR));
    EXPECT_EQ(boxes[0].owner, dialog ? "dialog 129" : "");
  } else {
    EXPECT_TRUE(boxes.empty());
    EXPECT_STREQ(AppState.WindowsDirectory, "C:\\WINDOWS");
  }
  // A failed check ends the main dialog with 129; a passed one leaves it open.
  if (dialog) {
    const sim::DialogEnd end = sim::DialogEndOf(AppState.MainWindow);
    EXPECT_EQ(end.ended, failed);
    if (failed) {
      EXPECT_EQ(end.result, 129);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Versions, PlatformFamilyTest,
    ::testing::Combine(::testing::Values(FamilyCase{"NT3", 0x00000003, false, PlatformCheckFailed},
                                         FamilyCase{"Win95", 0xC3B60004, false, Win9xFamily},
                                         FamilyCase{"Win98", 0xC0000A04, false, Win9xFamily},
                                         FamilyCase{"Win2000", 0x08930005, false, NtFamily},
                                         FamilyCase{"Win7", 0x1DB10106, false, NtFamily},
                                         FamilyCase{"Win10", 0x4A65000A, false, NtFamily},
                                         FamilyCase{"Win32s", 0x80000003, false, PlatformCheckFailed},
                                         FamilyCase{"NtNoDirectory", 0x4A65000A, true, PlatformCheckFailed},
                                         FamilyCase{"Win9xNoDirectory", 0xC0000A04, true, PlatformCheckFailed}),
                       ::testing::Bool()),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "_dialog" : "_silent");
    });

using PlatformCheck = test::SimTest;

TEST_F(PlatformCheck, EveryCallAsksThePlatformAgain) {
  EXPECT_EQ(GetPlatformFamily(), NtFamily);
  sim::CurrentMachine().version = 0xC0000A04;
  EXPECT_EQ(GetPlatformFamily(), Win9xFamily);
  sim::CurrentMachine().windows_directory_fails = true;
  EXPECT_EQ(GetPlatformFamily(), PlatformCheckFailed);
}

}  // namespace
