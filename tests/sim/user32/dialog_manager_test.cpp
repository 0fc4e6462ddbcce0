// The simulated dialog manager, driven by dialog procedures of the test's
// own: the modal loop and its messages, the initial focus, the keyboard,
// combo box notifications, nested modal dialogs and owned message boxes, and
// the failures of the dialog functions.
#include "res/resource.h"
#include "tests/support/dialog_script.h"
#include "tests/support/sim_fixture.h"
#include "ui/ui.h"
#include "platform/sim/base/text.h"
#include "platform/sim/frontend/frontend.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/user32/user32.h"

namespace {

struct Message {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Message> g_log;
INT_PTR g_initAnswer = 0;
bool g_endInDestroy = false;
bool g_showBoxes = false;
HWND g_main = nullptr;
HWND g_install = nullptr;

std::vector<Message> Commands(size_t from = 0) {
  std::vector<Message> out;
  for (size_t i = from; i < g_log.size(); ++i)
    if (g_log[i].message == WM_COMMAND) out.push_back(g_log[i]);
  return out;
}

// Fills the combo box and answers the buttons: INSTALL shows an owned box,
// UNINSTALL one without owner, HELP opens the program's help dialog.
INT_PTR CALLBACK MainRecorder(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  g_log.push_back({message, wParam, lParam});
  switch (message) {
    case WM_INITDIALOG:
      g_main = dialog;
      g_install = GetDlgItem(dialog, IDC_INSTALL);
      SendDlgItemMessageA(dialog, IDC_INF_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("a.inf"));
      SendDlgItemMessageA(dialog, IDC_INF_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("b.inf"));
      SendDlgItemMessageA(dialog, IDC_INF_COMBO, CB_SETCURSEL, 0, 0);
      return g_initAnswer;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDCANCEL: EndDialog(dialog, 2); break;
        case IDC_INSTALL:
          if (g_showBoxes) MessageBoxA(dialog, "owned", "T", MB_OK);
          break;
        case IDC_UNINSTALL:
          if (g_showBoxes) MessageBoxA(nullptr, "no owner", "T", MB_OK);
          break;
        case IDC_HELP:
          DialogBoxParamA(sim::ProgramInstance(), MAKEINTRESOURCEA(IDD_HELP), dialog, HelpDialogProc, 0);
          ShowWindow(GetDlgItem(dialog, IDC_DELETE_FILES), SW_SHOW);
          break;
        default: break;
      }
      return 0;
    case WM_DESTROY:
      if (g_endInDestroy) EndDialog(dialog, 99);
      return 0;
    default: return 0;
  }
}

class DialogManager : public test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    g_log.clear();
    g_initAnswer = 0;
    g_endInDestroy = false;
    g_showBoxes = false;
    g_main = nullptr;
  }
};

TEST_F(DialogManager, ModalLoopSendsFontInitCommandsAndDestroyInOrder) {
  g_endInDestroy = true;
  const auto run = test::RunDialog(IDD_MAIN, MainRecorder, {"key esc"}, {}, nullptr, 0x1234);
  // The EndDialog in WM_DESTROY comes too late to change the result.
  EXPECT_EQ(run.result, 2);
  ASSERT_GE(g_log.size(), 4u);
  EXPECT_EQ(g_log[0].message, static_cast<UINT>(WM_SETFONT));
  EXPECT_EQ(g_log[1].message, static_cast<UINT>(WM_INITDIALOG));
  EXPECT_EQ(g_log[1].lParam, 0x1234);
  // wParam names the control that would get the default focus: the first tab stop.
  EXPECT_EQ(g_log[1].wParam, reinterpret_cast<WPARAM>(g_install));
  const auto commands = Commands();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].wParam, static_cast<WPARAM>(IDCANCEL));
  EXPECT_EQ(commands[0].lParam, 0) << "there is no IDCANCEL control";
  EXPECT_EQ(g_log.back().message, static_cast<UINT>(WM_DESTROY));
  EXPECT_EQ(g_log.back().wParam, 0u);
  EXPECT_FALSE(sim::IsWindowHandle(g_main)) << "the dialog is destroyed when DialogBoxParamA returns";
  EXPECT_EQ(sim::DialogEndOf(g_main).result, 99) << "the late EndDialog did happen";
  const auto entries = sim::TranscriptOf("dialog");
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries.back()["action"], "closed");
  EXPECT_EQ(entries.back()["result"], 2);
}

