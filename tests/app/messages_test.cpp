// The message catalogue in both languages, as the user sees it (exact bytes,
// caption and box type). The English texts of the other messages are checked
// where the program shows them (the outcome tables of the actions, the
// summary); these are the uninstall results, which only a dialog shows, and
// one of each kind of entry.
#include "app/app_state.h"
#include "app/messages.h"
#include "tests/support/sim_fixture.h"

namespace {

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

// (Which owner each box gets is the callers' test.)
TEST_P(MessageCatalogue, MessagesShowTheirTextCaptionAndType) {
  const bool chinese = GetParam();
  AppState.UseChinese = chinese ? 1 : 0;
  for (const Expected& e : kExpected) ShowMessage(e.key, nullptr);
  const auto boxes = test::MessageBoxes();
  ASSERT_EQ(boxes.size(), std::size(kExpected));
  for (size_t i = 0; i < boxes.size(); ++i) {
    const Expected& e = kExpected[i];
    EXPECT_EQ(boxes[i].bytes, chinese && e.chineseUtf8 ? test::Gbk(e.chineseUtf8) : e.english) << e.english;
    EXPECT_EQ(boxes[i].caption, e.caption) << e.english;
    EXPECT_EQ(boxes[i].type, chinese ? e.typeChinese : e.typeEnglish) << e.english;
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, MessageCatalogue, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "Chinese" : "English"); });

}  // namespace
