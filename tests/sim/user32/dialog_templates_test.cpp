// The program's resources as the simulation reads them from the compiled
// resource script: which resources exist, and both dialog templates control by
// control, as the template stores them and as the program sees the dialog.
#include "res/resource.h"
#include "tests/support/sim_fixture.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/user32/user32.h"

#include <algorithm>
#include <string>
#include <tuple>

namespace {

std::u16string U16(const char* ascii) { return std::u16string(ascii, ascii + std::char_traits<char>::length(ascii)); }

TEST(ProgramResources, EveryResourceIsThereInLanguage0804) {
  // Icons (3), dialogs (5), group icons (14), version (16), manifest (24), in (type, name) order.
  const std::vector<std::pair<WORD, WORD>> expected = {{3, 1},         {3, 2},          {5, IDD_HELP}, {5, IDD_MAIN},
                                                       {14, IDI_MAIN}, {14, IDI_SMALL}, {16, 1},       {24, 1}};
  std::vector<std::pair<WORD, WORD>> got;
  for (const sim::ResourceEntry& r : sim::ProgramResources()) {
    // A named resource (no ordinal) would show as 0 and match none.
    got.push_back({r.typeId.value_or(0), r.nameId.value_or(0)});
    EXPECT_EQ(r.language, 0x0804) << got.back().first << "/" << got.back().second;
    EXPECT_FALSE(r.data.empty()) << got.back().first << "/" << got.back().second;
  }
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, expected);
}

struct ItemCase {
  WORD id;
  WORD classOrdinal;
  const char* text;
  DWORD style;
  short x, y, cx, cy;
};

struct DialogCase {
  const char* name;
  int id;
  DWORD style;
  short x, y, cx, cy;
  const char* caption;
  WORD pointSize;
  const char* face;
  std::vector<ItemCase> items;
};
void PrintTo(const DialogCase& c, std::ostream* os) { *os << c.name; }

const DialogCase kDialogs[] = {
    {"Main", IDD_MAIN, 0x80CA08C4, 0, 0, 207, 122, "Setup V1.31", 12, "System",
     {{65535, 0x80, "Device Driver Install / UnInstall", 0x50000007, 7, 5, 194, 109},
      {65535, 0x82, "Select INF File :", 0x50020000, 13, 21, 56, 8},
      {1000, 0x85, "", 0x50200002, 73, 19, 122, 76},
      {1001, 0x80, "INSTALL", 0x50010001, 12, 37, 57, 18},
      {1002, 0x80, "UNINSTALL", 0x50010000, 12, 58, 57, 18},
      {1003, 0x81, "", 0x5081088C, 73, 37, 122, 61},
      {1004, 0x80, "!! Delete the driver files when uninstall the device.", 0x40010003, 11, 102, 177, 8},
      {1009, 0x80, "? HELP", 0x50010000, 12, 80, 57, 18}}},
    {"Help", IDD_HELP, 0x00C808C0, 22, 17, 181, 144, "Setup Program Overview ", 12, "Times New Roman",
     {{65535, 0x80, "Setup program Overview ", 0x50000007, 3, 1, 173, 138},
      {1012, 0x82, "Static", 0x50020000, 6, 8, 167, 127}}},
};

class DialogTemplates : public test::SimTest, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(DialogTemplates, TemplateHoldsEveryValueOfTheResourceScript) {
  const DialogCase& c = GetParam();
  const sim::DialogTemplate* t = sim::FindDialogTemplate(c.id);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::tie(t->style, t->x, t->y, t->cx, t->cy, t->pointSize),
            std::tie(c.style, c.x, c.y, c.cx, c.cy, c.pointSize));
  EXPECT_EQ(t->caption, U16(c.caption));
  EXPECT_EQ(t->faceName, U16(c.face));
  EXPECT_TRUE(t->exStyle == 0 && !t->menuId && t->menuName.empty() && !t->classId && t->className.empty());
  ASSERT_EQ(t->items.size(), c.items.size());
  for (size_t i = 0; i < c.items.size(); ++i) {
    const sim::DialogItemTemplate& item = t->items[i];
    const ItemCase& e = c.items[i];
    SCOPED_TRACE("item " + std::to_string(i));
    EXPECT_EQ(std::tie(item.id, item.classOrdinal, item.style, item.x, item.y, item.cx, item.cy),
              std::tie(e.id, e.classOrdinal, e.style, e.x, e.y, e.cx, e.cy));
    EXPECT_EQ(item.text, U16(e.text));
    // Classes are stored as ordinals, as rc.exe stores them.
    EXPECT_TRUE(item.exStyle == 0 && item.className.empty() && !item.textOrdinal && item.creationData.empty());
  }
}

