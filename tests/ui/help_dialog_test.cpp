// The help dialog through the dialog manager, in both families and both
// languages, and on a machine whose platform check fails.
#include "app/app_state.h"
#include "res/resource.h"
#include "tests/support/dialog_script.h"
#include "tests/support/sim_fixture.h"
#include "ui/ui.h"
#include "platform/sim/frontend/frontend.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/user32/user32.h"

namespace {

// The dialog shows one of the four texts of ui/help_texts.cpp. Their byte
// counts differ from each other, so the count alone tells which one is shown,
// and shows that the Chinese ones are stored in code page 936: every case
// checks both, and the first line of each Chinese text byte for byte.
struct HelpCase {
  const char* name;
  LANGID language;
  DWORD version;
  const char* text;
  size_t bytes;
};
void PrintTo(const HelpCase& c, std::ostream* os) { *os << c.name; }

// The text as the dialog showed it, checked against the case.
void ExpectText(const std::string& shown, const HelpCase& c) {
  EXPECT_EQ(shown, c.text);
  EXPECT_EQ(shown.size(), c.bytes);
  const std::string first = test::Gbk("1.安装或卸载前,先从组合框内选择驱动安装文件*.INF,相应的驱动文件(SYS,DLL等)应该放在同一目录下\r\n");
  if (c.language == 0x0804) { EXPECT_EQ(shown.substr(0, first.size()), first); }
}

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
  HelpDialog() { machine_.language = GetParam().language, machine_.version = GetParam().version; }
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
  // A failed platform check shows its box (the platform check's test) before the help: Enter answers it first.
  const bool failed = c.version == 3;
  std::vector<std::string> events = {"key enter", "key tab", "key space", "press 1012", "key esc"};
  if (failed) events.insert(events.begin(), "key enter");
  std::string shown;
  size_t eventsSeen = 0;
  const auto run = test::RunDialog(
      IDD_HELP, HelpSpy, events,
      [&](size_t i) {
        ++eventsSeen;
        if (i + 1 == events.size()) {
          char text[1024] = "";
          GetDlgItemTextA(g_help, IDC_HELP_TEXT, text, sizeof text);
          shown = text;
        }
      },
      AppState.MainWindow);
  EXPECT_EQ(run.result, 2);
  EXPECT_EQ(eventsSeen, events.size()) << "every event before Esc left the dialog open";
  ExpectText(shown, c);
  // WM_INITDIALOG asks for the default focus; IDOK (Enter) is not handled, IDCANCEL is.
  ASSERT_GE(g_answers.size(), 3u);
  EXPECT_EQ(g_answers.front(), (std::pair<UINT, INT_PTR>{WM_INITDIALOG, 1}));
  EXPECT_EQ(g_answers[1], (std::pair<UINT, INT_PTR>{WM_COMMAND, 0}));
  EXPECT_EQ(g_answers.back(), (std::pair<UINT, INT_PTR>{WM_COMMAND, 1}));
  // The failed check ended the main dialog meanwhile; the help showed the NT text all the same.
  EXPECT_EQ(test::MessageBoxes().size(), failed ? 1u : 0u);
  EXPECT_EQ(sim::DialogEndOf(AppState.MainWindow).ended, failed);

  const auto closed = test::RunDialog(IDD_HELP, HelpDialogProc,
                                     failed ? std::vector<std::string>{"key enter", "close"} : std::vector<std::string>{"close"});
  EXPECT_EQ(closed.result, 2);
  EXPECT_NE(closed.output.find("IDCANCEL by close"), std::string::npos) << closed.output;
}

const HelpCase kHelpCases[] = {
    {"NtEnglish", 0x0409, 0x4A65000A, HelpNtEnglish, 876},
    {"Win9xEnglish", 0x0409, 0xC0000A04, Help9xEnglish, 620},
    {"NtChinese", 0x0804, 0x4A65000A, HelpNtChinese, 536},
    {"Win9xChinese", 0x0804, 0xC0000A04, Help9xChinese, 391},
    // Another Chinese variant is not 0x0804: English.
    {"TaiwanIsEnglish", 0x0404, 0x1DB10106, HelpNtEnglish, 876},
    {"FailedCheckEnglish", 0x0409, 3, HelpNtEnglish, 876},
    {"FailedCheckChinese", 0x0804, 3, HelpNtChinese, 536},
};
INSTANTIATE_TEST_SUITE_P(FamiliesAndLanguages, HelpDialog, ::testing::ValuesIn(kHelpCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
