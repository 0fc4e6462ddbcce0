// The simulated dialog manager, driven through the scripted front end: the
// modal loop, the user's keys and clicks (with nested dialogs and boxes), the
// end of the input, and what the user32 calls answer and fail with.
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

#include <algorithm>
#include <tuple>
#include <functional>

namespace {

struct Message {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Message> g_log;
bool g_endInDestroy = false;
bool g_showBox = false;
HWND g_main = nullptr;
HWND g_install = nullptr;

WPARAM Cmd(int id, WORD code) { return static_cast<WPARAM>(id) | (static_cast<WPARAM>(code) << 16); }

// The commands logged from `from` on; with `focus` false, without the focus notifications.
std::vector<WPARAM> Commands(size_t from, bool focus = true) {
  std::vector<WPARAM> out;
  for (size_t i = from; i < g_log.size(); ++i) {
    const WORD code = HIWORD(g_log[i].wParam);
    const bool focusCode = code == EN_SETFOCUS || code == EN_KILLFOCUS || code == CBN_SETFOCUS || code == CBN_KILLFOCUS;
    if (g_log[i].message == WM_COMMAND && (focus || !focusCode)) out.push_back(g_log[i].wParam);
  }
  return out;
}

// Fills the combo box and answers the buttons: INSTALL shows an owned box (when
// asked to), HELP opens the program's help dialog and then shows the option.
INT_PTR CALLBACK MainRecorder(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  g_log.push_back({message, wParam, lParam});
  switch (message) {
    case WM_INITDIALOG:
      g_main = dialog;
      g_install = GetDlgItem(dialog, IDC_INSTALL);
      for (const char* name : {"a.inf", "b.inf"})
        SendDlgItemMessageA(dialog, IDC_INF_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
      SendDlgItemMessageA(dialog, IDC_INF_COMBO, CB_SETCURSEL, 0, 0);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 2);
      if (LOWORD(wParam) == IDC_INSTALL && g_showBox) MessageBoxA(dialog, "owned", "T", MB_OK);
      if (LOWORD(wParam) == IDC_HELP) {
        DialogBoxParamA(sim::ProgramInstance(), MAKEINTRESOURCEA(IDD_HELP), dialog, HelpDialogProc, 0);
        ShowWindow(GetDlgItem(dialog, IDC_DELETE_FILES), SW_SHOW);
      }
      return 0;
    case WM_DESTROY:
      if (g_endInDestroy) EndDialog(dialog, 99);
      return 0;
    default: return 0;
  }
}

// A field of the first line of the snapshot: "focus" of "dialog 129 ... focus=1001 ..." is "1001".
std::string SnapshotField(const std::string& field) {
  const std::string snapshot = sim::UiSnapshot();
  const std::string first = snapshot.substr(0, snapshot.find('\n'));
  const size_t at = first.find(" " + field + "=");
  if (at == std::string::npos) return "";
  const size_t start = at + field.size() + 2;
  return first.substr(start, first.find(' ', start) - start);
}

class DialogManager : public test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    g_log.clear();
    g_endInDestroy = false;
    g_showBox = false;
  }
};

TEST_F(DialogManager, ModalLoopSendsFontInitCommandsAndDestroyInOrder) {
  g_endInDestroy = true;
  const auto run = test::RunDialog(IDD_MAIN, MainRecorder, {"key esc"}, {}, nullptr, 0x1234);
  // The EndDialog in WM_DESTROY comes too late to change the result.
  EXPECT_EQ(run.result, 2);
  ASSERT_GE(g_log.size(), 4u);
  // WM_INITDIALOG's wParam names the control that would get the default focus: the first tab stop.
  EXPECT_EQ(std::make_tuple(g_log[0].message, g_log[1].message, g_log[1].wParam, g_log[1].lParam),
            std::make_tuple(UINT{WM_SETFONT}, UINT{WM_INITDIALOG}, reinterpret_cast<WPARAM>(g_install), LPARAM{0x1234}));
  // CB_SETCURSEL in WM_INITDIALOG is the program's choice and tells nobody.
  EXPECT_EQ(Commands(0), std::vector<WPARAM>{IDCANCEL});
  EXPECT_EQ(g_log.back().message, static_cast<UINT>(WM_DESTROY));
  EXPECT_FALSE(sim::IsWindowHandle(g_main)) << "the dialog is destroyed when DialogBoxParamA returns";
  EXPECT_EQ(sim::DialogEndOf(g_main).result, 99) << "the late EndDialog did happen";
  EXPECT_EQ(sim::TranscriptOf("dialog").back()["action"], "closed");
}

