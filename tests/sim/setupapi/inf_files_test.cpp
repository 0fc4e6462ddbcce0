// INF files as the setup library reads them: SetupOpenInfFileA and
// SetupCloseInfFile, the files that open or are refused, how a line is cut
// into a key and fields, and SetupDiGetActualSectionToInstallA.
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/setupapi/inf_files.h"
#include "tests/support/sim_fixture.h"

#include <cstring>

namespace {

#define STD_HEADER "[Version]\r\nSignature=\"$CHICAGO$\"\r\n"

class InfFiles : public test::SimTest {};

// Lines as the setup library cuts them: key, then fields, after %strings%.
TEST_F(InfFiles, KeysAndFields) {
  const struct {
    std::string line;
    const char* key;  // null: the line has no key
    std::vector<std::string> fields;
  } cases[] = {
      {"ab=cd,ef,gh,ij", "ab", {"cd", "ef", "gh", "ij"}}, {"ab", "ab", {"ab"}}, {"ab,cd=ef", nullptr, {"ab", "cd=ef"}},
      {"ab  \\ ;cc\ncd=ef", "abcd", {"ef"}}, {"ba \\ dc=xx", "ba \\ dc", {"xx"}}, {"ba=c \\ \n \\ \n a", "ba", {"ca"}},
      {"ab\"\"\"cd,ef=gh\"", "ab\"cd,ef=gh", {"ab\"cd,ef=gh"}}, {" a b = c ,\" d\" \n", "a b", {"c", " d"}},
      {"a=b,,,c", "a", {"b", "", "", "c"}}, {"a=\n", "a", {""}}, {"ab=c ; comment, not a field", "ab", {"c"}},
      {"%% %foo%=%bar%yy", "% aaa", {"bbbyy"}}, {"abc=%bar;bla%", "abc", {"%bar"}}, {"loop=%loop%", "loop", {"%loop2%"}},
      {"%per%%cent%=100", "12", {"100"}},
      {"d=%10%\\inf,%11%,%12%,%17%,%24%\\x,%99%,%0x0A%", "d",
       {"C:\\WINDOWS\\inf", "C:\\WINDOWS\\system32", "C:\\WINDOWS\\system32\\drivers", "C:\\WINDOWS\\INF", "C:\\x",
        "%99%", "%0x0A%"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.line));
    const std::string text = STD_HEADER "[Test]\n" + c.line +
                             "\n[Strings]\nfoo=aaa\nbar=bbb\nloop=%loop2%\nloop2=%loop%\nper=1\ncent=2\n";
    const sim::internal::InfLoad load = sim::internal::ParseInf(text, "C:\\pkg\\t.inf", 1252, 0x0409);
    const sim::internal::InfSection* s = load.inf ? load.inf->Section("test") : nullptr;
    ASSERT_TRUE(s && s->lines.size() == 1) << std::hex << load.error;
    EXPECT_EQ(load.inf->Field(s->lines[0], 0).value_or("<none>"), c.key ? c.key : "<none>");
    std::vector<std::string> fields;
    for (size_t i = 1; i <= s->lines[0].fields.size(); ++i) fields.push_back(*load.inf->Field(s->lines[0], i));
    EXPECT_EQ(fields, c.fields);
  }
}

// A file read by one process is read by the next without being parsed again,
// and a copy of it shares its parse: neither may show through. The copy's %1%
// is its own directory, and a file rewritten with text of the same length is
// read anew, the other left as it was.
TEST_F(InfFiles, ACopyReadsAsItselfAndARewriteIsReadAgain) {
  const std::string original = PackagePath("a.inf"), copy = sim::InfDirectory() + "\\oem9.inf";
  WriteMachineFile(original, STD_HEADER "[S]\nd=%01%\\x\n");
  WriteMachineFile(copy, STD_HEADER "[S]\nd=%01%\\x\n");
  auto valueOf = [](const std::string& path) {
    const sim::internal::InfLoad load = sim::internal::LoadInf(path);
    return load.inf ? load.inf->Value("S", "d") : "error " + std::to_string(load.error);
  };
  for (int process = 0; process < 2; ++process) {
    EXPECT_EQ(valueOf(original), original.substr(0, original.rfind('\\')) + "\\x");
    EXPECT_EQ(valueOf(copy), process ? sim::WindowsDirectory() + "\\y" : sim::InfDirectory() + "\\x");
    sim::ResetProcessState();
    WriteMachineFile(copy, STD_HEADER "[S]\nd=%10%\\y\n");
  }
}

// SetupDiGetActualSectionToInstallA on the platforms Wine cannot be: .NTx86
// before .NT; no decoration on the 9x family; and the section's letter case
// does not matter. The program passes the same buffer as the name and the
// result; one byte short, nothing is written. (This machine's own
// decorations, and which files open, are held against Wine by the
// conformance probe; a UTF-16 file, which it cannot write, here.)
TEST_F(InfFiles, ActualSectionForThePlatform) {
  const struct {
    DWORD version;
    const char* architecture;
    const char* sections;  // section headers of the INF
    const char* expected;
    bool utf16 = false;  // the INF in UTF-16 with its byte-order mark
  } cases[] = {
      {0x4A65000A, "x86", "[Install.NT]\n[Install.NTx86]\n[Install.NTamd64]\n", "Install.NTx86"},
      {0x4A65000A, "amd64", "[install.ntAMD64]\n", "Install.NTamd64"},
      {0x4A65000A, "amd64", "[Install.NT]\r\n", "Install.NT", true},
      {0xC0000A04, "x86", "[Install]\n[Install.NT]\n[Install.NTx86]\n", "Install"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sections);
    sim::CurrentMachine().version = c.version;
    sim::CurrentMachine().architecture = c.architecture;
    const std::string name = "d" + std::to_string(&c - cases) + ".inf";
    const std::string text = std::string(STD_HEADER) + c.sections;
    std::string utf16 = "\xFF\xFE";
    for (char byte : text) utf16 += std::string{byte, '\0'};
    WritePackageFile(name, c.utf16 ? utf16 : text);
    HINF inf = SetupOpenInfFileA(PackagePath(name).c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    char buffer[100] = "Install";
    const DWORD fits = static_cast<DWORD>(std::strlen(c.expected) + 1);
    EXPECT_RESULT_AND_ERROR(SetupDiGetActualSectionToInstallA(inf, buffer, buffer, fits - 1, nullptr, nullptr), FALSE,
                            ERROR_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buffer, "Install");
    EXPECT_RESULT_AND_ERROR(SetupDiGetActualSectionToInstallA(inf, buffer, buffer, fits, nullptr, nullptr), TRUE,
                            ERROR_SUCCESS);
    EXPECT_STREQ(buffer, c.expected);
    SetupCloseInfFile(inf);
    EXPECT_RESULT_AND_ERROR(SetupDiGetActualSectionToInstallA(inf, "Install", buffer, 20, nullptr, nullptr), FALSE,
                            ERROR_INVALID_HANDLE);
  }
}

}  // namespace
