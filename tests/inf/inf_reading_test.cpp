// What the program reads from an INF file: the model scan (which hardware ids
// and install sections reach the two lists) and the driver summary (what the
// summary box shows, and when it stays empty), both from one table of files.
// (The model scan fuzzer, seeded with every file of the INF corpus, checks
// that the lists stay well formed and in step, that a second scan stores the
// same bytes, and that the summary stays a terminated text.)
#include "app/app_state.h"
#include "inf/inf.h"
#include "tests/support/sim_fixture.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/user32/user32.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The whole 10000-byte list compared with exactly these entries, each with its
// NUL, then the final empty string and zeros to the end of the buffer.
::testing::AssertionResult ListHolds(const char* list, const std::vector<std::string>& expected) {
  std::string image;
  for (const std::string& entry : expected) image += entry + '\0';
  image.resize(kListCapacity, '\0');
  const auto differs = std::mismatch(image.begin(), image.end(), list);
  if (differs.first == image.end()) return ::testing::AssertionSuccess();
  size_t end = kListCapacity;
  while (end > 0 && list[end - 1] == '\0') --end;
  return ::testing::AssertionFailure() << "list holds " << ::testing::PrintToString(std::string(list, end))
                                       << ", first wrong byte at offset " << (differs.first - image.begin());
}

class InfReadingTest : public test::SimTest {
 protected:
  // Writes the INF and scans it by its Windows path.
  void Scan(const std::string& inf) {
    WritePackageFile("driver.inf", inf);
    ScanInfModels(PackagePath("driver.inf").c_str());
  }
  // The summary of the INF last scanned, built into a result that starts out
  // filled with garbage, so that a missing terminator shows.
  std::string Summary() {
    char result[kDriverSummaryCapacity];
    std::memset(result, '#', sizeof result);
    const bool built = BuildDriverSummary(PackagePath("driver.inf").c_str(), result);
    const size_t length = strnlen(result, sizeof result);
    EXPECT_LT(length, sizeof result) << "result not terminated";
    EXPECT_EQ(built, length > 0);
    return std::string(result, length);
  }
};

// A package whose entries are longer than those of every case below, so that
// a scan that does not empty the lists wholly leaves bytes of it behind.
const char kPreviousInf[] =
    "[Manufacturer]\r\n%Mfg%=PreviousModels\r\n[PreviousModels]\r\n"
    "%Dev1%=PreviousInstallSectionOne,USB\\VID_F00D&PID_0001&REV_0100\r\n"
    "%Dev2%=PreviousInstallSectionTwo,USB\\VID_F00D&PID_0002&REV_0200\r\n";

struct InfCase {
  const char* name;
  std::string inf;
  std::vector<std::string> installSections, hardwareIds;
  std::string summary;
  bool noInstallInfo = false;  // no readable "Manufacturer" section: the user is told
};
void PrintTo(const InfCase& c, std::ostream* os) { *os << c.name; }

class ModelScanAndDriverSummary : public InfReadingTest, public ::testing::WithParamInterface<InfCase> {};

// Only a file without a readable "Manufacturer" section shows a box, without
// an owner even when the main dialog is open, so that a silent run shows it too.
TEST_P(ModelScanAndDriverSummary, ListsAndSummaryOfTheFile) {
  const InfCase& c = GetParam();
  Scan(kPreviousInf);
  ASSERT_NE(AppState.HardwareIdList[0], '\0');
  Scan(c.inf);
  EXPECT_TRUE(ListHolds(AppState.InstallSectionList, c.installSections));
  EXPECT_TRUE(ListHolds(AppState.HardwareIdList, c.hardwareIds));
  AppState.MainWindow = sim::NewTestDialog(129);
  EXPECT_EQ(Summary(), c.summary);
  const test::Box noInstallInfo{"", "Get install information failure.", "set", 0};
  EXPECT_EQ(test::MessageBoxes(), c.noInstallInfo ? std::vector{noInstallInfo} : std::vector<test::Box>{});
}

const std::string kStrings = "[Strings]\r\nM=MakerName\r\nD=DeviceName\r\nD2=SecondDevice\r\n";
const std::string kVersion = "[Version]\r\nSignature=\"$Windows NT$\"\r\nDriverVer=1.0\r\n";
const std::string kFull = "MakerName\r\n    |__ DeviceName\r\n        |__ 1.0";
const std::string kMfg = "[Manufacturer]\r\n%M%=Models\r\n";
const std::string kModels = "[Models]\r\n%D%=Install,ID1\r\n%D2%=Install2,ID2\r\n";
const std::vector<std::string> kSections = {"Install", "Install2"}, kIds = {"ID1", "ID2"};