TEST_P(DialogTemplates, ProgramSeesEachControlWithItsTextAndVisibility) {
  const DialogCase& c = GetParam();
  HWND dialog = sim::NewTestDialog(c.id);
  char caption[64];
  EXPECT_EQ(SendMessageA(dialog, WM_GETTEXT, sizeof caption, reinterpret_cast<LPARAM>(caption)),
            static_cast<LRESULT>(std::strlen(c.caption)));
  EXPECT_STREQ(caption, c.caption);
  for (const ItemCase& e : c.items) {
    if (e.id == 65535) continue;  // statics without an id are not reachable by id
    SCOPED_TRACE("control " + std::to_string(e.id));
    HWND control = GetDlgItem(dialog, e.id);
    ASSERT_NE(control, nullptr);
    char text[128];
    EXPECT_EQ(GetDlgItemTextA(dialog, e.id, text, sizeof text), std::strlen(e.text));
    EXPECT_STREQ(text, e.text);
    EXPECT_EQ(IsWindowVisible(control) != FALSE, (e.style & WS_VISIBLE) != 0);
  }
  // A template's 65535 is not the -1 that a program would pass.
  EXPECT_RESULT_AND_ERROR(GetDlgItem(dialog, -1), nullptr, ERROR_CONTROL_ID_NOT_FOUND);
}

INSTANTIATE_TEST_SUITE_P(BothDialogs, DialogTemplates, ::testing::ValuesIn(kDialogs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DialogTemplateParser, RefusesExtendedTruncatedAndMalformedData) {
  const sim::ResourceEntry* main = nullptr;
  for (const auto& r : sim::ProgramResources())
    if (r.typeId == 5 && r.nameId == IDD_MAIN) main = &r;
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(sim::ParseDialogTemplate(main->data).has_value());
  // Every cut short of the last item's end fails whole; nothing is read past the end.
  for (size_t n = 0; n + 2 < main->data.size(); n += 3)
    EXPECT_FALSE(sim::ParseDialogTemplate(main->data.substr(0, n)).has_value()) << n;
  std::string extended = main->data;
  extended.replace(0, 4, std::string("\x01\x00\xFF\xFF", 4));
  EXPECT_FALSE(sim::ParseDialogTemplate(extended).has_value());
}

TEST(ResourceFileParser, RefusesATruncatedFile) {
  std::string file;
  // A file of one entry, written as the resource compiler writes it.
  auto word = [&file](unsigned v) { file += static_cast<char>(v & 0xFF), file += static_cast<char>(v >> 8); };
  auto dword = [&](unsigned v) { word(v & 0xFFFF), word(v >> 16); };
  dword(0), dword(32), word(0xFFFF), word(0), word(0xFFFF), word(0), dword(0), word(0), word(0), dword(0), dword(0);
  dword(3), dword(32), word(0xFFFF), word(6), word(0xFFFF), word(7), dword(0), word(0x30), word(0x0804), dword(0), dword(0);
  file += "abc";
  file += '\0';  // padding to a DWORD
  const auto parsed = sim::ParseResourceFile(file);
  ASSERT_TRUE(parsed.has_value());
  ASSERT_EQ(parsed->size(), 1u);
  EXPECT_EQ((*parsed)[0].typeId, 6);
  EXPECT_EQ((*parsed)[0].nameId, 7);
  EXPECT_EQ((*parsed)[0].language, 0x0804);
  EXPECT_EQ((*parsed)[0].data, "abc");
  EXPECT_FALSE(sim::ParseResourceFile(file.substr(0, file.size() - 3)).has_value());
  EXPECT_FALSE(sim::ParseResourceFile(file.substr(0, 40)).has_value());
}

}  // namespace