TEST_F(DialogManager, EndDialogDuringInitNeverShowsTheDialog) {
  auto proc = [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
    if (message == WM_INITDIALOG) EndDialog(dialog, 41);
    return 0;
  };
  bool asked = false;
  const auto run = test::RunDialog(IDD_HELP, proc, {"key enter"}, [&](size_t) { asked = true; });
  EXPECT_EQ(run.result, 41);
  EXPECT_FALSE(asked) << "no event is read for a dialog that ended before it was shown";
}

struct FocusCase {
  const char* name;
  int templateId;
  INT_PTR initAnswer;
  const char* focus;
};
void PrintTo(const FocusCase& c, std::ostream* os) { *os << c.name; }
class InitialFocus : public DialogManager, public ::testing::WithParamInterface<FocusCase> {};

TEST_P(InitialFocus, FollowsTheAnswerToInitDialog) {
  const FocusCase& c = GetParam();
  g_initAnswer = c.initAnswer;
  std::string focus;
  test::RunDialog(c.templateId, c.templateId == IDD_MAIN ? MainRecorder : HelpDialogProc, {},
                  [&](size_t) { focus = test::SnapshotField("focus"); });
  EXPECT_EQ(focus, c.focus);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, InitialFocus,
    ::testing::Values(FocusCase{"MainZeroNoFocus", IDD_MAIN, 0, "none"},
                      FocusCase{"MainOneFirstTabStop", IDD_MAIN, 1, "1001"},
                      // No tab stop at all: the first control that can take the focus.
                      FocusCase{"HelpOneFirstControl", IDD_HELP, 1, "65535"}),
    [](const auto& info) { return std::string(info.param.name); });

struct KeyCase {
  const char* name;
  std::vector<std::string> events;  // the last one is the event under test
  std::vector<WPARAM> commands;     // the commands it causes
  const char* focusAfter;
  bool checkedAfter = false;
};
void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }
class Keyboard : public DialogManager, public ::testing::WithParamInterface<KeyCase> {};

WPARAM Cmd(int id, WORD code) { return static_cast<WPARAM>(id) | (static_cast<WPARAM>(code) << 16); }

TEST_P(Keyboard, KeyDoesWhatARealDialogDoes) {
  const KeyCase& c = GetParam();
  size_t mark = 0;
  std::string focus;
  UINT checked = 0;
  test::RunDialog(IDD_MAIN, MainRecorder, c.events, [&](size_t i) {
    if (i + 1 == c.events.size()) mark = g_log.size();
    if (i == c.events.size()) {
      focus = test::SnapshotField("focus");
      checked = IsDlgButtonChecked(g_main, IDC_DELETE_FILES);
    }
  });
  std::vector<WPARAM> got;
  for (const Message& m : Commands(mark))
    if (HIWORD(m.wParam) != EN_SETFOCUS && HIWORD(m.wParam) != EN_KILLFOCUS && HIWORD(m.wParam) != CBN_SETFOCUS &&
        HIWORD(m.wParam) != CBN_KILLFOCUS)
      got.push_back(m.wParam);
  // What the end of the events adds (Esc, IDCANCEL) is not the key's doing.
  if (!got.empty() && got.back() == static_cast<WPARAM>(IDCANCEL) && c.events.back() != "key esc") got.pop_back();
  EXPECT_EQ(got, c.commands);
  EXPECT_EQ(focus, c.focusAfter);
  EXPECT_EQ(checked != 0, c.checkedAfter);
}

