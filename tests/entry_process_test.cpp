// The program's entry as a process, as a user starts it: the switch table of
// the first two bytes of the arguments, the program's own name however it is
// spelt, the exit codes of silent runs, and start-up with no INF file, with a
// broken one and with two.
#include "tests/support/package_run.h"

#include <fstream>

namespace {

using test::Box;

enum class Did { Install, Uninstall, Nothing };

class EntryProcess : public test::PackageRun {
 protected:
  void SetUp() override {
    PackageRun::SetUp();
    CopyExamplePackage();
    AddSensor();
  }

  // What the run did to the sensor, which starts present and without a driver.
  void ExpectDid(Did did, const test::ProcessRun& run) {
    EXPECT_EQ(run.exit, 0) << run.err;
    const sim::Device* sensor = Sensor();
    switch (did) {
      case Did::Install:
        ASSERT_NE(sensor, nullptr);
        ASSERT_TRUE(sensor->driver.has_value()) << run.err;
        EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\INF\\" + sensor->driver->inf), ExampleInf());
        break;
      case Did::Uninstall:
        EXPECT_EQ(sensor, nullptr) << "the sensor is still there";
        break;
      case Did::Nothing:
        ASSERT_NE(sensor, nullptr);
        EXPECT_FALSE(sensor->driver.has_value());
        EXPECT_TRUE(sim::StagedInfFiles().empty());
        EXPECT_TRUE(sim::FilesAddedSinceNew().empty());
        break;
    }
    // A silent run shows no box when the package is in order.
    EXPECT_TRUE(Boxes().empty()) << Boxes().front().bytes;
  }
};

struct SwitchCase {
  const char* name;
  std::vector<std::string> args;
  Did did;
};
void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.name; }

const SwitchCase kSwitches[] = {
    {"SlashUpperS", {"/S"}, Did::Install},
    {"SlashLowerS", {"/s"}, Did::Install},
    {"BackslashUpperS", {"\\S"}, Did::Install},
    {"BackslashLowerS", {"\\s"}, Did::Install},
    {"OnlyTwoBytesCount", {"/Sfoo"}, Did::Install},
    {"InstallThenUninstallSwitch", {"/s", "/u"}, Did::Install},
    {"SlashUpperU", {"/U"}, Did::Uninstall},
    {"SlashLowerU", {"/u"}, Did::Uninstall},
    {"BackslashUpperU", {"\\U"}, Did::Uninstall},
    {"BackslashLowerU", {"\\u"}, Did::Uninstall},
    {"UninstallWithMore", {"/U2"}, Did::Uninstall},
    {"Dash", {"-S"}, Did::Nothing},
    {"NoSlash", {"S"}, Did::Nothing},
    {"UnknownSwitch", {"/x"}, Did::Nothing},
    {"LoneSlash", {"/"}, Did::Nothing},
    {"SlashAndSSplit", {"/", "S"}, Did::Nothing},
    {"DoubledSlash", {"//S"}, Did::Nothing},
    // The C runtime's quoting reaches the program as it is: "" and "/S x".
    {"EmptyArgumentFirst", {"", "/S"}, Did::Nothing},
    {"ArgumentWithABlankIsQuoted", {"/S x"}, Did::Nothing},
    // A double-byte character of code page 936 is one character.
    {"DoubleByteCharacter", {"\xb0\xb2"}, Did::Nothing},
};

class Switches : public EntryProcess, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(Switches, DecideByTheirFirstTwoBytes) { ExpectDid(GetParam().did, RunSetup(GetParam().args)); }

INSTANTIATE_TEST_SUITE_P(Table, Switches, ::testing::ValuesIn(kSwitches),
                         [](const ::testing::TestParamInfo<SwitchCase>& info) { return info.param.name; });

// However the program's own name is spelt, it never reaches the switch.
struct NameCase {
  const char* name;
  std::string argv0;
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

const NameCase kNames[] = {
    {"WithBlanks", "/opt/Example Setup/set up"},
    {"WindowsStyleWithBlanks", "C:\\Program Files\\Example Setup\\setup.exe"},
    {"WithATab", "/opt/example\tsetup"},
    {"WithALineFeed", "/opt/example\nsetup"},
    {"WithAControlCharacter", "/opt/example\x01setup"},
    {"WithQuotesAndABlank", "/opt/say \"hi\"/setup"},
    {"BeginningWithAQuote", "\"setup\""},
    {"WithBytesOver127", "/opt/\xe5\xae\x89\xe8\xa3\x85/setup"},
    {"Empty", ""},
};

class ProgramNames : public EntryProcess, public ::testing::WithParamInterface<NameCase> {};

TEST_P(ProgramNames, LeaveTheSwitchAlone) { ExpectDid(Did::Uninstall, RunSetup({"/U"}, "", GetParam().argv0)); }

INSTANTIATE_TEST_SUITE_P(Table, ProgramNames, ::testing::ValuesIn(kNames),
                         [](const ::testing::TestParamInfo<NameCase>& info) { return info.param.name; });

TEST_F(EntryProcess, StartedFromAnotherDirectoryItSearchesTheCurrentOne) {
  // The program file lies in a directory of its own, with an INF file that
  // would show a box if it were read.
  const test::fs::path programDir = root_ / "Program Files" / "Example Setup";
  test::fs::create_directories(programDir);
  test::fs::create_symlink(SETUP_PATH, programDir / "setup");
  std::ofstream(programDir / "aaa.inf") << "[Version]\nSignature=\"$Windows NT$\"\n";
  const std::string program = (programDir / "setup").string();
  ExpectDid(Did::Install, RunSetup({"/S"}, "", program, program));
}

// The exit code of a silent run tells how the action went; an unrecognised
// switch does nothing and exits 0.
struct ExitCase {
  const char* name;
  bool inf;
  bool sensor;
  const char* fault;  // planned for every call, or null
  std::vector<std::string> args;
  int exit;
  std::vector<std::string> boxes;  // texts of the boxes shown, all without an owner
};
void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.name; }

