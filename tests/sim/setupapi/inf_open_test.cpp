// SetupOpenInfFileA and SetupCloseInfFile, and the INF reading rules the
// other setup calls share: file formats that open or are refused, and how a
// line is cut into a key and fields.
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/setupapi/setupapi.h"
#include "tests/support/sim_fixture.h"

#include <filesystem>

namespace {

#define STD_HEADER "[Version]\r\nSignature=\"$CHICAGO$\"\r\n"

struct FileCase {
  std::string data;
  DWORD error;  // 0: opens
  UINT errorLine;
};
// Printed by its text: the bytes of the record hold the unused part of a
// string's own buffer, which memcheck reports as uninitialised.
void PrintTo(const FileCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.data); }

class InfOpenFiles : public test::SimTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(InfOpenFiles, OpensOrFailsWithLine) {
  const FileCase& c = GetParam();
  WritePackageFile("tmp.inf", c.data);
  UINT line = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  HINF inf = SetupOpenInfFileA(PackagePath("tmp.inf").c_str(), nullptr, INF_STYLE_WIN4, &line);
  EXPECT_EQ(GetLastError(), c.error) << std::hex << GetLastError();
  EXPECT_EQ(inf == INVALID_HANDLE_VALUE, c.error != 0);
  EXPECT_EQ(line, c.error ? c.errorLine : 0xdeadbeef);
  if (inf != INVALID_HANDLE_VALUE) SetupCloseInfFile(inf);
}

INSTANTIATE_TEST_SUITE_P(
    WineTable, InfOpenFiles,
    ::testing::Values(FileCase{"\r\n", ERROR_WRONG_INF_STYLE, 0},
                      FileCase{"[Version]\nSignature=foo", ERROR_WRONG_INF_STYLE, 0},
                      FileCase{"[version]\nsignature=$chicago$", 0, 0},
                      FileCase{"[Version]\nabc=def\n[Version]\nSignature=$chicago$", 0, 0},
                      FileCase{"[Version]\nSignature=\"$Windows NT$\"", 0, 0},
                      FileCase{STD_HEADER "[" + std::string(255, 'a') + "]\r\n", 0, 0},
                      FileCase{STD_HEADER "[ab\r\n", ERROR_BAD_SECTION_NAME_LINE, 3},
                      FileCase{STD_HEADER "\n\n[ab\x1a]\n", ERROR_BAD_SECTION_NAME_LINE, 5},
                      FileCase{STD_HEADER "[" + std::string(256, 'a') + "]\r\n", ERROR_SECTION_NAME_TOO_LONG, 3},
                      FileCase{";\n;\nab\nab\n" STD_HEADER, ERROR_EXPECTED_SECTION_NAME, 3},
                      FileCase{";aa\n;bb\n" STD_HEADER, 0, 0},
                      FileCase{"garbage1\ngarbage2\n[Strings]\n" STD_HEADER, 0, 0}));

// Lines as the setup library cuts them: key, then fields, after %strings%.
struct LineCase {
  std::string line;
  const char* key;  // null: the line has no key
  std::vector<std::string> fields;
};
void PrintTo(const LineCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.line); }

class InfLines : public test::SimTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(InfLines, KeyAndFields) {
  const LineCase& c = GetParam();
  const std::string text = STD_HEADER "[Test]\n" + c.line +
                           "\n[Strings]\nfoo=aaa\nbar=bbb\nloop=%loop2%\nloop2=%loop%\nper=1\ncent=2\n";
  const sim::internal::InfLoad load = sim::internal::ParseInf(text, "C:\\pkg\\t.inf", 1252, 0x0409);
  ASSERT_TRUE(load.inf) << std::hex << load.error;
  const sim::internal::InfSection* s = load.inf->Section("test");
  ASSERT_TRUE(s);
  ASSERT_EQ(s->lines.size(), 1u);
  const sim::internal::InfLine& line = s->lines[0];
  if (c.key) {
    EXPECT_EQ(load.inf->Field(line, 0).value_or("<none>"), c.key);
  } else {
    EXPECT_FALSE(line.hasKey);
  }
  std::vector<std::string> fields;
  for (size_t i = 1; i <= line.fields.size(); ++i) fields.push_back(*load.inf->Field(line, i));
  EXPECT_EQ(fields, c.fields);
}

