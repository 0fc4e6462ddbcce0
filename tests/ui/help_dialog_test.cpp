// The help dialog through the dialog manager, in both families and both
// languages, and its four texts byte for byte.
#include "app/app_state.h"
#include "res/resource.h"
#include "tests/support/dialog_script.h"
#include "tests/support/sim_fixture.h"
#include "ui/ui.h"
#include "platform/sim/frontend/frontend.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/user32/user32.h"

namespace {

using test::Gbk;

std::string Joined(const std::vector<std::string>& lines, bool chinese) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) out += (i ? "\r\n" : "") + (chinese ? Gbk(lines[i]) : lines[i]);
  return out;
}

const std::vector<std::string> kNtEnglish = {
        "1.You should put all the drive files(sys,dll) in the same directory at first, then select the installation file *.inf before installing or uninstalling the driver.",
        "2.Run the 'setup.exe' file and click [INSTALL] to install it in advance.  If the device is inserted, the system will find the new device and clue it on. Click 'next' to complete the process.",
        "3.Insert the device and run the setup.exe. If the system registers the device, click 'cancel' in the massage box. Then click [INSTALL] to install device driver. .",
        "4.Click [UNINSTALL] to uninstall the device driver.",
        "5.Delect the driver file by [!! Delete the...]. Driver files are shared by other devices . Delete it will lead that other device can't work.",
        "6.Install the drive in the command line box. Type 'SETUP /S' to install driver and type 'SETUP /U' to uninstall the driver.there are not any dialogbox appeared."};
const std::vector<std::string> k9xEnglish = {
        "1.You should put all the drive files(sys,dll) in the same directory at first, then select the installation file *.inf before installing or uninstalling the driver.",
        "2.Run the setup.exe file and click [INSTALL] to install driver in advance. Then the devices inserted are installed automatically.",
        "3.Click [UNINSTALL] to uninstall the device driver.",
        "4.Delect the driver file by [!! Delete the...]. Driver files are shared by other devices. Delete it will lead that other device can't work.",
        "5.Install the drive in the command line box. Type 'SETUP /S' to install the driver and type   'SETUP /U ' to uninstall the driver."};
const std::vector<std::string> kNtChinese = {
        "1.安装或卸载前,先从组合框内选择驱动安装文件*.INF,相应的驱动文件(SYS,DLL等)应该放在同一目录下",
        "2.先运行SETUP程序,点击[INSTALL],对设备进行预安装.插上设备后,系统弹出[发现新的硬件安装向导],点击[下一步],直至完成",
        "3.先插上设备,后运行SETUP程序.在系统弹出的[发现新的硬件安装向导]对话框中点击[取消],再运行SETUP程序,点击[INSTALL]安装",
        "4.设备卸载.点击[UNINSTALL],进行设备驱动卸载",
        "5.可以通过[!! Delete the...]选择在卸载设备时要删除设备驱动文件.设备驱动文件是共用文件,删除了可能会导致其它设备不能工作",
        "6.命令行隐式安装[ SETUP /S ], 卸载[ SETUP /U ]"};
const std::vector<std::string> k9xChinese = {
        "1.安装或卸载前,先从组合框内选择驱动安装文件*.INF,相应的驱动文件(SYS,DLL等)应该放在同一目录下",
        "2.先运行SETUP程序,点击[INSTALL],对设备进行预安装.安装完成后,重新插拔一下设备即可使用",
        "3.设备卸载.点击[UNINSTALL],进行设备驱动卸载",
        "4.可以通过[!! Delete the...]选择在卸载设备时要删除设备驱动文件.设备驱动文件是共用文件,删除了可能会导致其它设备不能工作",
        "5.命令行隐式安装[ SETUP /S ], 卸载[ SETUP /U ]"};

// The dialog shows one of the four texts, each the lines above joined by CRLF:
// every text appears in a case, so its length and bytes are checked here.
struct HelpCase {
  const char* name;
  LANGID language;
  DWORD version;
  const std::vector<std::string>* lines;
  size_t bytes;
};
void PrintTo(const HelpCase& c, std::ostream* os) { *os << c.name; }

std::string Expected(const HelpCase& c) { return Joined(*c.lines, c.language == 0x0804); }

HWND g_help = nullptr;
std::vector<std::pair<UINT, INT_PTR>> g_answers;

// The program's help procedure, watched: which dialog it runs and what it answers.
INT_PTR CALLBACK HelpSpy(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  g_help = dialog;
  const INT_PTR answer = HelpDialogProc(dialog, message, wParam, lParam);
  if (message == WM_INITDIALOG || message == WM_COMMAND) g_answers.push_back({message, answer});
  return answer;
}

