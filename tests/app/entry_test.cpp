// The argument part of a command line, the text WinMain receives (what
// follows the program's own name and the characters of code 1 to 32 after
// it), and start-up inside the test's process, where the program state can be
// read: the language flag, InfPath, the summary and the 9x paths that the
// entry fills before it looks at the command line, and how the dialog changes them.
#include "app/entry.h"
#include "res/resource.h"
#include "tests/support/dialog_script.h"
#include "tests/support/package_run.h"
#include "ui/ui.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/pnp/pnp.h"
#include "platform/sim/user32/user32.h"

#include <fstream>

#include <unistd.h>

namespace {

TEST(ArgumentPart, SkipsTheProgramsNameAndTheCharactersOfCode1To32AfterIt) {
  const struct {
    const char* name;
    std::string commandLine;
    std::string argumentPart;
  } cases[] = {
      {"QuotedNameWithBlanksThenUninstall", "\"C:\\Program Files\\Example Setup\\setup.exe\" /U", "/U"},
      {"QuotedNameEndsAtItsClosingQuote", "\"C:\\Program Files\\setup.exe\"/S", "/S"},
      // Only a leading quote makes a quoted name; any other ends at a blank.
      {"QuoteInsideAnUnquotedName", "C:\\a\"b c\" /S", "c\" /S"},
      {"QuoteNeverClosed", "\"C:\\Program Files\\setup.exe /U", ""},
      {"UnquotedNameAlone", "setup.exe", ""},
      {"UnquotedNameEndsAtAControlCharacter", "C:\\tools\\setup\x01/U", "/U"},
      {"EveryCode1To32IsSkippedAfterTheName", std::string("setup \x01\x02\t\n\v\f\r\x1b\x1f ") + "/s /u  ", "/s /u  "},
      {"Code127IsNotSkipped", "setup \x7f/S", "\x7f/S"},
      // Bytes over 127 are characters of the code page (here GBK), not blanks.
      {"BytesOver127InAnUnquotedName", "C:\\\xb0\xb2\xd7\xb0\\setup.exe /S", "/S"},
      {"ByteOver127AfterTheNameIsKept", "setup.exe \xa0/S", "\xa0/S"},
  };
  for (const auto& c : cases) EXPECT_EQ(std::string(ArgumentPart(c.commandLine.c_str())), c.argumentPart) << c.name;
  EXPECT_STREQ(ArgumentPart(nullptr), "");
}

const char kExampleSummary[] = "Example Devices\r\n    |__ Example USB Sensor\r\n        |__ 11/20/2026,1.3.0.0";

struct MachineCase {
  const char* name;
  DWORD version;
  LANGID language;
  bool nineX;
};
void PrintTo(const MachineCase& c, std::ostream* os) { *os << c.name; }

// Each family, and each language, once: the language decides nothing but the flag.
const MachineCase kMachines[] = {
    {"NtEnglish", 0x4A65000A, 0x0409, false},
    {"Win98Chinese", 0xC0000A04, 0x0804, true},
};

class EntryStartUp : public test::PackageRun, public ::testing::WithParamInterface<MachineCase> {
 protected:
  EntryStartUp() { machine_.version = GetParam().version, machine_.language = GetParam().language; }
  // An unknown switch: start-up runs whole, and no action follows.
  int StartWithoutAction() { return AppEntry(sim::ProgramInstance(), "/x"); }
};

// Without an INF no path is filled and the platform is not asked; with one,
// a failed platform check (a Windows directory it cannot read) shows its box
// and leaves the 9x paths empty.
TEST_P(EntryStartUp, FillsThePathsAndTheSummaryBeforeTheCommandLine) {
  EXPECT_EQ(StartWithoutAction(), 0);
  EXPECT_EQ(std::string(AppState.SummaryText), "No found *.inf!");
  EXPECT_EQ(std::string(AppState.InfPath) + AppState.InfCopyPath + AppState.DriverIndexPath, "");
  EXPECT_EQ(sim::CallCounts().count("GetWindowsDirectoryA"), 0u);
  CopyExamplePackage("a.inf");
  for (const bool directoryFails : {false, true}) {
    SCOPED_TRACE(directoryFails ? "no Windows directory" : "an INF");
    sim::CurrentMachine().windows_directory_fails = directoryFails;
    AppState = ProgramState{};
    EXPECT_EQ(StartWithoutAction(), 0);
    EXPECT_EQ(AppState.UseChinese, GetParam().language == 0x0804 ? 1 : 0);
    EXPECT_EQ(std::string(AppState.InfPath), PackagePath("a.inf"));
    EXPECT_EQ(std::string(AppState.SummaryText), kExampleSummary);
    const bool nineX = GetParam().nineX && !directoryFails;
    EXPECT_EQ(std::string(AppState.InfCopyPath), nineX ? "C:\\WINDOWS\\inf\\a.inf" : "");
    EXPECT_EQ(std::string(AppState.DriverIndexPath), nineX ? "C:\\WINDOWS\\inf\\drvidx.bin" : "");
    EXPECT_EQ(test::MessageBoxes().size(), directoryFails ? 1u : 0u);
  }
}

// A path that does not fit InfPath is refused, not cut: the INF counts as not
// found, so nothing is opened under a shortened name. The family is still
// asked, since the dialog may pick a file whose path fits.
TEST_P(EntryStartUp, AnInfPathTooLongForItsBufferIsRefused) {
  test::fs::path deep = packageDir_;
  while (sim::WindowsPathOf(deep).size() < 235) deep /= std::string(40, 'd');
  test::fs::create_directories(deep);
  ASSERT_EQ(chdir(deep.c_str()), 0);
  const std::string name = "example-driver-package-for-the-sensor.inf";
  ASSERT_GT(sim::WindowsPathOf(deep).size() + 1 + name.size(), MAX_PATH - 1);
  ASSERT_LT(sim::WindowsPathOf(deep).size(), MAX_PATH);
  std::ofstream(deep / name) << ExampleInf();

  EXPECT_EQ(AppEntry(sim::ProgramInstance(), "/S"), 1);
  EXPECT_EQ(std::string(AppState.InfPath), "");
  EXPECT_EQ(std::string(AppState.SummaryText), "No found *.inf!");
  EXPECT_EQ(std::string(AppState.InfCopyPath), GetParam().nineX ? "C:\\WINDOWS\\inf\\" + name : "");
  EXPECT_TRUE(sim::StagedInfFiles().empty());
}

// In the dialog, an INF copy path too long for its buffer is refused; picking
// a file whose path fits afterwards gives the path again, as the family has
// not changed. On the NT family there is never one.
TEST_P(EntryStartUp, AnInfCopyPathRefusedInTheDialogIsBuiltAgainForTheNextFile) {
  const std::string windows = "C:\\" + std::string(230, 'W');
  sim::CurrentMachine().windows_directory = windows;
  const std::string longName = "b" + std::string(40, 'x') + ".inf";
  CopyExamplePackage("a.inf");
  WritePackageFile(longName, ExampleInf());
  ASSERT_GT(windows.size() + 5 + longName.size(), MAX_PATH - 1u);
  ASSERT_EQ(StartWithoutAction(), 0);
  std::vector<std::string> copyPaths, infPaths;
  test::RunDialog(IDD_MAIN, MainDialogProc, {"select 1", "select 0"}, [&](size_t i) {
    if (i == 0) return;
    copyPaths.push_back(AppState.InfCopyPath);
    infPaths.push_back(AppState.InfPath);
  });
  EXPECT_EQ(infPaths, (std::vector<std::string>{PackagePath(longName), PackagePath("a.inf")}));
  EXPECT_EQ(copyPaths, (std::vector<std::string>{"", GetParam().nineX ? windows + "\\inf\\a.inf" : ""}));
  EXPECT_EQ(std::string(AppState.DriverIndexPath), GetParam().nineX ? windows + "\\inf\\drvidx.bin" : "");
}

INSTANTIATE_TEST_SUITE_P(Machines, EntryStartUp, ::testing::ValuesIn(kMachines),
                         [](const ::testing::TestParamInfo<MachineCase>& info) { return info.param.name; });

}  // namespace
