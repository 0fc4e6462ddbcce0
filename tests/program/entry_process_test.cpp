// The program's entry as a process, as a user starts it: the switch table of
// the first two bytes of the arguments, the program's own name however it is
// spelt, the exit codes of silent runs, and start-up with no INF file and with
// a broken one.
#include "tests/support/package_run.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/pnp/pnp.h"

namespace {

// What a silent run did to the sensor, which starts without a driver (when the
// package has it plugged in): Failed keeps it without a driver.
enum class Did { Install, Uninstall, Nothing, Failed };

const char kExample[] = "the example package";
const char kNoManufacturer[] = "[Version]\nSignature=\"$Windows NT$\"\n[Strings]\nMfgName=\"Nobody\"\n";

class EntryProcess : public test::PackageRun {
 protected:
  // The exit code tells how the action went; the boxes of a silent run (their
  // texts here) have no owner, and are written where the user sees them, not waited on.
  void Expect(const test::ProcessRun& run, Did did, int exit = 0, const std::vector<std::string>& boxes = {},
              bool sensor = true) {
    EXPECT_EQ(run.exit, exit) << run.err;
    std::vector<std::string> texts;
    for (const test::Box& b : Boxes()) {
      texts.push_back(b.bytes);
      EXPECT_EQ(b.owner, "") << b.bytes;
      EXPECT_NE(run.err.find(b.bytes), std::string::npos) << run.err;
    }
    EXPECT_EQ(texts, boxes);
    if (sensor && did == Did::Uninstall) {
      EXPECT_EQ(Sensor(), nullptr) << "the sensor is still there";
    } else if (sensor) {
      ASSERT_NE(Sensor(), nullptr) << "a run that did not uninstall removed the device";
      EXPECT_EQ(Sensor()->driver.has_value(), did == Did::Install) << run.err;
    }
    if (did == Did::Install || did == Did::Nothing) {
      EXPECT_EQ(sim::FilesAddedSinceNew().empty(), did == Did::Nothing);
    }
  }
};

// The switch table of the first two bytes of the arguments, on the example
// package with the sensor plugged in; then the exit codes of other packages and
// machines. (The outcomes and their messages are the install's and uninstall's tests.)
struct RunCase {
  const char* name;
  std::vector<std::string> args;
  Did did;
  int exit = 0;
  std::vector<std::string> boxes = {};
  const char* inf = kExample;  // the text of the package's only INF file, nullptr for none
  bool sensor = true;
  const char* fault = nullptr;  // planned for every call
};
void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

const RunCase kRuns[] = {
    {"SlashUpperS", {"/S"}, Did::Install},
    {"SlashLowerS", {"/s"}, Did::Install},
    {"BackslashUpperS", {"\\S"}, Did::Install},
    {"BackslashLowerS", {"\\s"}, Did::Install},
    {"OnlyTwoBytesCount", {"/Sfoo"}, Did::Install},
    {"SlashUpperU", {"/U"}, Did::Uninstall},
    {"SlashLowerU", {"/u"}, Did::Uninstall},
    {"BackslashUpperU", {"\\U"}, Did::Uninstall},
    {"BackslashLowerU", {"\\u"}, Did::Uninstall},
    {"Dash", {"-S"}, Did::Nothing},
    {"NoSlash", {"S"}, Did::Nothing},
    {"UnknownSwitch", {"/x"}, Did::Nothing},
    {"LoneSlash", {"/"}, Did::Nothing},
    {"SlashAndSSplit", {"/", "S"}, Did::Nothing},
    // The C runtime's quoting reaches the program as it is: "" and "/S x".
    {"EmptyArgumentFirst", {"", "/S"}, Did::Nothing},
    {"ArgumentWithABlankIsQuoted", {"/S x"}, Did::Nothing},
    // A double-byte character of code page 936 is one character.
    {"DoubleByteCharacter", {"\xb0\xb2"}, Did::Nothing},
    {"StagedPackage", {"/S"}, Did::Install, 0, {}, kExample, false},
    {"FailedStaging", {"/S"}, Did::Failed, 1, {}, kExample, false, "SetupCopyOEMInfA"},
    {"FailedUpdate", {"/S"}, Did::Failed, 1, {}, kExample, true, "UpdateDriverForPlugAndPlayDevicesA"},
    {"NoDeviceToRemove", {"/U"}, Did::Failed, 1, {}, kExample, false},
    {"InstallWithoutAnInf", {"/S"}, Did::Nothing, 1, {"Not Found *.inf."}, nullptr},
    {"UninstallWithoutAnInf", {"/u"}, Did::Nothing, 1, {"Not Found *.inf."}, nullptr},
    {"UnknownSwitchWithoutAnInf", {"/x"}, Did::Nothing, 0, {}, nullptr},
    // The summary's box comes at start-up; then there is no hardware id to remove.
    {"UninstallWithoutManufacturer", {"/U"}, Did::Nothing, 1, {"Get install information failure."}, kNoManufacturer},
};

class SilentRun : public EntryProcess, public ::testing::WithParamInterface<RunCase> {};

TEST_P(SilentRun, EndsAsItsSwitchAndItsPackageSay) {
  const RunCase& c = GetParam();
  if (c.inf == kExample) CopyExamplePackage();
  else if (c.inf) WritePackageFile("package.inf", c.inf);
  if (c.sensor) AddSensor();
  if (c.fault) sim::CurrentMachine().faults.push_back(sim::FaultRule{c.fault, 0, ERROR_ACCESS_DENIED});
  sim::SaveMachine();  // the fault plan, for the program's process
  Expect(RunSetup(c.args), c.did, c.exit, c.boxes, c.sensor);
}

INSTANTIATE_TEST_SUITE_P(Table, SilentRun, ::testing::ValuesIn(kRuns),
                         [](const ::testing::TestParamInfo<RunCase>& info) { return info.param.name; });

// However the program's own name is spelt, it never reaches the switch. (How
// the argument part is cut from a command line is the argument-part test's.)
TEST_F(EntryProcess, TheProgramsOwnNameNeverReachesTheSwitch) {
  CopyExamplePackage();
  for (const std::string argv0 :
       {"/opt/Example Setup/set up", "C:\\Program Files\\Example Setup\\setup.exe", "/opt/example\tsetup",
        "/opt/example\nsetup", "/opt/example\x01setup", "/opt/say \"hi\"/setup", "\"setup\"",
        "/opt/\xe5\xae\x89\xe8\xa3\x85/setup", ""}) {
    SCOPED_TRACE(argv0);
    if (!Sensor()) AddSensor();
    Expect(RunSetup({"/U"}, "", argv0), Did::Uninstall);
  }
}

}  // namespace