class HelpDialog : public test::SimTest, public ::testing::WithParamInterface<HelpCase> {
 protected:
  sim::NewMachineOptions MachineOptions() override {
    sim::NewMachineOptions o;
    o.language = GetParam().language;
    o.version = GetParam().version;
    return o;
  }
  void SetUp() override {
    SimTest::SetUp();
    AppState.UseChinese = GetParam().language == 0x0804 ? 1 : 0;
    g_help = nullptr;
    g_answers.clear();
  }
};

TEST_P(HelpDialog, ShowsTheTextOfFamilyAndLanguageAndClosesOnlyOnEscOrTheCloseBox) {
  const HelpCase& c = GetParam();
  AppState.MainWindow = sim::NewTestDialog(IDD_MAIN);
  std::string shown;
  size_t eventsSeen = 0;
  const auto run = test::RunDialog(
      IDD_HELP, HelpSpy, {"key enter", "key tab", "key space", "press 1012", "key esc"},
      [&](size_t i) {
        ++eventsSeen;
        if (i == 0) {
          char text[1024] = "";
          GetDlgItemTextA(g_help, IDC_HELP_TEXT, text, sizeof text);
          shown = text;
        }
      },
      AppState.MainWindow);
  EXPECT_EQ(run.result, 2);
  EXPECT_EQ(eventsSeen, 5u) << "every event before Esc left the dialog open";
  EXPECT_EQ(shown.size(), c.bytes);
  EXPECT_EQ(shown, Expected(c));
  // WM_INITDIALOG asks for the default focus; IDOK (Enter) is not handled, IDCANCEL is.
  ASSERT_GE(g_answers.size(), 3u);
  EXPECT_EQ(g_answers.front(), (std::pair<UINT, INT_PTR>{WM_INITDIALOG, 1}));
  EXPECT_EQ(g_answers[1], (std::pair<UINT, INT_PTR>{WM_COMMAND, 0}));
  EXPECT_EQ(g_answers.back(), (std::pair<UINT, INT_PTR>{WM_COMMAND, 1}));
  EXPECT_TRUE(test::MessageBoxes().empty());
  EXPECT_FALSE(sim::DialogEndOf(AppState.MainWindow).ended);

  const auto closed = test::RunDialog(IDD_HELP, HelpDialogProc, {"close"});
  EXPECT_EQ(closed.result, 2);
  EXPECT_NE(closed.output.find("IDCANCEL by close"), std::string::npos) << closed.output;
}

const HelpCase kHelpCases[] = {
    {"NtEnglish", 0x0409, 0x4A65000A, &kNtEnglish, 876},
    {"Win9xEnglish", 0x0409, 0xC0000A04, &k9xEnglish, 620},
    {"NtChinese", 0x0804, 0x4A65000A, &kNtChinese, 536},
    {"Win9xChinese", 0x0804, 0xC0000A04, &k9xChinese, 391},
    // Another Chinese variant is not 0x0804: English.
    {"TaiwanIsEnglish", 0x0404, 0x1DB10106, &kNtEnglish, 876},
};
INSTANTIATE_TEST_SUITE_P(FamiliesAndLanguages, HelpDialog, ::testing::ValuesIn(kHelpCases),
                         [](const auto& info) { return std::string(info.param.name); });

class HelpWithFailedCheck : public HelpDialog {};

// HELP of the program's main dialog on a machine whose platform check fails.
TEST_P(HelpWithFailedCheck, ShowsThePlatformErrorEndsTheOwnerWith129AndStillShowsTheNtText) {
  AppState.AppInstance = sim::ProgramInstance();
  std::vector<std::string> steps;
  const auto run = test::RunDialog(IDD_MAIN, MainDialogProc, {"press 1009", "key enter", "key enter", "key esc"},
                                   [&](size_t) { steps.push_back(sim::UiSnapshot()); });
  // The box comes first, owned by the main dialog, while the help dialog is not yet shown.
  ASSERT_GE(steps.size(), 4u);
  EXPECT_NE(steps[1].find("box owner=129 type=0x10 caption=\"Initialize\" \"Windows version or directory error\""),
            std::string::npos)
      << steps[1];
  EXPECT_NE(steps[1].find("dialog 103 \"Setup Program Overview \" hidden"), std::string::npos) << steps[1];
  // Then the help, with the NT text, which Enter does not close.
  EXPECT_NE(steps[3].find("dialog 103 \"Setup Program Overview \" visible"), std::string::npos) << steps[3];
  EXPECT_EQ(std::string(AppState.HelpText), Expected(GetParam()));
  // Esc closes the help, and the main dialog, ended meanwhile, is gone with 129.
  EXPECT_EQ(run.result, 129);
  EXPECT_EQ(test::MessageBoxes().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Languages, HelpWithFailedCheck,
                         ::testing::Values(HelpCase{"English", 0x0409, 0x00000003, &kNtEnglish, 876},
                                           HelpCase{"Chinese", 0x0804, 0x00000003, &kNtChinese, 536}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