const KeyCase kKeyCases[] = {
    {"EnterWithoutFocusPressesTheDefaultButton", {"key enter"}, {Cmd(IDC_INSTALL, BN_CLICKED)}, "none"},
    {"EscSendsIdCancel", {"key esc"}, {IDCANCEL}, ""},
    {"TabWithoutFocusGoesToTheFirstTabStop", {"key tab"}, {}, "1001"},
    {"ShiftTabWithoutFocusDoesNothing", {"key shift-tab"}, {}, "none"},
    {"TabWalksTheTabStops", {"key tab", "key tab", "key tab"}, {}, "1003"},
    {"TabSkipsTheHiddenCheckBox", {"key tab", "key tab", "key tab", "key tab"}, {}, "1009"},
    {"ShiftTabWrapsToTheLastTabStop", {"key tab", "key shift-tab"}, {}, "1009"},
    {"EnterPressesTheFocusedPushButton", {"key tab", "key tab", "key enter"}, {Cmd(IDC_UNINSTALL, BN_CLICKED)}, "1002"},
    {"EnterInTheSummaryPressesTheDefaultButton",
     {"key tab", "key tab", "key tab", "key enter"}, {Cmd(IDC_INSTALL, BN_CLICKED)}, "1001"},
    {"EscInTheSummaryClosesTheDialog", {"key tab", "key tab", "key tab", "key esc"}, {Cmd(IDCANCEL, BN_CLICKED)}, ""},
    {"SpacePressesTheFocusedButton", {"key tab", "key tab", "key space"}, {Cmd(IDC_UNINSTALL, BN_CLICKED)}, "1002"},
    {"SpaceWithoutFocusDoesNothing", {"key space"}, {}, "none"},
    {"UpFromInstallReachesTheComboBox", {"key tab", "key up"}, {}, "1000"},
    {"DownInTheComboBoxSelectsTheNextItem",
     {"key tab", "key up", "key down"}, {Cmd(IDC_INF_COMBO, CBN_SELCHANGE)}, "1000"},
    {"DownAtTheLastItemChangesNothing", {"key tab", "key up", "key down", "key down"}, {}, "1000"},
    {"ArrowsInTheSummaryStayThere", {"key tab", "key tab", "key tab", "key down"}, {}, "1003"},
    {"ClickingTheHiddenCheckBoxIsRefused", {"press 1004"}, {}, "none"},
    {"ShiftTabFromHelpReachesTheShownCheckBoxAndSpaceTicksIt",
     {"press 1009", "key esc", "key shift-tab", "key space"}, {Cmd(IDC_DELETE_FILES, BN_CLICKED)}, "1004", true},
};
INSTANTIATE_TEST_SUITE_P(Keys, Keyboard, ::testing::ValuesIn(kKeyCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The notification codes of the commands logged in [from, to).
std::vector<WORD> Codes(size_t from, size_t to) {
  std::vector<WORD> out;
  for (size_t i = from; i < to && i < g_log.size(); ++i)
    if (g_log[i].message == WM_COMMAND) out.push_back(HIWORD(g_log[i].wParam));
  return out;
}

TEST_F(DialogManager, SelectionChangeIsSentForTheUsersChoiceOnly) {
  std::vector<size_t> marks;
  LRESULT selection = 0;
  test::RunDialog(IDD_MAIN, MainRecorder, {"select 1", "select 5", "key esc"}, [&](size_t i) {
    marks.push_back(g_log.size());
    if (i == 1) {
      // The program selecting an item tells nobody.
      SendDlgItemMessageA(g_main, IDC_INF_COMBO, CB_SETCURSEL, 0, 0);
      selection = SendDlgItemMessageA(g_main, IDC_INF_COMBO, CB_GETCURSEL, 0, 0);
    }
  });
  ASSERT_GE(marks.size(), 3u);
  EXPECT_EQ(Codes(0, marks[0]), std::vector<WORD>{}) << "CB_SETCURSEL in WM_INITDIALOG sent a notification";
  EXPECT_EQ(Codes(marks[0], marks[1]),
            (std::vector<WORD>{CBN_SETFOCUS, CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}));
  EXPECT_EQ(selection, 0);
  // "select 5" names no item: nothing is sent.
  EXPECT_EQ(Codes(marks[1], marks[2]), std::vector<WORD>{});
}

TEST_F(DialogManager, NestedDialogDisablesItsOwnerUntilItEnds) {
  std::vector<std::string> stacks;
  const auto run = test::RunDialog(IDD_MAIN, MainRecorder, {"press 1009", "press 1001", "key esc", "key esc"},
                                   [&](size_t) { stacks.push_back(test::SnapshotLine("stack")); });
  EXPECT_EQ(run.result, 2);
  // The click on the disabled owner goes to the help dialog, which has no such control.
  EXPECT_EQ(stacks, (std::vector<std::string>{"stack 129", "stack 129(disabled) 103", "stack 129(disabled) 103", "stack 129"}));
  EXPECT_NE(run.output.find("note: refused: dialog 103 has no control 1001"), std::string::npos) << run.output;
  for (const Message& m : Commands()) EXPECT_NE(LOWORD(m.wParam), IDC_INSTALL) << "the click reached the owner";
}

TEST_F(DialogManager, OwnedBoxDisablesTheDialogAndABoxWithoutOwnerDoesNot) {
  g_showBoxes = true;
  std::vector<std::string> boxes;
  const auto run = test::RunDialog(IDD_MAIN, MainRecorder, {"press 1001", "press 1002", "key enter", "press 1002", "press 1001"},
                                   [&](size_t) { boxes.push_back(sim::UiSnapshot()); });
  EXPECT_EQ(run.result, 2);
  // While the owned box is open, a click on UNINSTALL is refused.
  EXPECT_NE(run.output.find("=== 2: press 1002\nnote: refused: dialog 129 is disabled while the message box is open"),
            std::string::npos)
      << run.output;
  // With a box without owner open the dialog still takes clicks: INSTALL opens its own box on top.
  ASSERT_GE(boxes.size(), 6u);
  EXPECT_NE(boxes[4].find("stack 129\n"), std::string::npos) << boxes[4];
  EXPECT_NE(boxes[5].find("box owner=none type=0x0 caption=\"T\" \"no owner\"\nbox owner=129"), std::string::npos)
      << boxes[5];
  const auto boxesShown = test::MessageBoxes();
  ASSERT_EQ(boxesShown.size(), 3u);
  EXPECT_EQ(boxesShown[0].owner, "dialog 129");
  EXPECT_EQ(boxesShown[1].owner, "");
  // The end of the events answers both open boxes, newest first, then the dialog.
  const auto closed = sim::TranscriptOf("dialog");
  std::vector<std::string> answered;
  for (const auto& e : closed)
    if (e["action"] == "box_closed") answered.push_back(e["by"]);
  EXPECT_EQ(answered, (std::vector<std::string>{"key enter", "end of input", "end of input"}));
}

TEST_F(DialogManager, FailuresGiveTheDocumentedValuesAndErrors) {
  sim::UseScriptedUi([] { return std::optional<std::string>(); }, nullptr);
  EXPECT_RESULT_AND_ERROR(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(777), nullptr, MainRecorder, 0), -1,
                          ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(DialogBoxParamA(nullptr, "NAMED", nullptr, MainRecorder, 0), -1, ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(
      DialogBoxParamA(reinterpret_cast<HINSTANCE>(0x7000), MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainRecorder, 0), -1,
      ERROR_RESOURCE_TYPE_NOT_FOUND);
  // A bad owner gives 0, not -1.
  EXPECT_RESULT_AND_ERROR(
      DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_MAIN), reinterpret_cast<HWND>(0x1234), MainRecorder, 0), 0,
      ERROR_INVALID_WINDOW_HANDLE);
  sim::AddFault({"DialogBoxParamA", 0, std::nullopt});
  EXPECT_RESULT_AND_ERROR(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainRecorder, 0), -1,
                          ERROR_NOT_ENOUGH_MEMORY);
  sim::ClearFaults();
  EXPECT_TRUE(g_log.empty()) << "a failed call never reached the dialog procedure";
  // A name "#129" is the number; the input has ended, so Esc answers it.
  EXPECT_RESULT_AND_ERROR(DialogBoxParamA(nullptr, "#129", nullptr, MainRecorder, 0), 2, 0xdeadbeef);

  HWND bogus = reinterpret_cast<HWND>(0x4321);
  HWND dialog = sim::NewTestDialog(IDD_MAIN);
  char text[8] = "xyz";
  EXPECT_RESULT_AND_ERROR(EndDialog(bogus, 1), FALSE, ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_RESULT_AND_ERROR(EndDialog(GetDlgItem(dialog, IDC_INSTALL), 1), FALSE, ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_RESULT_AND_ERROR(GetDlgItem(bogus, IDC_INSTALL), nullptr, ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_RESULT_AND_ERROR(GetDlgItem(dialog, 4711), nullptr, ERROR_CONTROL_ID_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(SetDlgItemTextA(dialog, 4711, "x"), FALSE, ERROR_CONTROL_ID_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(GetDlgItemTextA(dialog, 4711, text, sizeof text), 0u, ERROR_CONTROL_ID_NOT_FOUND);
  EXPECT_STREQ(text, "");
  EXPECT_RESULT_AND_ERROR(IsDlgButtonChecked(dialog, 4711), 0u, ERROR_CONTROL_ID_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(CheckDlgButton(bogus, IDC_DELETE_FILES, BST_CHECKED), FALSE, ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_RESULT_AND_ERROR(SendDlgItemMessageA(dialog, 4711, CB_GETCOUNT, 0, 0), 0, ERROR_CONTROL_ID_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(SendMessageA(bogus, CB_GETCOUNT, 0, 0), 0, ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_RESULT_AND_ERROR(ShowWindow(bogus, SW_SHOW), FALSE, ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_RESULT_AND_ERROR(IsWindowVisible(bogus), FALSE, ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_RESULT_AND_ERROR(UpdateWindow(bogus), FALSE, ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_RESULT_AND_ERROR(UpdateWindow(dialog), TRUE, 0xdeadbeef);
  // An unknown command goes nowhere and answers 0.
  EXPECT_RESULT_AND_ERROR(DefWindowProcA(dialog, WM_COMMAND, 4711, 0), 0, 0xdeadbeef);
}

TEST_F(DialogManager, ControlsAnswerTheirMessagesAsTheWindowsControlsDo) {
  HWND dialog = sim::NewTestDialog(IDD_MAIN);
  HWND combo = GetDlgItem(dialog, IDC_INF_COMBO);
  EXPECT_RESULT_AND_ERROR(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR, 0xdeadbeef);
  EXPECT_EQ(SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("second.inf")), 0);
  EXPECT_EQ(SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("first.inf")), 1) << "no CBS_SORT";
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXTLEN, 1, 0), 9);
  EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXTLEN, 2, 0), CB_ERR);
  char item[MAX_PATH] = "";
  EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(item)), 9);
  EXPECT_STREQ(item, "first.inf");
  EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item)), CB_ERR);
  EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 1, 0), 1);
  char shown[16];
  GetDlgItemTextA(dialog, IDC_INF_COMBO, shown, sizeof shown);
  EXPECT_STREQ(shown, "first.inf") << "the edit field shows the selection";
  EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 7, 0), CB_ERR);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR) << "an index past the end clears the selection";
  EXPECT_EQ(SendMessageA(combo, CB_RESETCONTENT, 0, 0), CB_OKAY);
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 0);

  // Check boxes keep 0 or 1; a push button has no check state.
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_DELETE_FILES), 0u);
  EXPECT_TRUE(CheckDlgButton(dialog, IDC_DELETE_FILES, BST_INDETERMINATE));
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_DELETE_FILES), static_cast<UINT>(BST_CHECKED));
  EXPECT_TRUE(CheckDlgButton(dialog, IDC_INSTALL, BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_INSTALL), 0u);

  // ShowWindow answers whether the window was visible before.
  HWND option = GetDlgItem(dialog, IDC_DELETE_FILES);
  EXPECT_FALSE(IsWindowVisible(option));
  EXPECT_RESULT_AND_ERROR(ShowWindow(option, SW_SHOW), FALSE, 0xdeadbeef);
  EXPECT_TRUE(IsWindowVisible(option));
  EXPECT_RESULT_AND_ERROR(ShowWindow(option, SW_SHOW), TRUE, 0xdeadbeef);
  EXPECT_TRUE(ShowWindow(option, SW_HIDE));
  EXPECT_FALSE(IsWindowVisible(option));

  // GetDlgItemTextA fills what fits with its NUL and says how much it wrote.
  SetDlgItemTextA(dialog, IDC_INSTALL, "abcdef");
  char small[4] = "zzz";
  EXPECT_EQ(GetDlgItemTextA(dialog, IDC_INSTALL, small, sizeof small), 3u);
  EXPECT_STREQ(small, "abc");
  EXPECT_EQ(GetDlgItemTextA(dialog, IDC_INSTALL, small, 0), 0u);
  EXPECT_EQ(SendMessageA(GetDlgItem(dialog, IDC_INSTALL), WM_GETTEXTLENGTH, 0, 0), 6);
}