// A file of the given "Manufacturer" and model sections, with strings and a version.
std::string File(const std::string& manufacturer, const std::string& models) {
  return kVersion + manufacturer + models + kStrings;
}
std::string Models(const std::string& lines) { return File(kMfg, "[Models]\r\n" + lines); }
std::string N(size_t n) { return std::string(n, 'N'); }
// A model line of exactly `length` characters whose hardware id is the X's that fill it.
std::string LineOfLength(size_t length) { return "%D%=S," + std::string(length - 6, 'X'); }

INSTANTIATE_TEST_SUITE_P(
    Files, ModelScanAndDriverSummary,
    ::testing::Values(
        InfCase{"NoVersionSection", kMfg + kModels + kStrings, kSections, kIds,
                "MakerName\r\n    |__ DeviceName\r\n        |__ "},
        // Whatever the first and last characters of the key are, the summary drops them.
        InfCase{"KeyLosesAnyFirstAndLastCharacter", File("[Manufacturer]\r\n<M>=Models\r\n", kModels), kSections, kIds,
                kFull},
        InfCase{"TwoCharacterKey", File("[Manufacturer]\r\n%%=Models\r\n", kModels), kSections, kIds, ""},
        InfCase{"ManufacturerWithoutEquals", File("[Manufacturer]\r\nModels\r\n", kModels), {}, {}, ""},
        InfCase{"EmptyModelSectionName", File("[Manufacturer]\r\n%M%=\r\n", kModels), {}, {}, ""},
        // The model scan joins every line of "Manufacturer", so that with two
        // the name is one a section rarely has; the summary reads the first line only.
        InfCase{"TwoManufacturerLinesAreJoined",
                File("[Manufacturer]\r\n%M1%=A\r\n%M2%=B\r\n", "[A]\r\n%D%=InstallA,IDA\r\n[B]\r\n%D%=InstallB,IDB\r\n"
                                                               "[A%M2%=B]\r\n%D%=Joined,IDJ\r\n"),
                {"Joined"}, {"IDJ"}, "\r\n    |__ DeviceName\r\n        |__ 1.0"},
        // The comma and the decoration stay part of the name: neither [Models] nor [Models.NTx86] is read.
        InfCase{"DecoratedNameIsLookedUpWithItsComma",
                File("[Manufacturer]\r\n%M%=Models,NTx86\r\n",
                     "[Models]\r\n%D%=Plain,ID0\r\n[Models.NTx86]\r\n%D%=Decorated,ID1\r\n[Models,NTx86]\r\n"
                     "%D2%=Verbatim,ID2\r\n"),
                {"Verbatim"}, {"ID2"}, "MakerName\r\n    |__ SecondDevice\r\n        |__ 1.0"},
        InfCase{"MissingModelSection", File(kMfg, "[Other]\r\n%D%=S,ID1\r\n"), {}, {}, ""},
        InfCase{"SinglePercentInFirstModelLine", Models("%D=Install,ID1\r\n"), {"Install"}, {"ID1"}, ""},
        InfCase{"FirstLineWithoutPercentStartsAnEntry", Models("D=Install1\r\n,ID1\r\n%D2%=Install2,ID2\r\n"),
                {"Install1", "Install2"}, kIds, ""},
        InfCase{"BlankDeviceKey", Models("% \t %=Install,ID1\r\n"), {"Install"}, {"ID1"}, ""},
        InfCase{"DeviceKeyIsTrimmed", Models("% D\t%=Install,ID1\r\n"), {"Install"}, {"ID1"}, kFull},
        // The summary's key ends at the second "%"; the model scan keeps later commas in the id.
        InfCase{"DeviceKeyEndsAtSecondPercent", Models("%D%= Install , ID1,%D2%\r\n"), {"Install "}, {"ID1,%D2%"},
                kFull},
        InfCase{"ContinuationLineJoinsTheEntry",
                Models("%D%=Install,\r\n; never delivered\r\nID1\r\n%D2%=Install2,ID2\r\n"), kSections, kIds, kFull},
        // The empty name is stored: readers of InstallSectionList see the list end there.
        InfCase{"EmptyInstallNameIsStored", Models("%D%=,ID1\r\n%D2%=Install2,ID2\r\n"), {"", "Install2"}, kIds, kFull},
        InfCase{"EntriesThatCannotBeCutAreSkippedWhole",
                Models("%D%=Install,ID1\r\n%NoEquals%Install,IDX\r\n%NoComma%=Install\r\n%Comma,First%=Install,IDY\r\n"
                       "%Blank%=Install, \t \r\n%D2%=Install2,ID2\r\n"),
                kSections, kIds, kFull},
        InfCase{"HardwareIdTrimmedOfBlanksAndTabsOnly", Models("%D%=Install,\t ID 1\t \r\n"), {"Install"}, {"ID 1"},
                kFull},
        InfCase{"EntryOf99CharactersFits", Models(LineOfLength(99) + "\r\n"), {"S"}, {std::string(93, 'X')}, kFull},
        InfCase{"EntryOf100CharactersIsSkipped", Models(LineOfLength(100) + "\r\n%D2%=S2,ID2\r\n"), {"S2"}, {"ID2"},
                kFull},
        InfCase{"EntryJoinedBeyond99CharactersIsSkipped",
                Models(LineOfLength(60) + "\r\n" + std::string(40, 'Y') + "\r\n%D2%=S2,ID2\r\n"), {"S2"}, {"ID2"},
                kFull},
        InfCase{"DeviceKeyBeyond99CharactersIsRefused", Models("%" + std::string(100, 'D') + "%=Install,ID1\r\n"), {},
                {}, ""},
        InfCase{"ManufacturerLineOf99CharactersReads",
                File("[Manufacturer]\r\n%M%=" + N(95) + "\r\n", "[" + N(95) + "]\r\n%D%=S,ID1\r\n"), {"S"}, {"ID1"},
                kFull},
        // Cut to 99 characters it would name the other section.
        InfCase{"ManufacturerLineBeyond99CharactersIsRefused",
                File("[Manufacturer]\r\n%M%=" + N(96) + "\r\n",
                     "[" + N(95) + "]\r\n%D%=S,ID1\r\n[" + N(96) + "]\r\n%D%=S,ID1\r\n"),
                {}, {}, ""},
        // Cutting the joined text back to the lines that fit would find Models.
        InfCase{"ManufacturerLinesJoinedBeyond99CharactersGiveNothing",
                File(kMfg + "%M2%=" + N(90) + "\r\n", kModels), {}, {}, kFull},
        InfCase{"NoManufacturerSection", kVersion + kModels + kStrings, {}, {}, "", true}),
    [](const auto& info) { return std::string(info.param.name); });

