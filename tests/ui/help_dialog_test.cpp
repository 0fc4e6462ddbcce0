// The help dialog through the dialog manager (its close box is the same
// IDCANCEL as Esc), in both families and both languages, and on machines
// whose platform check fails: the family by the version value (the check's
// other failure, a Windows directory that cannot be read, is the start-up's
// test).
#include "app/app_state.h"
#include "res/resource.h"
#include "tests/support/dialog_script.h"
#include "tests/support/sim_fixture.h"
#include "ui/ui.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/user32/user32.h"

#include <nlohmann/json.hpp>

namespace {

// The dialog shows one of the four texts of ui/help_texts.cpp; the first line
// of the Chinese texts is checked byte for byte, to show that they are stored
// in code page 936.
struct HelpCase {
  const char* name;
  LANGID language;
  DWORD version;
  const char* text;
};
void PrintTo(const HelpCase& c, std::ostream* os) { *os << c.name; }

class HelpDialog : public test::SimTest, public ::testing::WithParamInterface<HelpCase> {
 protected:
  HelpDialog() { machine_.language = GetParam().language, machine_.version = GetParam().version; }
};

TEST_P(HelpDialog, ShowsTheTextOfFamilyAndLanguageAndClosesOnlyOnEsc) {
  const HelpCase& c = GetParam();
  AppState.UseChinese = c.language == 0x0804 ? 1 : 0;
  AppState.MainWindow = sim::NewTestDialog(IDD_MAIN);
  // A failed platform check (a major version under 4) shows its box before
  // the help: Enter answers it first.
  const bool failed = (c.version & 0xFF) < 4;
  std::vector<std::string> events = {"key enter", "key tab", "key space", "press 1012", "key esc"};
  if (failed) events.insert(events.begin(), "key enter");
  const auto run = test::RunDialog(IDD_HELP, HelpDialogProc, events, {}, AppState.MainWindow);
  EXPECT_EQ(run.result, 2);
  // Every event before Esc left the dialog open, its text control showing the
  // text (in the picture, as UTF-8).
  EXPECT_NE(run.output.find("=== " + std::to_string(events.size()) + ": key esc"), std::string::npos) << run.output;
  const std::string shown = "  1012 static left visible " + nlohmann::json(sim::AnsiToUtf8(c.text)).dump() + "\n";
  EXPECT_NE(run.output.find(shown), std::string::npos) << run.output;
  const std::string first = test::Gbk("1.安装或卸载前,先从组合框内选择驱动安装文件*.INF,相应的驱动文件(SYS,DLL等)应该放在同一目录下\r\n");
  if (c.language == 0x0804) { EXPECT_EQ(std::string(c.text).substr(0, first.size()), first); }
  // The platform sets the initial focus: the help's first picture, once any box is answered.
  const size_t at = run.output.find(failed ? "=== 1:" : "=== 0:");
  const std::string shownFirst = run.output.substr(at, run.output.find("\n=== ", at) - at);
  EXPECT_EQ(shownFirst.find("owner=129 focus=none"), std::string::npos) << shownFirst;
  // The failed check's box is the main dialog's, which it ends with 129; the
  // help shows the NT text all the same.
  const test::Box platformError{"dialog 129", "Windows version or directory error", "Initialize", MB_ICONERROR};
  EXPECT_EQ(test::MessageBoxes(), failed ? std::vector{platformError} : std::vector<test::Box>{});
  const sim::DialogEnd end = sim::DialogEndOf(AppState.MainWindow);
  EXPECT_EQ(end.ended, failed);
  if (failed) { EXPECT_EQ(end.result, 129); }
}

const HelpCase kHelpCases[] = {
    {"NtEnglish", 0x0409, 0x4A65000A, HelpNtEnglish},       // Windows 10
    {"Win9xEnglish", 0x0409, 0xC3B60004, Help9xEnglish},    // Windows 95
    {"NtChinese", 0x0804, 0x08930005, HelpNtChinese},       // Windows 2000
    {"Win9xChinese", 0x0804, 0xC0000A04, Help9xChinese},    // Windows 98
    // Another Chinese variant is not 0x0804: English.
    {"TaiwanIsEnglish", 0x0404, 0x1DB10106, HelpNtEnglish},  // Windows 7
    // Win32s has the high bit of the 9x family, but a major version of 3: the check fails.
    {"FailedCheckWin32s", 0x0409, 0x80000003, HelpNtEnglish},
};
INSTANTIATE_TEST_SUITE_P(FamiliesAndLanguages, HelpDialog, ::testing::ValuesIn(kHelpCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
