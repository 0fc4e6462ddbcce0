// The program's dialogs as the simulation reads them from the compiled
// resource script: both as the user sees them, the parser's refusal of cut
// data, and the controls a template may hold for the simulation to run it.
#include "res/resource.h"
#include "tests/support/dialog_script.h"
#include "tests/support/sim_fixture.h"
#include "platform/sim/frontend/frontend.h"
#include "platform/sim/user32/user32.h"
#include "platform/sim/user32/windows.h"

#include <algorithm>
#include <tuple>

namespace {

class DialogTemplates : public test::SimTest {};

// Every control of both templates with its class, kind, visibility and text,
// as the snapshot shows what the template holds.
TEST_F(DialogTemplates, MakeTheDialogsOfTheResourceScript) {
  const DLGPROC closeOnEsc = [](HWND dialog, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 2);
    return 0;
  };
  std::string main, help;
  test::RunDialog(IDD_MAIN, closeOnEsc, {}, [&](size_t) { main = sim::UiSnapshot(); });
  test::RunDialog(IDD_HELP, closeOnEsc, {}, [&](size_t) { help = sim::UiSnapshot(); });
  EXPECT_EQ(main,
            "dialog 129 \"Setup V1.31\" visible enabled owner=none focus=none default=1001\n"
            "  65535 button groupbox visible \"Device Driver Install / UnInstall\"\n"
            "  65535 static left visible \"Select INF File :\"\n"
            "  1000 combobox dropdown visible selected=-1 items=[] \"\"\n"
            "  1001 button defpushbutton visible \"INSTALL\"\n"
            "  1002 button pushbutton visible \"UNINSTALL\"\n"
            "  1003 edit multiline+uppercase+readonly visible \"\"\n"
            "  1004 button autocheckbox hidden unchecked \"!! Delete the driver files when uninstall the device.\"\n"
            "  1009 button pushbutton visible \"? HELP\"\n"
            "stack 129\nbox none\n");
  EXPECT_EQ(help,
            "dialog 103 \"Setup Program Overview \" visible enabled owner=none focus=none default=none\n"
            "  65535 button groupbox visible \"Setup program Overview \"\n"
            "  1012 static left visible \"Static\"\n"
            "stack 103\nbox none\n");
  // Where they are, in dialog units (the terminal draws them there).
  const sim::DialogTemplate* t = sim::FindDialogTemplate(IDD_HELP);
  EXPECT_EQ(std::tie(t->x, t->y, t->cx, t->cy, t->items[1].x, t->items[1].y, t->items[1].cx, t->items[1].cy),
            std::make_tuple(22, 17, 181, 144, 6, 8, 167, 127));
}

TEST_F(DialogTemplates, OfOtherControlsAreRefused) {
  const sim::DialogTemplate& main = *sim::FindDialogTemplate(IDD_MAIN);
  EXPECT_EQ(sim::internal::OutsideModel(main), "");
  // Item, class, style: a radio button, a 3-state box, a sorted combo box,
  // a single-line edit, a list box, a disabled button.
  const std::tuple<size_t, WORD, DWORD> changes[] = {{3, 0x80, 0x50010009}, {6, 0x80, 0x40010006}, {2, 0x85, 0x50200102},
                                                     {5, 0x81, 0x50810888}, {2, 0x83, 0x50200002}, {4, 0x80, 0x58010000}};
  for (const auto& [index, classOrdinal, style] : changes) {
    sim::DialogTemplate changed = main;
    changed.items[index].classOrdinal = classOrdinal;
    changed.items[index].style = style;
    EXPECT_EQ(sim::internal::OutsideModel(changed).find("control " + std::to_string(main.items[index].id)), 0u) << index;
  }
}

TEST(DialogTemplateParser, RefusesExtendedAndTruncatedData) {
  const auto& resources = sim::ProgramResources();
  const auto main = std::find_if(resources.begin(), resources.end(), [](const auto& r) { return r.typeId == 5 && r.nameId == IDD_MAIN; });
  ASSERT_TRUE(main != resources.end() && sim::ParseDialogTemplate(main->data).has_value());
  // Every cut short of the last item's end fails whole; nothing is read past the end.
  for (size_t n = 0; n + 2 < main->data.size(); n += 3)
    EXPECT_FALSE(sim::ParseDialogTemplate(main->data.substr(0, n)).has_value()) << n;
  std::string extended = main->data;
  extended.replace(0, 4, std::string("\x01\x00\xFF\xFF", 4));
  EXPECT_FALSE(sim::ParseDialogTemplate(extended).has_value());
}

}  // namespace
