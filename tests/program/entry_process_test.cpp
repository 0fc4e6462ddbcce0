// The program's entry as a process, as a user starts it: the switch table of
// the first two bytes of the arguments, the program's own name however it is
// spelt, the exit codes of silent runs, and start-up with no INF file and with
// a broken one.
#include "tests/support/package_run.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/pnp/pnp.h"

#include <fstream>

namespace {

enum class Did { Install, Uninstall, Nothing };

class EntryProcess : public test::PackageRun {
 protected:
  void SetUp() override {
    PackageRun::SetUp();
    CopyExamplePackage();
    AddSensor();
  }
  // What the run did to the sensor, which starts present and without a driver;
  // a silent run of a package in order shows no box.
  void ExpectDid(Did did, const test::ProcessRun& run) {
    EXPECT_EQ(run.exit, 0) << run.err;
    EXPECT_TRUE(Boxes().empty()) << Boxes().front().bytes;
    if (did == Did::Uninstall) {
      EXPECT_EQ(Sensor(), nullptr) << "the sensor is still there";
      return;
    }
    ASSERT_NE(Sensor(), nullptr);
    EXPECT_EQ(Sensor()->driver.has_value(), did == Did::Install) << run.err;
    EXPECT_EQ(sim::FilesAddedSinceNew().empty(), did == Did::Nothing);
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

// However the program's own name is spelt, it never reaches the switch. (How
// the argument part is cut from a command line is the argument-part test's.)
TEST_F(EntryProcess, TheProgramsOwnNameNeverReachesTheSwitch) {
  for (const std::string argv0 :
       {"/opt/Example Setup/set up", "C:\\Program Files\\Example Setup\\setup.exe", "/opt/example\tsetup",
        "/opt/example\nsetup", "/opt/example\x01setup", "/opt/say \"hi\"/setup", "\"setup\"",
        "/opt/\xe5\xae\x89\xe8\xa3\x85/setup", ""}) {
    SCOPED_TRACE(argv0);
    if (!Sensor()) AddSensor();
    ExpectDid(Did::Uninstall, RunSetup({"/U"}, "", argv0));
  }
}

TEST_F(EntryProcess, StartedFromAnotherDirectoryItSearchesTheCurrentOne) {
  // The program file lies in a directory of its own, with an INF file that
  // would show a box if it were read.
  const test::fs::path programDir = root_ / "Program Files" / "Example Setup";
  test::fs::create_directories(programDir);
  test::fs::create_symlink(SETUP_PATH, programDir / "setup");
  std::ofstream(programDir / "aaa.inf") << "[Version]\nSignature=\"$Windows NT$\"\n";
  const std::string program = (programDir / "setup").string();
  ExpectDid(Did::Install, RunSetup({"/S"}, "", program, program));
  EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\INF\\" + Sensor()->driver->inf), ExampleInf());
}

// The exit code of a silent run tells how the action went; an unrecognised
// switch does nothing and exits 0. (The switch table shows the successful runs.)
struct ExitCase {
  const char* name;
  const char* inf;  // the text of the package's only INF file, nullptr for none
  bool sensor;
  const char* fault;  // planned for every call, or null
  std::vector<std::string> args;
  int exit;
  std::vector<std::string> boxes;  // texts of the boxes shown, all without an owner
};
void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.name; }

const char kExample[] = "the example package";
const char kNoManufacturer[] = "[Version]\nSignature=\"$Windows NT$\"\n[Strings]\nMfgName=\"Nobody\"\n";

const ExitCase kExits[] = {
    {"StagedPackage", kExample, false, nullptr, {"/S"}, 0, {}},
    {"FailedStaging", kExample, false, "SetupCopyOEMInfA", {"/S"}, 1, {}},
    {"FailedUpdate", kExample, true, "UpdateDriverForPlugAndPlayDevicesA", {"/S"}, 1, {}},
    {"NoDeviceToRemove", kExample, false, nullptr, {"/U"}, 1, {}},
    {"InstallWithoutAnInf", nullptr, true, nullptr, {"/S"}, 1, {"Not Found *.inf."}},
    {"UninstallWithoutAnInf", nullptr, true, nullptr, {"/u"}, 1, {"Not Found *.inf."}},
    {"UnknownSwitchWithoutAnInf", nullptr, true, nullptr, {"/x"}, 0, {}},
    // The summary's box comes at start-up; then there is no hardware id to remove.
    {"UninstallWithoutManufacturer", kNoManufacturer, true, nullptr, {"/U"}, 1, {"Get install information failure."}},
};

class ExitCodes : public test::PackageRun, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitCodes, TellTheOutcome) {
  const ExitCase& c = GetParam();
  if (c.inf == kExample) CopyExamplePackage();
  else if (c.inf) WritePackageFile("package.inf", c.inf);
  if (c.sensor) AddSensor();
  if (c.fault) PlanFault(c.fault, 0, ERROR_ACCESS_DENIED);
  const test::ProcessRun run = RunSetup(c.args);
  EXPECT_EQ(run.exit, c.exit) << run.err;
  if (c.sensor && c.exit == 1) {
    EXPECT_NE(Sensor(), nullptr) << "a failed run removed the device";
  }
  std::vector<std::string> texts;
  for (const test::Box& b : Boxes()) {
    texts.push_back(b.bytes);
    EXPECT_EQ(b.owner, "") << b.bytes;
    // A box of a silent run is written where the user sees it, and not waited on.
    EXPECT_NE(run.err.find(b.bytes), std::string::npos) << run.err;
  }
  EXPECT_EQ(texts, c.boxes);
}

INSTANTIATE_TEST_SUITE_P(Table, ExitCodes, ::testing::ValuesIn(kExits),
                         [](const ::testing::TestParamInfo<ExitCase>& info) { return info.param.name; });

}  // namespace