// What the last of a few events does: the commands it causes, where the focus
// ends (and whether the option is ticked), and the note of an event without effect.
struct EventCase {
  const char* name;
  std::vector<std::string> events;
  std::vector<WPARAM> commands;
  const char* focusAfter;
  const char* note = "";
  bool box = false;  // INSTALL shows an owned message box
};
void PrintTo(const EventCase& c, std::ostream* os) { *os << c.name; }
class Events : public DialogManager, public ::testing::WithParamInterface<EventCase> {};

TEST_P(Events, DoWhatTheyDoInARealDialog) {
  const EventCase& c = GetParam();
  g_showBox = c.box;
  size_t mark = 0;
  std::string focus;
  const auto run = test::RunDialog(IDD_MAIN, MainRecorder, c.events, [&](size_t i) {
    if (i + 1 == c.events.size()) mark = g_log.size();
    if (i == c.events.size())
      focus = SnapshotField("focus") + (IsDlgButtonChecked(g_main, IDC_DELETE_FILES) ? " ticked" : "");
  });
  std::vector<WPARAM> got = Commands(mark, false);
  // What the end of the events adds (Esc, IDCANCEL) is not the event's doing.
  if (!got.empty() && got.back() == static_cast<WPARAM>(IDCANCEL) && c.events.back() != "key esc") got.pop_back();
  EXPECT_EQ(got, c.commands);
  EXPECT_EQ(focus, c.focusAfter);
  const std::string block = "=== " + std::to_string(c.events.size()) + ": " + c.events.back() + "\nnote: ";
  EXPECT_EQ(run.output.find(block + c.note) != std::string::npos, *c.note != '\0') << run.output;
}