INSTANTIATE_TEST_SUITE_P(
    WineTable, InfLines,
    ::testing::Values(LineCase{"ab=cd,ef,gh,ij", "ab", {"cd", "ef", "gh", "ij"}}, LineCase{"ab", "ab", {"ab"}},
                      LineCase{"ab,cd=ef", nullptr, {"ab", "cd=ef"}}, LineCase{"ab  \\ ;cc\ncd=ef", "abcd", {"ef"}},
                      LineCase{"ba \\ dc=xx", "ba \\ dc", {"xx"}}, LineCase{"ba=c \\ \n \\ \n a", "ba", {"ca"}},
                      LineCase{"ab\"\"\"cd,ef=gh\"", "ab\"cd,ef=gh", {"ab\"cd,ef=gh"}},
                      LineCase{" a b = c ,\" d\" \n", "a b", {"c", " d"}}, LineCase{"a=b,,,c", "a", {"b", "", "", "c"}},
                      LineCase{"a=\n", "a", {""}}, LineCase{"ab=c ; comment, not a field", "ab", {"c"}},
                      LineCase{"%% %foo%=%bar%yy", "% aaa", {"bbbyy"}}, LineCase{"abc=%bar;bla%", "abc", {"%bar"}},
                      LineCase{"loop=%loop%", "loop", {"%loop2%"}}, LineCase{"%per%%cent%=100", "12", {"100"}},
                      LineCase{"d=%10%\\inf,%11%,%12%,%17%,%24%\\x,%99%", "d",
                               {"C:\\WINDOWS\\inf", "C:\\WINDOWS\\system32", "C:\\WINDOWS\\system32\\drivers",
                                "C:\\WINDOWS\\INF", "C:\\x", "%99%"}}));

class InfOpen : public test::SimTest {};

TEST_F(InfOpen, NamesPathsStylesAndClasses) {
  WritePackageFile("drv.inf", STD_HEADER "Class=USB\r\n");
  WriteMachineFile("C:\\WINDOWS\\INF\\mine.inf", STD_HEADER);
  const std::string path = PackagePath("drv.inf");
  struct Case {
    const char* what;
    std::string path;
    const char* infClass;
    DWORD style;
    DWORD error;
  } cases[] = {
      {"full path", path, nullptr, INF_STYLE_WIN4, 0},
      {"relative path", "drv.inf", nullptr, INF_STYLE_WIN4, ERROR_FILE_NOT_FOUND},  // a bare name means the INF directory
      {"bare name of the INF directory", "mine.inf", nullptr, INF_STYLE_WIN4, 0},
      {"missing file", PackagePath("none.inf"), nullptr, INF_STYLE_WIN4, ERROR_FILE_NOT_FOUND},
      {"its class", path, "usb", INF_STYLE_WIN4, 0},
      {"another class", path, "Net", INF_STYLE_WIN4, ERROR_CLASS_MISMATCH},
      {"unknown style", path, nullptr, 0x10, ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetLastError(0xdeadbeef);
    HINF inf = SetupOpenInfFileA(c.path.c_str(), c.infClass, c.style, nullptr);
    EXPECT_EQ(GetLastError(), c.error) << std::hex << GetLastError();
    EXPECT_EQ(inf == INVALID_HANDLE_VALUE, c.error != 0);
    if (inf != INVALID_HANDLE_VALUE) SetupCloseInfFile(inf);
  }
}

TEST_F(InfOpen, Utf16FileAndClosingTwice) {
  std::string bytes = "\xFF\xFE";
  for (char c : std::string(STD_HEADER "[Strings]\r\nName=\"x\"\r\n")) bytes += std::string{c, '\0'};
  WritePackageFile("u.inf", bytes);
  HINF inf = SetupOpenInfFileA(PackagePath("u.inf").c_str(), nullptr, INF_STYLE_WIN4, nullptr);
  ASSERT_NE(inf, INVALID_HANDLE_VALUE) << std::hex << GetLastError();
  EXPECT_EQ(sim::internal::OpenInfOf(inf)->Value("Strings", "Name"), "x");
  SetupCloseInfFile(inf);
  SetLastError(0xdeadbeef);
  SetupCloseInfFile(inf);
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);  // the call says nothing, as on Windows; the ledger notes it
  ASSERT_EQ(sim::LedgerViolations().size(), 1u);
  EXPECT_NE(sim::LedgerViolations()[0].find("SetupCloseInfFile"), std::string::npos);
  expectCleanLedger_ = false;
}

// Every INF of the corpus is either read or refused with a setup error; none
// breaks the reader (the sanitizer build watches the memory).
TEST_F(InfOpen, CorpusFilesOpenOrAreRefused) {
  size_t opened = 0, files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(INF_CORPUS_DIR)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".inf") continue;
    ++files;
    SCOPED_TRACE(entry.path().string());
    SetLastError(0xdeadbeef);
    HINF inf = SetupOpenInfFileA(sim::WindowsPathOf(entry.path()).c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    if (inf == INVALID_HANDLE_VALUE) {
      EXPECT_EQ(GetLastError() & 0xE0000000u, 0xE0000000u) << std::hex << GetLastError();
      continue;
    }
    ++opened;
    SetupCloseInfFile(inf);
  }
  EXPECT_GT(files, 20u);
  EXPECT_GT(opened, files / 2);
}

}  // namespace
