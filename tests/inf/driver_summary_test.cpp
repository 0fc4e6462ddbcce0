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
  // Builds the summary of `inf` into a result that starts out filled with
  // garbage, so that a missing terminator shows.
  std::string Summarize(const std::string& inf) {
    WritePackageFile("driver.inf", inf);
    return SummaryOf(PackagePath("driver.inf"));
  }
  std::string SummaryOf(const std::string& path) {
    char result[kDriverSummaryCapacity];
    std::memset(result, '#', sizeof result);
    built_ = BuildDriverSummary(path.c_str(), result);
    const size_t length = strnlen(result, sizeof result);
    EXPECT_LT(length, sizeof result) << "result not terminated";
    const std::string summary(result, length);
    EXPECT_EQ(built_, !summary.empty());
    return summary;
  }
  bool built_ = false;
};

struct SummaryCase {
  const char* name;
  std::string inf;
  std::string expected;
};
void PrintTo(const SummaryCase& c, std::ostream* os) { *os << c.name; }

class DriverSummaryCases : public DriverSummaryTest, public ::testing::WithParamInterface<SummaryCase> {};

// Every shape here either reads or gives an empty result; none shows a message.
TEST_P(DriverSummaryCases, SummaryIsBuiltOrLeftEmptySilently) {
  const SummaryCase& c = GetParam();
  EXPECT_EQ(Summarize(c.inf), c.expected);
  EXPECT_TRUE(MessageBoxes().empty());
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
                    File(kManufacturer, "[Models]\r\n%" + std::string(100, 'D') + "%=Install,ID1\r\n"), ""}),
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

struct NoInfoCase {
  const char* name;
  std::string inf;  // empty: no file at all
};
void PrintTo(const NoInfoCase& c, std::ostream* os) { *os << c.name; }

class NoInstallInfoCases : public DriverSummaryTest, public ::testing::WithParamInterface<NoInfoCase> {};

// Without a readable "Manufacturer" the user is told, without an owner even
// when the main dialog is open, so that a silent run shows it as well.
TEST_P(NoInstallInfoCases, MessageWithoutOwnerAndEmptyResult) {
  const NoInfoCase& c = GetParam();
  AppState.MainWindow = sim::NewTestDialog(129);
  if (!c.inf.empty()) WritePackageFile("driver.inf", c.inf);
  EXPECT_EQ(SummaryOf(PackagePath("driver.inf")), "");
  const auto boxes = MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].owner, "");
  EXPECT_EQ(boxes[0].bytes, "Get install information failure.");
  EXPECT_EQ(boxes[0].caption, "set");
  EXPECT_EQ(boxes[0].type, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, NoInstallInfoCases,
    ::testing::Values(NoInfoCase{"NoFile", ""},
                      NoInfoCase{"NoManufacturerSection", std::string(kVersion) + kModels + kStrings},
                      NoInfoCase{"ManufacturerOfCommentsOnly",
                                 std::string(kVersion) + "[Manufacturer]\r\n; %M%=Models\r\n" + kModels + kStrings}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