class ChineseMachine : public DialogManager {
 protected:
  sim::NewMachineOptions MachineOptions() override {
    sim::NewMachineOptions o;
    o.language = 0x0804;
    return o;
  }
};

TEST_F(ChineseMachine, UppercaseEditShowsCapitalsAndKeepsDoubleByteCharacters) {
  HWND dialog = sim::NewTestDialog(IDD_MAIN);
  // "Ab" then 驱动 in code page 936, then "cd": only the ASCII letters change.
  const std::string text = "Ab\xC7\xFD\xB6\xAF" "cd\r\nx";
  ASSERT_TRUE(SetDlgItemTextA(dialog, IDC_SUMMARY, text.c_str()));
  char shown[32];
  GetDlgItemTextA(dialog, IDC_SUMMARY, shown, sizeof shown);
  EXPECT_EQ(std::string(shown), "AB\xC7\xFD\xB6\xAF" "CD\r\nX");
  // A static keeps the text as it is given.
  SetDlgItemTextA(dialog, IDC_INSTALL, text.c_str());
  GetDlgItemTextA(dialog, IDC_INSTALL, shown, sizeof shown);
  EXPECT_EQ(std::string(shown), text);
  // Cut short, a double-byte character is left out whole.
  char four[4];
  EXPECT_EQ(GetDlgItemTextA(dialog, IDC_SUMMARY, four, sizeof four), 2u);
  EXPECT_STREQ(four, "AB");
  const auto entries = sim::TranscriptOf("dialog");
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(sim::BytesFromHex(entries[0]["set_bytes"].get<std::string>()), text);
}

}  // namespace
