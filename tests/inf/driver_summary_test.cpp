// The driver summary: what the summary box shows for an INF file, and when it stays empty.
#include "app/app_state.h"
#include "inf/inf.h"
#include "tests/support/sim_fixture.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/user32/user32.h"

#include <cstring>
#include <string>

namespace {

using test::MessageBoxes;

const char kVersion[] = "[Version]\r\nSignature=\"$Windows NT$\"\r\nDriverVer=1.0\r\n";
const char kManufacturer[] = "[Manufacturer]\r\n%M%=Models\r\n";
const char kModels[] = "[Models]\r\n%D%=Install,ID1\r\n%D2%=Install2,ID2\r\n";
const char kStrings[] = "[Strings]\r\nM=MakerName\r\nD=DeviceName\r\nD2=SecondDevice\r\n";

const std::string kFullSummary = "MakerName\r\n    |__ DeviceName\r\n        |__ 1.0";

class DriverSummaryTest : public test::SimTest {
 protected:
  // Builds the summary of `inf` (empty: no file at all) into a result that
  // starts out filled with garbage, so that a missing terminator shows.
  std::string Summarize(const std::string& inf) {
    if (!inf.empty()) WritePackageFile("driver.inf", inf);
    char result[kDriverSummaryCapacity];
    std::memset(result, '#', sizeof result);
    const bool built = BuildDriverSummary(PackagePath("driver.inf").c_str(), result);
    const size_t length = strnlen(result, sizeof result);
    EXPECT_LT(length, sizeof result) << "result not terminated";
    EXPECT_EQ(built, length > 0);
    return std::string(result, length);
  }
};

struct SummaryCase {
  const char* name;
  std::string inf;  // empty: no file at all
  std::string expected;
  bool noInstallInfo = false;  // the file has no readable "Manufacturer" section
};
void PrintTo(const SummaryCase& c, std::ostream* os) { *os << c.name; }

class DriverSummaryCases : public DriverSummaryTest, public ::testing::WithParamInterface<SummaryCase> {};

// Every shape here either reads or gives an empty result. Only a file without
// a readable "Manufacturer" section tells the user, without an owner even
// when the main dialog is open, so that a silent run shows it as well.
TEST_P(DriverSummaryCases, SummaryIsBuiltOrLeftEmpty) {
  const SummaryCase& c = GetParam();
  AppState.MainWindow = sim::NewTestDialog(129);
  EXPECT_EQ(Summarize(c.inf), c.expected);
  const auto boxes = MessageBoxes();
  ASSERT_EQ(boxes.size(), c.noInstallInfo ? 1u : 0u);
  if (c.noInstallInfo) {
    EXPECT_EQ(boxes[0].owner, "");
    EXPECT_EQ(boxes[0].bytes, "Get install information failure.");
    EXPECT_EQ(boxes[0].caption, "set");
    EXPECT_EQ(boxes[0].type, 0u);
  }
}

std::string File(const std::string& manufacturer, const std::string& models = kModels,
                 const std::string& strings = kStrings, const std::string& version = kVersion) {
  return version + manufacturer + models + strings;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, DriverSummaryCases,
    ::testing::Values(
        SummaryCase{"FullSummary", File(kManufacturer), kFullSummary},
        SummaryCase{"NoVersionSection", File(kManufacturer, kModels, kStrings, ""),
                    "MakerName\r\n    |__ DeviceName\r\n        |__ "},
        SummaryCase{"NoStringsSection", File(kManufacturer, kModels, ""), "\r\n    |__ \r\n        |__ 1.0"},
        // The reader removes the blanks around "=" before the key is cut out.
        SummaryCase{"BlanksAroundEquals", File("[Manufacturer]\r\n%M% = Models\r\n"), kFullSummary},
        // Whatever the first and last characters of the key are, they are dropped.
        SummaryCase{"KeyLosesAnyFirstAndLastCharacter", File("[Manufacturer]\r\n<M>=Models\r\n"), kFullSummary},
        SummaryCase{"TwoCharacterKey", File("[Manufacturer]\r\n%%=Models\r\n"), ""},
        SummaryCase{"NoEqualsInFirstLine", File("[Manufacturer]\r\nModels\r\n"), ""},
        SummaryCase{"EmptyModelSectionName", File("[Manufacturer]\r\n%M%=\r\n"), ""},
        SummaryCase{"OnlyTheFirstManufacturerLineCounts",
                    File("[Manufacturer]\r\n%M%=Models\r\n%Other%=OtherModels\r\n"), kFullSummary},
        SummaryCase{"DecoratedNameNamesNoSection",
                    File("[Manufacturer]\r\n%M%=Models,NTx86\r\n", "[Models.NTx86]\r\n%D%=Install,ID1\r\n"), ""},
        SummaryCase{"MissingModelSection", File(kManufacturer, "[Other]\r\n%D%=Install,ID1\r\n"), ""},
        SummaryCase{"EmptyModelSection", File(kManufacturer, "[Models]\r\n; nothing\r\n"), ""},
        SummaryCase{"SinglePercentInFirstModelLine", File(kManufacturer, "[Models]\r\n%D=Install,ID1\r\n"), ""},
        SummaryCase{"NoPercentInFirstModelLine",
                    File(kManufacturer, "[Models]\r\nD=Install,ID1\r\n%D2%=Install2,ID2\r\n"), ""},
        SummaryCase{"NothingBetweenThePercents", File(kManufacturer, "[Models]\r\n%%=Install,ID1\r\n"), ""},
        SummaryCase{"BlankDeviceKey", File(kManufacturer, "[Models]\r\n% \t %=Install,ID1\r\n"), ""},
        SummaryCase{"DeviceKeyIsTrimmed", File(kManufacturer, "[Models]\r\n% D\t%=Install,ID1\r\n"), kFullSummary},
        // The key ends at the second "%", whatever the model-section name is.
        SummaryCase{"DeviceKeyEndsAtSecondPercent",
                    File("[Manufacturer]\r\n%M%=ModelsOfTheMaker\r\n", "[ModelsOfTheMaker]\r\n%D%=Install,%D2%\r\n"),
                    kFullSummary},
        SummaryCase{"ManufacturerLineOf99CharactersReads",
                    File("[Manufacturer]\r\n%M%=" + std::string(95, 'N') + "\r\n",
                         "[" + std::string(95, 'N') + "]\r\n%D%=Install,ID1\r\n"),
                    kFullSummary},
        // Cut to 99 characters it would name another section.
        SummaryCase{"ManufacturerLineBeyond99CharactersIsRefused",
                    File("[Manufacturer]\r\n%M%=" + std::string(96, 'N') + "\r\n",
                         "[" + std::string(95, 'N') + "]\r\n%D%=Install,ID1\r\n[" + std::string(96, 'N') +
                             "]\r\n%D%=Install,ID1\r\n"),
                    ""},
        SummaryCase{"DeviceKeyBeyond99CharactersIsRefused",
                    File(kManufacturer, "[Models]\r\n%" + std::string(100, 'D') + "%=Install,ID1\r\n"), ""},
        SummaryCase{"NoFile", "", "", true},
        SummaryCase{"NoManufacturerSection", std::string(kVersion) + kModels + kStrings, "", true},
        SummaryCase{"ManufacturerOfCommentsOnly",
                    std::string(kVersion) + "[Manufacturer]\r\n; %M%=Models\r\n" + kModels + kStrings, "", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverSummaryTest, LongSummaryIsCutAt99Characters) {
  // 35 + 10 + 35 + 14 = 94 characters, then a version that takes it past 99.
  const std::string maker(35, 'm'), device(35, 'd');
  const std::string strings = "[Strings]\r\nM=" + maker + "\r\nD=" + device + "\r\n";
  const std::string start = maker + "\r\n    |__ " + device + "\r\n        |__ ";
  ASSERT_EQ(start.size(), 94u);

  EXPECT_EQ(Summarize(File(kManufacturer, kModels, strings, "[Version]\r\nDriverVer=1.2.3\r\n")), start + "1.2.3");
  EXPECT_EQ(Summarize(File(kManufacturer, kModels, strings, "[Version]\r\nDriverVer=1.2.3.4\r\n")), start + "1.2.3");
  // A value far longer than the result is cut the same way.
  const std::string longMaker(5000, 'm');
  EXPECT_EQ(Summarize(File(kManufacturer, kModels, "[Strings]\r\nM=" + longMaker + "\r\n")), longMaker.substr(0, 99));
  EXPECT_TRUE(MessageBoxes().empty());
}

TEST_F(DriverSummaryTest, TheCutNeverSplitsADoubleByteCharacter) {
  sim::CurrentMachine().language = 0x0804;
  // 98 single bytes, then a character of two: it does not fit the 99th place
  // whole, which the next piece's first byte takes instead.
  const std::string maker = std::string(98, 'm') + "\xC7\xFD";
  EXPECT_EQ(Summarize(File(kManufacturer, kModels, "[Strings]\r\nM=" + maker + "\r\n")), std::string(98, 'm') + "\r");
  const std::string fits = std::string(97, 'm') + "\xC7\xFD" + "x";
  EXPECT_EQ(Summarize(File(kManufacturer, kModels, "[Strings]\r\nM=" + fits + "\r\n")), fits.substr(0, 99));
}

}  // namespace
