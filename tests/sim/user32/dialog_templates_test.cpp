// The program's dialogs as the simulation reads them from the compiled
// resource script: the parser's refusal of cut data, and the controls a
// template may hold for the simulation to run it. (What the templates show
// is seen by every test that runs a dialog, on the terminal too.)
#include "res/resource.h"
#include "tests/support/sim_fixture.h"
#include "platform/sim/user32/windows.h"

#include <algorithm>
#include <tuple>

namespace {

class DialogTemplates : public test::SimTest {};

TEST_F(DialogTemplates, OfOtherControlsAreRefused) {
  const sim::DialogTemplate& main = *sim::FindDialogTemplate(IDD_MAIN);
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