// (Tab past the hidden option, Space on a push button, Up from INSTALL and
// Shift+Tab to the shown option are the terminal test's, on the program itself.)
const EventCase kEventCases[] = {
    {"EnterWithoutFocusPressesTheDefaultButton", {"key enter"}, {Cmd(IDC_INSTALL, BN_CLICKED)}, "none"},
    {"ShiftTabWithoutFocusDoesNothing", {"key shift-tab"}, {}, "none", "no effect: there is no tab stop to move to"},
    {"ShiftTabWrapsToTheLastTabStop", {"key tab", "key shift-tab"}, {}, "1009"},
    {"EnterPressesTheFocusedPushButton", {"key tab", "key tab", "key enter"}, {Cmd(IDC_UNINSTALL, BN_CLICKED)}, "1002"},
    {"EnterInTheSummaryPressesTheDefaultButton", {"key tab", "key tab", "key tab", "key enter"}, {Cmd(IDC_INSTALL, BN_CLICKED)}, "1001"},
    {"EscInTheSummaryClosesTheDialog", {"key tab", "key tab", "key tab", "key esc"}, {Cmd(IDCANCEL, BN_CLICKED)}, ""},
    {"SpaceWithoutFocusDoesNothing", {"key space"}, {}, "none", "no effect: no control has the focus"},
    {"DownAtTheLastItemChangesNothing", {"key tab", "key up", "key down", "key down"}, {}, "1000", "no effect: the selection is already at the end of the list"},
    {"TypingIntoTheComboBoxIsRefused", {"key tab", "key up", "key space"}, {}, "1000", "refused: typing into a combo box is not simulated"},
    {"ArrowsInTheSummaryStayThere", {"key tab", "key tab", "key tab", "key down"}, {}, "1003", "no effect: the edit field takes the arrow keys"},
    {"ClickingTheHiddenCheckBoxIsRefused", {"press 1004"}, {}, "none", "refused: control 1004 is hidden"},
    {"CheckingAPushButtonIsRefused", {"check 1001"}, {}, "none", "refused: control 1001 is not a check box"},
    {"SelectingAnItemDropsTheListDownAndClosesIt", {"select 1"}, {Cmd(IDC_INF_COMBO, CBN_DROPDOWN), Cmd(IDC_INF_COMBO, CBN_SELCHANGE), Cmd(IDC_INF_COMBO, CBN_SELENDOK), Cmd(IDC_INF_COMBO, CBN_CLOSEUP)}, "1000"},
    {"SelectingAMissingItemIsRefused", {"select 9"}, {}, "none", "refused: combo box 1000 has no item 9 (it has 2)"},
    {"AnUnknownEventIsNoted", {"jump"}, {}, "none", "error: unknown event"},
    {"AnUnknownKeyIsNoted", {"key f1"}, {}, "none", "error: unknown key \"f1\""},
    {"AnOwnedBoxDisablesTheDialog", {"press 1001", "press 1002"}, {}, "none", "refused: dialog 129 is disabled while the message box is open", true},
    {"EnterClosesTheBoxAndTheDialogTakesClicksAgain", {"press 1001", "key enter", "press 1002"}, {Cmd(IDC_UNINSTALL, BN_CLICKED)}, "1002", "", true},
    {"TheOwnerOfTheHelpTakesNoClicks", {"press 1009", "press 1001"}, {}, "65535", "refused: dialog 103 has no control 1001"},
    {"TheHelpWithoutTabStopsFocusesItsFirstControl", {"press 1009", "key tab"}, {}, "65535"},
    {"CheckingTheTickedBoxChangesNothing", {"press 1009", "key esc", "check 1004", "check 1004"}, {}, "1004 ticked", "no effect: control 1004 is already checked"},
};
INSTANTIATE_TEST_SUITE_P(Table, Events, ::testing::ValuesIn(kEventCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The main dialog's template with a procedure that ignores Esc and the close
// box, which the program's own never does: the run stops instead of hanging.
TEST_F(DialogManager, ADialogThatIgnoresEscAndItsCloseBoxStopsTheRun) {
  const DLGPROC ignoreEverything = [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return 0; };
  EXPECT_EXIT(test::RunDialog(IDD_MAIN, ignoreEverything, {}), ::testing::ExitedWithCode(3),
              "the events ended and dialog 129 does not close on Esc or its close box");
}

// What the calls answer and the errors they fail with, as on Windows, one
// after the other on one dialog. (What the simulation refuses because the
// program never asks it is the refusals' test.)
struct CallCase {
  const char* name;
  std::function<LRESULT(HWND dialog)> call;
  LRESULT result;
  DWORD error;
};

TEST_F(DialogManager, CallsGiveTheirResultAndError) {
  sim::CurrentMachine().language = 0x0804;  // code page 936
  sim::UseScriptedUi([] { return std::optional<std::string>(); }, nullptr);
  const HWND bogus = reinterpret_cast<HWND>(0x4321);
  char text[32] = "";
  // "Ab", then 驱动 in code page 936, whose bytes stay, then "cd": the upper-case edit shows capitals.
  const std::string given = "Ab\xC7\xFD\xB6\xAF" "cd\r\nx";
  const CallCase cases[] = {
      {"CB_ADDSTRING", [](HWND d) { return SendDlgItemMessageA(d, IDC_INF_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("second.inf")); }, 0, 0xdeadbeef},
      {"CB_ADDSTRING, no CBS_SORT", [](HWND d) { return SendDlgItemMessageA(d, IDC_INF_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("first.inf")); }, 1, 0xdeadbeef},
      {"CB_GETLBTEXT", [&](HWND d) { return SendDlgItemMessageA(d, IDC_INF_COMBO, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text)); }, 9, 0xdeadbeef},
      {"ShowWindow of the hidden option", [](HWND d) -> LRESULT { return ShowWindow(GetDlgItem(d, IDC_DELETE_FILES), SW_SHOW); }, FALSE, 0xdeadbeef},
      {"ShowWindow of the shown option", [](HWND d) -> LRESULT { return ShowWindow(GetDlgItem(d, IDC_DELETE_FILES), SW_SHOW); }, TRUE, 0xdeadbeef},
      {"SetDlgItemTextA", [&](HWND d) -> LRESULT { return SetDlgItemTextA(d, IDC_SUMMARY, given.c_str()); }, TRUE, 0xdeadbeef},
      {"GetDlgItemTextA", [&](HWND d) -> LRESULT { return GetDlgItemTextA(d, IDC_SUMMARY, text, sizeof text); }, 11, 0xdeadbeef},
      {"DialogBoxParamA of a missing template", [](HWND) { return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(777), nullptr, MainRecorder, 0); }, -1, ERROR_RESOURCE_NAME_NOT_FOUND},
      {"DialogBoxParamA of \"#0x81\"", [](HWND) { return DialogBoxParamA(nullptr, "#0x81", nullptr, MainRecorder, 0); }, -1, ERROR_RESOURCE_NAME_NOT_FOUND},
      {"DialogBoxParamA with a bad owner", [&](HWND) { return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_MAIN), bogus, MainRecorder, 0); }, 0, ERROR_INVALID_WINDOW_HANDLE},
      {"DialogBoxParamA \"#129\" (Esc answers it)", [](HWND) { return DialogBoxParamA(nullptr, "#129", nullptr, MainRecorder, 0); }, 2, 0xdeadbeef},
      {"EndDialog of a control", [](HWND d) -> LRESULT { return EndDialog(GetDlgItem(d, IDC_INSTALL), 1); }, FALSE, ERROR_INVALID_WINDOW_HANDLE},
      {"GetDlgItem of a bad window", [&](HWND) { return reinterpret_cast<LRESULT>(GetDlgItem(bogus, IDC_INSTALL)); }, 0, ERROR_INVALID_WINDOW_HANDLE},
      {"GetDlgItem of a missing id", [](HWND d) { return reinterpret_cast<LRESULT>(GetDlgItem(d, 4711)); }, 0, ERROR_CONTROL_ID_NOT_FOUND},
      {"a template's 65535 is not -1", [](HWND d) { return reinterpret_cast<LRESULT>(GetDlgItem(d, -1)); }, 0, ERROR_CONTROL_ID_NOT_FOUND},
      {"UpdateWindow of a bad window", [&](HWND) -> LRESULT { return UpdateWindow(bogus); }, FALSE, ERROR_INVALID_WINDOW_HANDLE},
      {"UpdateWindow", [](HWND d) -> LRESULT { return UpdateWindow(d); }, TRUE, 0xdeadbeef},
      {"DefWindowProcA of a command", [](HWND d) { return DefWindowProcA(d, WM_COMMAND, 4711, 0); }, 0, 0xdeadbeef},
  };
  const HWND dialog = sim::NewTestDialog(IDD_MAIN);
  for (const CallCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_RESULT_AND_ERROR(c.call(dialog), c.result, c.error);
  }
  EXPECT_TRUE(sim::TranscriptOf("unmodelled").empty());
  EXPECT_EQ(std::string(text), "AB\xC7\xFD\xB6\xAF" "CD\r\nX");
  for (const auto& e : sim::TranscriptOf("dialog"))
    if (e["action"] == "text") {
      EXPECT_EQ(sim::BytesFromHex(e["set_bytes"].get<std::string>()), given);
    }
  EXPECT_EQ(std::count_if(g_log.begin(), g_log.end(), [](const Message& m) { return m.message == WM_INITDIALOG; }), 1)
      << "only the \"#129\" call reached the procedure";
}

}  // namespace
