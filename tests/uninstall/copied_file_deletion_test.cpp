// The copied-file deletion: which files the INF's CopyFiles lines, copy
// sections and destination entries name, and the lines that must delete
// nothing because they point outside the directory they are bound for.
#include "app/app_state.h"
#include "inf/inf.h"
#include "tests/support/install_package.h"
#include "uninstall/uninstall.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"

#include <cstring>

namespace {

const std::string W = "C:\\WINDOWS\\";
const std::string S = "C:\\WINDOWS\\system32\\";
const std::string D = "C:\\WINDOWS\\System32\\Drivers\\";

const std::vector<std::string> kOneModel{"%D%=Inst," + test::kPackageId};

struct DeletionCase {
  const char* name;
  std::string body;                  // install, copy and destination sections
  std::vector<std::string> placed;   // files on the drive before the deletion
  std::vector<std::string> deleted;  // the paths deleted, as the program passed them, in order
  int attempts;                      // DeleteFileA calls
  std::vector<std::string> models = kOneModel;
  bool signature = true;     // false: an INF the setup library does not open
  std::string windows = "";  // the Windows directory, when not the new machine's
  std::optional<sim::FaultRule> fault = std::nullopt;
};
void PrintTo(const DeletionCase& c, std::ostream* os) { *os << c.name; }

class Deletion : public test::UninstallTest, public ::testing::WithParamInterface<DeletionCase> {};

TEST_P(Deletion, DeletesExactlyTheNamedFilesOfDirectories10And11) {
  const DeletionCase& c = GetParam();
  if (!c.windows.empty()) sim::CurrentMachine().windows_directory = c.windows;
  if (c.fault) sim::AddFault(*c.fault);
  UsePackage(c.models, c.body, c.signature);
  for (const std::string& f : c.placed) WriteMachineFile(f, "copied by the install: " + f);
  ScanInfModels(AppState.InfPath);
  char ids[kListCapacity], sections[kListCapacity];
  std::memcpy(ids, AppState.HardwareIdList, sizeof ids);
  std::memcpy(sections, AppState.InstallSectionList, sizeof sections);
  DeleteCopiedFiles();
  EXPECT_EQ(test::DeletedPaths(), c.deleted);
  EXPECT_EQ(test::CallCount("DeleteFileA"), c.attempts);
  // The rescan leaves both lists as they were, byte for byte: the device walk goes on over them.
  EXPECT_EQ(std::memcmp(AppState.HardwareIdList, ids, sizeof ids), 0);
  EXPECT_EQ(std::memcmp(AppState.InstallSectionList, sections, sizeof sections), 0);
}

// A copy section of five lines that the reader hands out cut at its 200 bytes:
// four names of 46 characters, then victim.sys.bak of which only victim.sys fits.
std::string LongName(char c) { return std::string(42, c) + ".sys"; }
const std::string kCutSection = "[A]\n" + LongName('a') + "\n" + LongName('b') + "\n" + LongName('c') + "\n" +
                                LongName('d') + "\nvictim.sys.bak\n";

// Destination entries: 48 characters are whole; 49 may be the reader's cut.
const std::string kDir45(45, 'e'), kDir46(46, 'f');

// A copy section of the hostile `line`, whose destination entry is
// `destination`, beside an ordinary one: only ok.sys goes, and `target`, the
// file the line points at, stays.
DeletionCase Hostile(const char* name, const std::string& line, const std::string& destination,
                     const std::string& target) {
  return {name,
          "[Inst]\nCopyFiles=Good,Bad\n[Good]\nok.sys\n[Bad]\n" + line + "\n[DestinationDirs]\nGood=10\nBad=" +
              destination + "\n",
          {W + "ok.sys", target}, {W + "ok.sys"}, 1};
}

// A Windows directory of 251 characters.
const std::string kLongWindows = "C:\\" + std::string(120, 'a') + "\\" + std::string(127, 'b');

const DeletionCase kCases[] = {
    // A CopyFiles line after other lines, ending in a comma; a file line with
    // more fields; a blank subdirectory, which adds nothing. (The example
    // package's directories 10 with a subdirectory and 11 are the uninstall
    // fault sweep's baseline.)
    {"OrdinaryLines", "[Inst]\nAddReg=Reg\nCopyFiles=A,\n[A]\ndrv.cat,,,2\n[DestinationDirs]\nA=11,   \n",
     {S + "drv.cat"}, {S + "drv.cat"}, 1},
    // Its install sections are read under the listed names, undecorated.
    {"AnInfTheSetupLibraryCannotOpen",
     "[Inst]\nCopyFiles=Plain\n[Inst.NT]\nCopyFiles=Nt\n[Plain]\np.sys\n[Nt]\nn.sys\n"
     "[DestinationDirs]\nPlain=10\nNt=10\n",
     {W + "p.sys", W + "n.sys"}, {W + "p.sys"}, 1, kOneModel, false},
    // "drv.sys.old" makes a path of 263 characters, which cut to the 259 that
    // fit would name drv.sys, a file the INF does not name.
    {"APathLongerThanItsBufferIsRefusedNotCut",
     "[Inst]\nCopyFiles=Long,Short\n[Long]\ndrv.sys.old\n[Short]\nx.sys\n[DestinationDirs]\nLong=10\nShort=10\n",
     {kLongWindows + "\\drv.sys", kLongWindows + "\\x.sys"}, {kLongWindows + "\\x.sys"}, 1, kOneModel, true,
     kLongWindows},
    {"AtFileFormNamesNoSection", "[Inst]\nCopyFiles=@a.sys\n[DestinationDirs]\nDefaultDestDir=10\n",
     {W + "a.sys"}, {}, 0},
    // Neither a line in another letter case nor one without a value is a
    // CopyFiles line, and an install section without one ends the deletion:
    // Inst2 is not looked at.
    {"NoCopyFilesLineEndsTheDeletion",
     "[Inst]\ncopyfiles=A\nCopyFiles=\n[Inst2]\nCopyFiles=A\n[A]\na.sys\n[DestinationDirs]\nA=10\n",
     {W + "a.sys"}, {}, 0, {"%D%=Inst,ID1", "%D%=Inst2,ID2"}},
    {"TheDecoratedInstallSection",
     "[Inst]\nCopyFiles=P\n[Inst.NT]\nCopyFiles=N\n[Inst.NTamd64]\nCopyFiles=X\n[P]\np.sys\n[N]\n"
     "n.sys\n[X]\nx.sys\n[DestinationDirs]\nP=10\nN=10\nX=10\n",
     {W + "p.sys", W + "n.sys", W + "x.sys"}, {W + "x.sys"}, 1},
    {"MissingDestinationEntry", "[Inst]\nCopyFiles=A\n[A]\na.sys\n[DestinationDirs]\nDefaultDestDir=10\n",
     {W + "a.sys", S + "a.sys"}, {}, 0},
    // Only 10 and 11 are understood (12, the drivers directory, is not).
    {"IdFromTheFirstTwoCharacters",
     "[Inst]\nCopyFiles=A,B,C,E,F\n[A]\na.sys\n[B]\nb.sys\n[C]\nc.sys\n[E]\ne.sys\n[F]\nf.sys\n"
     "[DestinationDirs]\nA=100\nB=110\nC=1\nE= 11 ,  Sub \nF=12\n",
     {W + "a.sys", S + "b.sys", W + "c.sys", S + "c.sys", S + "Sub\\e.sys", D + "f.sys"},
     {W + "a.sys", S + "b.sys", S + "Sub\\e.sys"}, 3},
    // The platform promises nothing about the buffer of a read that returns
    // 0: one left as it was still holds A's lines, which must not be deleted
    // again under B's destination. Reads 1 to 4 are the two model scans, 5
    // the install section, 6 A and 7 B.
    {"AFailedCopySectionReadThatLeavesTheBufferDeletesNothing",
     "[Inst]\nCopyFiles=A,B\n[A]\na.sys\n[DestinationDirs]\nA=10\nB=11\n", {W + "a.sys", S + "a.sys"},
     {W + "a.sys"}, 1, kOneModel, true, "", sim::FaultRule{"GetPrivateProfileSectionA", 7, std::nullopt, true}},
    {"ALastLineTheReaderCutIsNotUsed", "[Inst]\nCopyFiles=A\n" + kCutSection + "[DestinationDirs]\nA=10\n",
     {W + LongName('a'), W + LongName('b'), W + LongName('c'), W + LongName('d'), W + "victim.sys"},
     {W + LongName('a'), W + LongName('b'), W + LongName('c'), W + LongName('d')}, 4},
    {"ADestinationEntryThatMayBeCutIsRefused",
     "[Inst]\nCopyFiles=A,B\n[A]\na.sys\n[B]\nb.sys\n[DestinationDirs]\nA=10," + kDir46 +
         "\\Deeper\\Still\nB=10," + kDir45 + "\n",
     {W + kDir46 + "\\a.sys", W + kDir45 + "\\b.sys"}, {W + kDir45 + "\\b.sys"}, 1},
    {"AFileNameOfAHundredCharactersIsRefused",
     "[Inst]\nCopyFiles=A,B\n[A]\n" + std::string(96, 'n') + ".sys\n[B]\n" + std::string(95, 'm') +
         ".sys\n[DestinationDirs]\nA=10\nB=10\n",
     {W + std::string(96, 'n') + ".sy", W + std::string(95, 'm') + ".sys"}, {W + std::string(95, 'm') + ".sys"}, 1},
    // Lines that would leave their directory: nothing is deleted for them,
    // while the ordinary line beside them deletes its file. A subdirectory
    // is held to the same rule as a file name. (Parent elements
    // that would reach a file outside the Windows directory, in a file line
    // or a subdirectory, are the deletion fuzzer's seeds, checked against
    // every file outside it.)
    Hostile("ParentElementWithATrailingBlank", ".. \\x.sys", "10,System32", W + "x.sys"),
    Hostile("Stream", "x.sys:data", "10", W + "x.sys"),
    Hostile("LeadingBackslash", "\\x.sys", "10", W + "x.sys"),
    Hostile("ForwardSlash", "a/b.sys", "10", W + "a\\b.sys"),
    Hostile("SubdirectoryWithADriveLetter", "x.sys", "10,C:\\", "C:\\x.sys"),
};

INSTANTIATE_TEST_SUITE_P(Cases, Deletion, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
