// The model scan: which hardware ids and install sections reach the two lists.
// (The model scan fuzzer, seeded with every file of the INF corpus, checks
// that the lists stay well formed and in step, and that a second scan of a
// file stores the same bytes.)
#include "app/app_state.h"
#include "inf/inf.h"
#include "tests/support/sim_fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The bytes a list of exactly these entries has: each entry with its NUL, the
// final empty string, and zero to the end of the buffer.
std::string ListImage(const std::vector<std::string>& entries) {
  std::string image;
  for (const std::string& entry : entries) image += entry + '\0';
  image.resize(kListCapacity, '\0');
  return image;
}

// The buffer up to its last non-zero byte, NULs shown, for failure messages.
std::string Describe(const char* list) {
  size_t end = kListCapacity;
  while (end > 0 && list[end - 1] == '\0') --end;
  return ::testing::PrintToString(std::string(list, end));
}

// The whole 10000-byte buffer compared with the image of `expected`.
::testing::AssertionResult ListHolds(const char* list, const std::vector<std::string>& expected) {
  const std::string image = ListImage(expected);
  const auto differs = std::mismatch(image.begin(), image.end(), list);
  if (differs.first == image.end()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "list holds " << Describe(list) << ", first wrong byte at offset "
                                       << (differs.first - image.begin());
}

class ModelScanTest : public test::SimTest {
 protected:
  // Writes the INF into the package directory and scans it by its Windows path.
  void Scan(const std::string& name, const std::string& inf) {
    WritePackageFile(name, inf);
    ScanInfModels(PackagePath(name).c_str());
  }
};

// A package whose entries are longer than those of every case below, so that
// a scan that does not empty the lists wholly leaves bytes of it behind.
const char kPreviousInf[] =
    "[Manufacturer]\r\n%Mfg%=PreviousModels\r\n"
    "[PreviousModels]\r\n"
    "%Dev1%=PreviousInstallSectionOne,USB\\VID_F00D&PID_0001&REV_0100\r\n"
    "%Dev2%=PreviousInstallSectionTwo,USB\\VID_F00D&PID_0002&REV_0200\r\n"
    "%Dev3%=PreviousInstallSectionThree,USB\\VID_F00D&PID_0003&REV_0300\r\n";

struct ScanCase {
  const char* name;
  std::string inf;
  std::vector<std::string> installSections;
  std::vector<std::string> hardwareIds;
};
void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

class ModelScanCases : public ModelScanTest, public ::testing::WithParamInterface<ScanCase> {};

TEST_P(ModelScanCases, ListsHoldExactlyTheEntriesOfTheFile) {
  const ScanCase& c = GetParam();
  Scan("previous.inf", kPreviousInf);
  ASSERT_NE(AppState.HardwareIdList[0], '\0');

  Scan("driver.inf", c.inf);
  EXPECT_TRUE(ListHolds(AppState.InstallSectionList, c.installSections));
  EXPECT_TRUE(ListHolds(AppState.HardwareIdList, c.hardwareIds));
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

// A model line of exactly `length` characters whose hardware id is the X's
// that fill it: "%D%=S,XXX...".
std::string ModelLineOfLength(size_t length) { return "%D%=S," + Repeat('X', length - 6); }

// The start of most files below: one maker whose models are in [Models].
const std::string kHead = "[Manufacturer]\r\n%M%=Models\r\n[Models]\r\n";

INSTANTIATE_TEST_SUITE_P(
    Shapes, ModelScanCases,
    ::testing::Values(
        ScanCase{"TwoEntriesBlankAfterComma", kHead + "%D1%=Install1,ID1\r\n%D2%=Install2, ID2\r\n",
                 {"Install1", "Install2"}, {"ID1", "ID2"}},
        // The reader removes the blanks around "=", so the name is found.
        ScanCase{"BlanksAroundManufacturerEquals", "[Manufacturer]\r\n%M% = Models\r\n[Models]\r\n%D%=Install,ID1\r\n",
                 {"Install"}, {"ID1"}},
        // The comma and the decoration stay part of the name: neither [Models]
        // nor [Models.NTx86] is read.
        ScanCase{"DecoratedNameIsLookedUpWithItsComma",
                 "[Manufacturer]\r\n%M%=Models,NTx86\r\n[Models]\r\n%D%=Plain,ID0\r\n"
                 "[Models.NTx86]\r\n%D%=Decorated,ID1\r\n[Models,NTx86]\r\n%D%=Verbatim,ID2\r\n",
                 {"Verbatim"}, {"ID2"}},
        // Neither [A] nor [B] is read.
        ScanCase{"TwoManufacturerEntriesAreJoined",
                 "[Manufacturer]\r\n%M1%=A\r\n%M2%=B\r\n[A]\r\n%D%=InstallA,IDA\r\n[B]\r\n%D%=InstallB,IDB\r\n"
                 "[A%M2%=B]\r\n%D%=Joined,IDJ\r\n", {"Joined"}, {"IDJ"}},
        ScanCase{"InstallNameVerbatimIdKeepsLaterCommas", kHead + "%D%= Install , ID1,ID2\r\n",
                 {"Install "}, {"ID1,ID2"}},
        ScanCase{"ContinuationLineJoinsTheEntry",
                 kHead + "%D%=Install,\r\n; a comment is never delivered\r\nID1\r\n%D2%=Install2,ID2\r\n",
                 {"Install", "Install2"}, {"ID1", "ID2"}},
        ScanCase{"FirstLineWithoutPercentStartsAnEntry", kHead + "Device=Install1\r\n,ID1\r\n%D2%=Install2,ID2\r\n",
                 {"Install1", "Install2"}, {"ID1", "ID2"}},
        // The empty name is stored: readers of InstallSectionList see the list end there.
        ScanCase{"EmptyInstallNameIsStored", kHead + "%D%=,ID1\r\n%D2%=Install2,ID2\r\n",
                 {"", "Install2"}, {"ID1", "ID2"}},
        ScanCase{"EntriesThatCannotBeCutAreSkippedWhole",
                 kHead + "%D1%=Install1,ID1\r\n%NoEquals%Install,IDX\r\n%NoComma%=Install\r\n"
                 "%Comma,First%=Install,IDY\r\n%Blank%=Install, \t \r\n%D2%=Install2,ID2\r\n",
                 {"Install1", "Install2"}, {"ID1", "ID2"}},
        ScanCase{"HardwareIdTrimmedOfBlanksAndTabsOnly", kHead + "%D%=Install,\t ID 1\t \r\n", {"Install"}, {"ID 1"}},
        ScanCase{"EntryOf99CharactersFits", kHead + ModelLineOfLength(99) + "\r\n", {"S"}, {Repeat('X', 93)}},
        ScanCase{"EntryOf100CharactersIsSkipped", kHead + ModelLineOfLength(100) + "\r\n%D2%=S2,ID2\r\n",
                 {"S2"}, {"ID2"}},
        ScanCase{"EntryJoinedBeyond99CharactersIsSkipped",
                 kHead + ModelLineOfLength(60) + "\r\n" + Repeat('Y', 40) + "\r\n%D2%=S2,ID2\r\n", {"S2"}, {"ID2"}},
        ScanCase{"ManufacturerLineOf99CharactersFits",
                 "[Manufacturer]\r\n%M%=" + Repeat('N', 95) + "\r\n[" + Repeat('N', 95) + "]\r\n%D%=S,ID1\r\n",
                 {"S"}, {"ID1"}},
        ScanCase{"ManufacturerTextBeyond99CharactersGivesNothing",
                 "[Manufacturer]\r\n%M%=" + Repeat('N', 96) + "\r\n[" + Repeat('N', 96) + "]\r\n%D%=S,ID1\r\n", {}, {}},
        // Cutting the joined text back to the lines that fit would find Models.
        ScanCase{"ManufacturerLinesJoinedBeyond99CharactersGiveNothing",
                 "[Manufacturer]\r\n%M%=Models\r\n%M2%=" + Repeat('N', 90) + "\r\n[Models]\r\n%D%=S,ID1\r\n", {}, {}},
        ScanCase{"ManufacturerWithoutEquals", "[Manufacturer]\r\nModels\r\n[Models]\r\n%D%=S,ID1\r\n", {}, {}},
        ScanCase{"NoManufacturerSection", "[Version]\r\nSignature=\"$Windows NT$\"\r\n", {}, {}},
        ScanCase{"EmptyManufacturerSection", "[Manufacturer]\r\n; only a comment\r\n[Models]\r\n%D%=S,ID1\r\n", {}, {}},
        ScanCase{"MissingModelSection", "[Manufacturer]\r\n%M%=Models\r\n[Other]\r\n%D%=S,ID1\r\n", {}, {}},
        ScanCase{"EmptyModelSection", kHead + "[Other]\r\n%D%=S,ID1\r\n", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModelScanTest, MissingFileEmptiesTheLists) {
  Scan("previous.inf", kPreviousInf);
  ScanInfModels(PackagePath("absent.inf").c_str());
  EXPECT_TRUE(ListHolds(AppState.InstallSectionList, {}));
  EXPECT_TRUE(ListHolds(AppState.HardwareIdList, {}));
}

// A model section of `lines` lines of 49 characters, 50 bytes as the reader
// delivers them, numbered so that a shortened id shows:
// "%D%=InstallNNNN,USB\VID_F00D&PID_NNNN&MI_00&REV_1".
std::string NumberedModelSection(int lines, std::vector<std::string>& sections, std::vector<std::string>& ids) {
  std::string inf = "[Manufacturer]\r\n%M%=Models\r\n[Models]\r\n";
  for (int i = 0; i < lines; ++i) {
    char section[24], id[64];
    std::snprintf(section, sizeof section, "Install%04d", i);
    std::snprintf(id, sizeof id, "USB\\VID_F00D&PID_%04d&MI_00&REV_1", i);
    const std::string line = std::string("%D%=") + section + "," + id;
    EXPECT_EQ(line.size(), 49u);
    inf += line + "\r\n";
    sections.push_back(section);
    ids.push_back(id);
  }
  return inf;
}

// 150 lines take 7500 bytes and fit. Of 260, 199 take 9950 bytes and the
// reader cuts the 200th one character short of its end, inside the hardware
// id: that entry must not be stored cut.
TEST_F(ModelScanTest, SectionCutByTheBufferLosesItsLastEntryNotPartOfAnId) {
  for (const auto& [lines, kept] : {std::pair{150, 150}, std::pair{260, 199}}) {
    SCOPED_TRACE(lines);
    std::vector<std::string> sections, ids;
    Scan("driver.inf", NumberedModelSection(lines, sections, ids));
    sections.resize(kept);
    ids.resize(kept);
    EXPECT_TRUE(ListHolds(AppState.InstallSectionList, sections));
    EXPECT_TRUE(ListHolds(AppState.HardwareIdList, ids));
  }
}

}  // namespace