const ExitCase kExits[] = {
    {"UpdatedDriver", true, true, nullptr, {"/S"}, 0, {}},
    {"StagedPackage", true, false, nullptr, {"/S"}, 0, {}},
    {"FailedStaging", true, false, "SetupCopyOEMInfA", {"/S"}, 1, {}},
    {"FailedUpdate", true, true, "UpdateDriverForPlugAndPlayDevicesA", {"/S"}, 1, {}},
    {"RemovedDevice", true, true, nullptr, {"/U"}, 0, {}},
    {"NoDeviceToRemove", true, false, nullptr, {"/U"}, 1, {}},
    {"InstallWithoutAnInf", false, true, nullptr, {"/S"}, 1, {"Not Found *.inf."}},
    {"UninstallWithoutAnInf", false, true, nullptr, {"/u"}, 1, {"Not Found *.inf."}},
    {"UnknownSwitchWithoutAnInf", false, true, nullptr, {"/x"}, 0, {}},
    {"UnknownSwitchWhereAnInstallWouldFail", true, false, "SetupCopyOEMInfA", {"-S"}, 0, {}},
};

class ExitCodes : public test::PackageRun, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitCodes, TellTheOutcome) {
  const ExitCase& c = GetParam();
  if (c.inf) CopyExamplePackage();
  if (c.sensor) AddSensor();
  if (c.fault) PlanFault(c.fault, 0, ERROR_ACCESS_DENIED);
  const test::ProcessRun run = RunSetup(c.args);
  EXPECT_EQ(run.exit, c.exit) << run.err;
  std::vector<std::string> texts;
  for (const Box& b : Boxes()) {
    texts.push_back(b.bytes);
    EXPECT_EQ(b.owner, "") << b.bytes;
  }
  EXPECT_EQ(texts, c.boxes);
  // A box of a silent run is written where the user sees it, and not waited on.
  for (const std::string& text : c.boxes) EXPECT_NE(run.err.find(text), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Table, ExitCodes, ::testing::ValuesIn(kExits),
                         [](const ::testing::TestParamInfo<ExitCase>& info) { return info.param.name; });

TEST_F(ExitCodes, StagingLeavesThePackageForTheDeviceToCome) {
  CopyExamplePackage();
  EXPECT_EQ(RunSetup({"/S"}).exit, 0);
  ASSERT_EQ(sim::StagedInfFiles().size(), 1u);
  EXPECT_EQ(ReadMachineFile(sim::StagedInfFiles()[0].inf), ExampleInf());
  EXPECT_TRUE(MachineFileExists("C:\\WINDOWS\\system32\\drivers\\exampledrv.sys"));
}

class StartUp : public test::PackageRun {};

TEST_F(StartUp, AnInfWithoutManufacturerShowsItsBoxWithoutOwnerBeforeTheSilentUninstall) {
  WritePackageFile("nomaker.inf", "[Version]\nSignature=\"$Windows NT$\"\n[Strings]\nMfgName=\"Nobody\"\n");
  AddSensor();
  const test::ProcessRun run = RunSetup({"/U"});
  // No hardware id to remove: the uninstall fails, silently.
  EXPECT_EQ(run.exit, 1) << run.err;
  const std::vector<Box> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].owner, "");
  EXPECT_EQ(boxes[0].bytes, "Get install information failure.");
  EXPECT_EQ(boxes[0].caption, "set");
  EXPECT_EQ(boxes[0].type, static_cast<unsigned>(MB_OK));
  EXPECT_NE(Sensor(), nullptr);
}

TEST_F(StartUp, OfTwoInfFilesTheFirstOfTheDirectorySearchIsUsed) {
  // The search hands out names in the order of their upper-case form, so
  // "alpha.inf" comes before "Zeta.inf", whose bytes would sort first.
  // "Zeta.inf" has no "Manufacturer": reading it would show a box.
  WritePackageFile("Zeta.inf", "[Version]\nSignature=\"$Windows NT$\"\n");
  CopyExamplePackage("alpha.inf");
  AddSensor();
  const test::ProcessRun run = RunSetup({"/S"});
  EXPECT_EQ(run.exit, 0) << run.err;
  ASSERT_NE(Sensor(), nullptr);
  ASSERT_TRUE(Sensor()->driver.has_value());
  EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\INF\\" + Sensor()->driver->inf), ExampleInf());
  EXPECT_TRUE(Boxes().empty());
}

class StartUp9x : public test::PackageRun {
  sim::NewMachineOptions MachineOptions() override {
    sim::NewMachineOptions o;
    o.version = 0xC0000A04;
    return o;
  }
};

TEST_F(StartUp9x, TheInstallCopiesTheInfToTheWindowsInfDirectoryAndDeletesTheDriverIndex) {
  CopyExamplePackage("a.inf");
  WriteMachineFile("C:\\WINDOWS\\inf\\drvidx.bin", "index");
  const test::ProcessRun run = RunSetup({"/S"});
  EXPECT_EQ(run.exit, 0) << run.err;
  EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\inf\\a.inf"), ExampleInf());
  EXPECT_FALSE(MachineFileExists("C:\\WINDOWS\\inf\\drvidx.bin"));
}

}  // namespace
