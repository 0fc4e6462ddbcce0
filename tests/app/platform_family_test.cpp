// The platform check: the family by the version value, and its failure path.
#include "app/app_state.h"
#include "app/messages.h"
#include "tests/support/sim_fixture.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/user32/user32.h"

namespace {

struct FamilyCase {
  DWORD version;
  bool windowsDirectoryFails;
  PlatformFamily expected;
};

const FamilyCase kFamilies[] = {
    {0x00000003, false, PlatformCheckFailed},  // NT 3
    {0xC3B60004, false, Win9xFamily},          // Windows 95
    {0xC0000A04, false, Win9xFamily},          // Windows 98
    {0x08930005, false, NtFamily},             // Windows 2000
    {0x1DB10106, false, NtFamily},             // Windows 7
    {0x4A65000A, false, NtFamily},             // Windows 10
    {0x80000003, false, PlatformCheckFailed},  // Win32s
    {0x4A65000A, true, PlatformCheckFailed},
    {0xC0000A04, true, PlatformCheckFailed},
};

using PlatformFamilyTest = test::SimTest;

// Each case with and without the main dialog open, on the same machine: every
// call asks the platform again.
TEST_F(PlatformFamilyTest, FamilyFollowsVersionAndDirectory) {
  for (const bool dialog : {false, true}) {
    for (const FamilyCase& c : kFamilies) {
      SCOPED_TRACE(::testing::Message() << std::hex << c.version << (c.windowsDirectoryFails ? " no directory" : "")
                                        << (dialog ? " dialog" : " silent"));
      sim::ResetProcessState();
      sim::CurrentMachine().version = c.version;
      sim::CurrentMachine().windows_directory_fails = c.windowsDirectoryFails;
      AppState.MainWindow = dialog ? sim::NewTestDialog(129) : nullptr;
      EXPECT_EQ(GetPlatformFamily(), c.expected);
      EXPECT_EQ(AppState.WindowsVersion, c.version);
      const auto boxes = test::MessageBoxes();
      const bool failed = c.expected == PlatformCheckFailed;
      ASSERT_EQ(boxes.size(), failed ? 1u : 0u);
      if (failed) {
        EXPECT_EQ(boxes[0].bytes, "Windows version or directory error");
        EXPECT_EQ(boxes[0].caption, "Initialize");
        EXPECT_EQ(boxes[0].type, static_cast<unsigned>(MB_ICONERROR));
        EXPECT_EQ(boxes[0].owner, dialog ? "dialog 129" : "");
      } else {
        EXPECT_STREQ(AppState.WindowsDirectory, "C:\\WINDOWS");
      }
      // A failed check ends the main dialog with 129; a passed one leaves it open.
      if (dialog) {
        const sim::DialogEnd end = sim::DialogEndOf(AppState.MainWindow);
        EXPECT_EQ(end.ended, failed);
        EXPECT_EQ(end.result, failed ? 129 : end.result);
      }
    }
  }
}

}  // namespace
