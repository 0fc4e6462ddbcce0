// The message catalogue in both languages, as the user sees it (exact bytes,
// caption, box type and owner), and the platform check: the family by the
// version value, and its failure path with its message. The English texts of
// the other messages are checked where the program shows them (the outcome
// tables of the actions, the summary); these are the uninstall results, which
// only a dialog shows, and one of each kind of entry.
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

struct Expected {
  MessageKey key;
  const char* english;
  const char* chineseUtf8;  // null: the English text in both languages
  const char* caption;
  unsigned typeEnglish, typeChinese;
};

const Expected kExpected[] = {
    {MsgUninstallDone, "Driver uninstall success!", "驱动卸载成功!", "DriverSetup", 0x40, 0},
    {MsgUninstallFailed, "Driver uninstall failure!", "驱动卸载失败!", "DriverSetup", 0x10, 0},
    {MsgNoInstallInfo, "Get install information failure.", "获取安装信息失败", "set", 0, 0},
    {MsgPlatformError, "Windows version or directory error", nullptr, "Initialize", 0x10, 0x10},
    {MsgContact,
     "Welcome to contact us if you have some question. \nWebsite:   www.example.com\nEmail:     support@example.com",
     "您遇到疑惑了吧,欢迎与我们联系!      \n网站/Website:   www.example.com\n邮件/Email:     support@example.com",
     "Setup", 0x40, 0x40},
};

class MessageCatalogue : public test::SimTest, public ::testing::WithParamInterface<bool> {};

TEST_P(MessageCatalogue, MessagesShowTheirTextCaptionAndTypeWithTheOwnerGiven) {
  const bool chinese = GetParam();
  AppState.UseChinese = chinese ? 1 : 0;
  for (int key = 0; key < MessageKeyCount; ++key)
    EXPECT_EQ(MessageOf(static_cast<MessageKey>(key)).key, key) << "catalogue out of order";
  HWND dialog = sim::NewTestDialog(129);
  for (const Expected& e : kExpected) {
    ShowMessage(e.key, nullptr);
    ShowMessage(e.key, dialog);
  }
  const auto boxes = test::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2 * std::size(kExpected));
  for (size_t i = 0; i < boxes.size(); ++i) {
    const Expected& e = kExpected[i / 2];
    EXPECT_EQ(boxes[i].bytes, chinese && e.chineseUtf8 ? test::Gbk(e.chineseUtf8) : e.english) << e.english;
    EXPECT_EQ(boxes[i].caption, e.caption) << e.english;
    EXPECT_EQ(boxes[i].type, chinese ? e.typeChinese : e.typeEnglish) << e.english;
    EXPECT_EQ(boxes[i].owner, i % 2 ? "dialog 129" : "") << e.english;
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, MessageCatalogue, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "Chinese" : "English"); });

}  // namespace
