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

// Every call asks the platform again, on the same machine.
TEST_F(PlatformFamilyTest, FamilyFollowsVersionAndDirectory) {
  for (const FamilyCase& c : kFamilies) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.version << (c.windowsDirectoryFails ? " no directory" : ""));
    sim::ResetProcessState();
    sim::CurrentMachine().version = c.version;
    sim::CurrentMachine().windows_directory_fails = c.windowsDirectoryFails;
    EXPECT_EQ(GetPlatformFamily(), c.expected);
    EXPECT_EQ(AppState.WindowsVersion, c.version);
    // A failed check shows its box (its texts are the catalogue's test).
    EXPECT_EQ(test::MessageBoxes().size(), c.expected == PlatformCheckFailed ? 1u : 0u);
    if (c.expected != PlatformCheckFailed) { EXPECT_STREQ(AppState.WindowsDirectory, "C:\\WINDOWS"); }
  }
  // With the main dialog open, the failed check's box is the dialog's, and the
  // dialog ends with 129 (a passed check leaves it open: the help dialog's test).
  AppState.MainWindow = sim::NewTestDialog(129);
  EXPECT_EQ(GetPlatformFamily(), PlatformCheckFailed);
  EXPECT_EQ(test::MessageBoxes().back().owner, "dialog 129");
  const sim::DialogEnd end = sim::DialogEndOf(AppState.MainWindow);
  EXPECT_TRUE(end.ended);
  EXPECT_EQ(end.result, 129);
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
