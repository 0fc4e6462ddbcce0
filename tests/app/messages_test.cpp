// The message catalogue in both languages, as the user sees it: exact bytes,
// caption, box type and owner.
#include "app/app_state.h"
#include "app/messages.h"
#include "tests/support/sim_fixture.h"
#include "platform/sim/user32/user32.h"

namespace {

using test::Gbk;

struct Expected {
  MessageKey key;
  const char* english;
  const char* chineseUtf8;  // null: the English text in both languages
  const char* caption;
  unsigned typeEnglish;
  unsigned typeChinese;
};

const Expected kExpected[] = {
    {MsgInfNotFound, "Not Found *.inf.", "在当前目录下没有发现安装文件(*.inf)", "DriverSetup", 0x30, 0x30},
    {MsgUpdateDone, "Driver install success!", "驱动安装成功!", "DriverSetup", 0x40, 0},
    {MsgUpdateFailed, "Driver install failure!", "驱动安装失败!", "DriverSetup", 0x10, 0},
    {MsgNewdevMissing, "newdev.DLL not found.", "newdev.DLL 找不到", "DriverSetup", 0x30, 0x30},
    {MsgUpdateFunctionMissing, "UpdateDriverForPlugAndPlayDevices() not found.",
     "UpdateDriverForPlugAndPlayDevices()找不到", "DriverSetup", 0x30, 0x30},
    {MsgPreinstallDone, "Driver install success.\nplease plug the device.",
     "驱动预安装成功!\n插上设备,在弹出的<找到新的硬件向导>对话框中选择自动安装即可,\n忽略驱动数字签名警告!",
     "DriverSetup", 0x40, 0x40},
    {MsgPreinstallFailed, "Driver Pre-install failure!", "驱动预安装失败", "DriverSetup", 0x10, 0},
    {MsgLegacyInstallDone, "Driver install success.\n\n,please plug the device!",
     "*****驱动安装成功!*****        \n\n请插上设备!", "DriverSetup", 0x40, 0x40},
    {MsgLegacyInstallFailed, "Driver install failure.", "驱动安装失败", "DriverSetup", 0x10, 0},
    {MsgUninstallDone, "Driver uninstall success!", "驱动卸载成功!", "DriverSetup", 0x40, 0},
    {MsgUninstallFailed, "Driver uninstall failure!", "驱动卸载失败!", "DriverSetup", 0x10, 0},
    {MsgNoInstallInfo, "Get install information failure.", "获取安装信息失败", "set", 0, 0},
    {MsgPlatformError, "Windows version or directory error", nullptr, "Initialize", 0x10, 0x10},
    {MsgContact,
     "Welcome to contact us if you have some question. \nWebsite:   www.example.com\nEmail:     support@example.com",
     "您遇到疑惑了吧,欢迎与我们联系!      \n网站/Website:   www.example.com\n邮件/Email:     support@example.com",
     "Setup", 0x40, 0x40},
};

struct LanguageCase {
  const char* name;
  LANGID language;
  bool chinese;
};
void PrintTo(const LanguageCase& c, std::ostream* os) { *os << c.name; }

class MessageCatalogue : public test::SimTest, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(MessageCatalogue, EveryMessageShowsItsTextCaptionAndType) {
  const LanguageCase& lang = GetParam();
  AppState.UseChinese = lang.chinese ? 1 : 0;
  HWND dialog = sim::NewTestDialog(129);
  ASSERT_EQ(std::size(kExpected), static_cast<size_t>(MessageKeyCount));
  for (const Expected& e : kExpected) {
    EXPECT_EQ(MessageOf(e.key).key, e.key) << "catalogue out of order at " << e.english;
    ShowMessage(e.key, nullptr);
    ShowMessage(e.key, dialog);
  }
  const auto boxes = test::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2 * std::size(kExpected));
  for (size_t i = 0; i < std::size(kExpected); ++i) {
    const Expected& e = kExpected[i];
    const std::string text = lang.chinese && e.chineseUtf8 ? Gbk(e.chineseUtf8) : e.english;
    for (size_t k = 0; k < 2; ++k) {
      const test::Box& box = boxes[2 * i + k];
      EXPECT_EQ(box.bytes, text) << e.english;
      EXPECT_EQ(box.caption, e.caption) << e.english;
      EXPECT_EQ(box.type, lang.chinese ? e.typeChinese : e.typeEnglish) << e.english;
      EXPECT_EQ(box.owner, k == 0 ? "" : "dialog 129") << e.english;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, MessageCatalogue,
                         ::testing::Values(LanguageCase{"English", 0x0409, false},
                                           LanguageCase{"Chinese", 0x0804, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