// The summary is cut at 99 characters, never inside a double-byte character.
TEST_F(InfReadingTest, DriverSummaryIsCutAt99Characters) {
  // 35 + 10 + 35 + 14 = 94 characters, then a version that takes it past 99.
  const std::string maker(35, 'm'), device(35, 'd'), start = maker + "\r\n    |__ " + device + "\r\n        |__ ";
  const std::string strings = "[Strings]\r\nM=" + maker + "\r\nD=" + device + "\r\n";
  Scan(kMfg + kModels + strings + "[Version]\r\nDriverVer=1.2.3\r\n");
  EXPECT_EQ(Summary(), start + "1.2.3");
  Scan(kMfg + kModels + strings + "[Version]\r\nDriverVer=1.2.3.4\r\n");
  EXPECT_EQ(Summary(), start + "1.2.3");
  // 98 single bytes, then a character of two: it does not fit the 99th place
  // whole, which the next piece's first byte takes instead.
  sim::CurrentMachine().language = 0x0804;
  Scan(kMfg + kModels + "[Strings]\r\nM=" + std::string(98, 'm') + "\xC7\xFD\r\n");
  EXPECT_EQ(Summary(), std::string(98, 'm') + "\r");
  const std::string fits = std::string(97, 'm') + "\xC7\xFD" + "x";
  Scan(kMfg + kModels + "[Strings]\r\nM=" + fits + "\r\n");
  EXPECT_EQ(Summary(), fits.substr(0, 99));
}

// A model section of 260 lines of 49 characters (50 bytes as the reader
// delivers them): 199 take 9950 bytes and the reader cuts the 200th one
// character short of its end, inside the hardware id: that entry must not be
// stored cut.
TEST_F(InfReadingTest, ModelScanOfASectionCutByTheBufferLosesItsLastEntryNotPartOfAnId) {
  std::string inf = kMfg + "[Models]\r\n";
  std::vector<std::string> sections, ids;
  for (int i = 0; i < 260; ++i) {
    char section[24], id[64];
    std::snprintf(section, sizeof section, "Install%04d", i);
    std::snprintf(id, sizeof id, "USB\\VID_F00D&PID_%04d&MI_00&REV_1", i);
    inf += std::string("%D%=") + section + "," + id + "\r\n";
    if (i < 199) sections.push_back(section), ids.push_back(id);
  }
  Scan(inf);
  EXPECT_TRUE(ListHolds(AppState.InstallSectionList, sections));
  EXPECT_TRUE(ListHolds(AppState.HardwareIdList, ids));
}

}  // namespace
