// The program with an empty command line, driven through the scripted front
// end as a process: events on standard input, one a line, and a snapshot of
// the dialogs after each. When the events run out every box and dialog is
// answered as Esc answers it, so a run never hangs.
#include "tests/support/package_run.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/pnp/pnp.h"

namespace {

using nlohmann::json;

const char kContact[] = "Welcome to contact us if you have some question. \nWebsite:   www.example.com\nEmail:     support@example.com";

// A snapshot line's text as the snapshot quotes it.
std::string Quoted(const std::string& text) { return json(text).dump(); }
std::string BoxLine(const char* owner, const char* type, const char* caption, const std::string& text) {
  return std::string("box owner=") + owner + " type=" + type + " caption=" + Quoted(caption) + " " + Quoted(text);
}

class DialogProcess : public test::PackageRun {
 protected:
  struct Scripted {
    int exit = -1;
    std::string out, err;
    std::vector<std::string> blocks;  // [0] the opening, [i] what event i left
    // Block i, or "" when the run did not get that far.
    const std::string& operator[](size_t i) const {
      static const std::string none;
      return i < blocks.size() ? blocks[i] : none;
    }
  };

  Scripted Run(const std::vector<std::string>& events) {
    std::string input;
    for (const std::string& e : events) input += e + "\n";
    const test::ProcessRun run = RunSetup({}, input);
    Scripted s{run.exit, run.out, run.err, {}};
    for (size_t at = run.out.find("=== "); at != std::string::npos;) {
      const size_t end = run.out.find("\n=== ", at);
      s.blocks.push_back(run.out.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at));
      at = end == std::string::npos ? end : end + 1;
    }
    return s;
  }

  static bool Has(const std::string& block, const std::string& text) { return block.find(text) != std::string::npos; }

  // The example package again, with texts and a version of its own.
  std::string SecondInf() {
    std::string inf = ExampleInf();
    auto replace = [&inf](const std::string& from, const std::string& to) {
      const size_t at = inf.find(from);
      ASSERT_NE(at, std::string::npos) << from;
      inf.replace(at, from.size(), to);
    };
    replace("\"Example Devices\"\nDeviceDesc   = \"Example USB Sensor\"", "\"Second Maker\"\nDeviceDesc = \"Second Sensor\"");
    replace("11/20/2026,1.3.0.0", "01/02/2027,2.0.0.0");
    return inf;
  }
};

class Help : public DialogProcess {};

TEST_F(Help, TheFirstPressRevealsTheOptionAndEveryThirdShowsTheContactNoticeAfterTheHelpCloses) {
  CopyExamplePackage();
  const Scripted s = Run({
      "press 1009", "key enter", "key esc",  // 1: Enter leaves the help open
      "press 1009", "key esc",               // 2
      "press 1009", "key esc", "key enter",  // 3: the notice, closed with Enter
      "press 1009", "key esc",               // 4
      "press 1009", "key esc",               // 5
      "press 1009", "key esc", "key enter",  // 6
      "key esc",
  });
  EXPECT_EQ(s.exit, 2) << s.err;
  EXPECT_TRUE(Has(s[0], "  1004 button autocheckbox hidden unchecked")) << s[0];
  EXPECT_TRUE(Has(s[1], "dialog 103 \"Setup Program Overview \" visible enabled owner=129")) << s[1];
  EXPECT_TRUE(Has(s[1], "stack 129(disabled) 103")) << s[1];
  EXPECT_TRUE(Has(s[2], "dialog 103 \"Setup Program Overview \" visible")) << "Enter closed the help: " << s[2];
  EXPECT_TRUE(Has(s[3], "  1004 button autocheckbox visible unchecked")) << s[3];
  // No notice after presses 1, 2, 4 and 5, nor during the third while the help is open.
  for (size_t i : {3, 5, 6, 8, 10, 12}) EXPECT_TRUE(Has(s[i], "box none")) << i << s[i];
  EXPECT_TRUE(Has(s[6], "dialog 103")) << s[6];
  const std::string notice = BoxLine("129", "0x40", "Setup", kContact);
  EXPECT_TRUE(Has(s[7], "stack 129(disabled)\n") && Has(s[7], notice)) << s[7];
  EXPECT_TRUE(Has(s[14], notice)) << s[14];
  const std::vector<test::Box> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  for (const test::Box& b : boxes) EXPECT_EQ(b.owner, "dialog 129");
}

class Closing : public DialogProcess {};

TEST_F(Closing, EscAndTheCloseBoxExitWith2AndDoNothingElse) {
  CopyExamplePackage();
  AddSensor();
  for (const char* event : {"key esc", "close"}) {
    const Scripted s = Run({event});
    EXPECT_EQ(s.exit, 2) << event << s.err;
    EXPECT_TRUE(Has(s[1], "dialog none")) << s[1];
  }
  EXPECT_FALSE(Sensor()->driver.has_value());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(Closing, AFailedPlatformCheckDuringAnActionEndsTheDialogWith129) {
  CopyExamplePackage();
  AddSensor();
  // The first read of the Windows directory is the check at start; the
  // second is the install's, and it fails.
  PlanFault("GetWindowsDirectoryA", 2);
  const Scripted s = Run({"press 1001", "key enter", "key enter"});
  EXPECT_EQ(s.exit, 129) << s.out << s.err;
  EXPECT_TRUE(Has(s[1], BoxLine("129", "0x10", "Initialize", "Windows version or directory error"))) << s[1];
  // The action goes on as on the NT family; the dialog has ended meanwhile.
  EXPECT_TRUE(Has(s[2], " ended ") && Has(s[2], BoxLine("129", "0x40", "DriverSetup", "Driver install success!")))
      << s[2];
  EXPECT_TRUE(Has(s[3], "dialog none")) << s[3];
  ASSERT_NE(Sensor(), nullptr);
  EXPECT_TRUE(Sensor()->driver.has_value());
}

struct FamilyCase {
  const char* name;
  DWORD version;
  bool nineX;
};
void PrintTo(const FamilyCase& c, std::ostream* os) { *os << c.name; }

class Selection : public DialogProcess, public ::testing::WithParamInterface<FamilyCase> {
  sim::NewMachineOptions MachineOptions() override {
    sim::NewMachineOptions o;
    o.version = GetParam().version;
    return o;
  }
};

TEST_P(Selection, OfTheSecondInfRebuildsTheSummaryAndThePathsTheInstallUses) {
  // The directory search gives "alpha.inf" first, though "Zeta.inf" was
  // written first and its bytes sort first.
  WritePackageFile("Zeta.inf", SecondInf());
  CopyExamplePackage("alpha.inf");
  AddSensor();
  const Scripted s = Run({"select 1", "press 1001", "key enter", "key esc"});
  EXPECT_EQ(s.exit, 2) << s.err;
  EXPECT_TRUE(Has(s[0], "selected=0 items=[\"alpha.inf\",\"Zeta.inf\"]")) << s[0];
  EXPECT_TRUE(Has(s[0], Quoted("EXAMPLE DEVICES\r\n    |__ EXAMPLE USB SENSOR\r\n        |__ 11/20/2026,1.3.0.0"))) << s[0];
  EXPECT_TRUE(Has(s[1], "selected=1 ")) << s[1];
  EXPECT_TRUE(Has(s[1], Quoted("SECOND MAKER\r\n    |__ SECOND SENSOR\r\n        |__ 01/02/2027,2.0.0.0"))) << s[1];
  if (GetParam().nineX) {
    // InfCopyPath followed the selection: the second file is the one copied.
    EXPECT_TRUE(Has(s[2], BoxLine("129", "0x40", "DriverSetup", "Driver install success.\n\n,please plug the device!")))
        << s[2];
    EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\inf\\Zeta.inf"), SecondInf());
    EXPECT_FALSE(MachineFileExists("C:\\WINDOWS\\inf\\alpha.inf"));
  } else {
    EXPECT_TRUE(Has(s[2], BoxLine("129", "0x40", "DriverSetup", "Driver install success!"))) << s[2];
    ASSERT_TRUE(Sensor()->driver.has_value());
    EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\INF\\" + Sensor()->driver->inf), SecondInf());
    EXPECT_FALSE(MachineFileExists("C:\\WINDOWS\\inf\\Zeta.inf"));
  }
}

INSTANTIATE_TEST_SUITE_P(Families, Selection,
                         ::testing::Values(FamilyCase{"Nt", 0x4A65000A, false}, FamilyCase{"Win98", 0xC0000A04, true}),
                         [](const ::testing::TestParamInfo<FamilyCase>& info) { return info.param.name; });

struct UninstallCase {
  const char* name;
  std::vector<std::string> events;
  bool filesDeleted;
};
void PrintTo(const UninstallCase& c, std::ostream* os) { *os << c.name; }

class Actions : public DialogProcess, public ::testing::WithParamInterface<UninstallCase> {};

TEST_P(Actions, InstallAndUninstallShowTheirResultsOwnedByTheDialog) {
  CopyExamplePackage();
  AddSensor();
  const Scripted s = Run(GetParam().events);
  EXPECT_EQ(s.exit, 2) << s.err;
  EXPECT_TRUE(Has(s.out, BoxLine("129", "0x40", "DriverSetup", "Driver install success!"))) << s.out;
  EXPECT_TRUE(Has(s.out, BoxLine("129", "0x40", "DriverSetup", "Driver uninstall success!"))) << s.out;
  for (const test::Box& b : Boxes()) EXPECT_EQ(b.owner, "dialog 129") << b.bytes;
  EXPECT_EQ(Sensor(), nullptr);
  EXPECT_TRUE(sim::StagedInfFiles().empty());
  for (const char* file : {"C:\\WINDOWS\\system32\\drivers\\exampledrv.sys", "C:\\WINDOWS\\system32\\exampledrv.dll"})
    EXPECT_EQ(MachineFileExists(file), !GetParam().filesDeleted) << file;
}

INSTANTIATE_TEST_SUITE_P(
    DeleteOption, Actions,
    ::testing::Values(
        UninstallCase{"Checked",
                      {"press 1001", "key enter", "press 1009", "key esc", "check 1004", "press 1002", "key enter",
                       "key esc"},
                      true},
        UninstallCase{"Unchecked",
                      {"press 1001", "key enter", "press 1009", "key esc", "press 1002", "key enter", "key esc"},
                      false}),
    [](const ::testing::TestParamInfo<UninstallCase>& info) { return info.param.name; });

class StartUpDialog : public DialogProcess {};

TEST_F(StartUpDialog, WithoutAnInfTheSummarySaysSoAndTheActionsReportIt) {
  const Scripted s = Run({"press 1001", "key enter", "press 1002", "key enter", "key esc"});
  EXPECT_EQ(s.exit, 2) << s.err;
  EXPECT_TRUE(Has(s[0], "  1003 edit multiline+uppercase+readonly visible \"NO FOUND *.INF!\"")) << s[0];
  EXPECT_TRUE(Has(s[0], "  1000 combobox dropdown visible selected=-1 items=[]")) << s[0];
  const std::string box = BoxLine("129", "0x30", "DriverSetup", "Not Found *.inf.");
  EXPECT_TRUE(Has(s[1], box)) << s[1];
  EXPECT_TRUE(Has(s[3], box)) << s[3];
  EXPECT_EQ(Boxes().size(), 2u);
}

TEST_F(StartUpDialog, AnInfWithoutManufacturerShowsItsBoxWithoutOwnerBeforeTheDialogOpens) {
  WritePackageFile("nomaker.inf", "[Version]\nSignature=\"$Windows NT$\"\n");
  const Scripted s = Run({"key esc"});
  EXPECT_EQ(s.exit, 2) << s.err;
  EXPECT_TRUE(Has(s[0], "  1003 edit multiline+uppercase+readonly visible \"\"")) << s[0];
  EXPECT_TRUE(Has(s[0], "items=[\"nomaker.inf\"]")) << s[0];
  const std::vector<json> entries = test::TranscriptFile(machineDir_);
  ASSERT_GE(entries.size(), 2u);
  EXPECT_EQ(entries[0]["event"], "message_box");
  EXPECT_TRUE(entries[0]["owner"].is_null());
  EXPECT_EQ(entries[0]["text"], "Get install information failure.");
  EXPECT_EQ(entries[1]["event"], "dialog");
  EXPECT_EQ(entries[1]["action"], "open");
  // A box without an owner, before any dialog exists, is not waited on.
  EXPECT_TRUE(Has(s.err, "Get install information failure.")) << s.err;
}

class FrontEnd : public DialogProcess {
 protected:
  void SetUp() override {
    DialogProcess::SetUp();
    CopyExamplePackage();
  }
};

TEST_F(FrontEnd, EventsThatCannotBeCarriedOutAreNotedAndTheRunGoesOn) {
  const Scripted s = Run({"jump", "key f1", "select 9", "check 1004", "check 1001", "key esc"});
  EXPECT_EQ(s.exit, 2) << s.err;
  EXPECT_TRUE(Has(s[1], "=== 1: jump\nnote: error: unknown event")) << s[1];
  EXPECT_TRUE(Has(s[2], "=== 2: key f1\nnote: error: unknown key \"f1\"")) << s[2];
  EXPECT_TRUE(Has(s[3], "=== 3: select 9\nnote: refused: combo box 1000 has no item 9 (it has 1)")) << s[3];
  EXPECT_TRUE(Has(s[4], "=== 4: check 1004\nnote: refused: control 1004 is hidden")) << s[4];
  EXPECT_TRUE(Has(s[5], "=== 5: check 1001\nnote: refused: control 1001 is not a check box")) << s[5];
}

TEST_F(FrontEnd, WhenTheEventsRunOutTheOpenBoxAndTheDialogAreAnsweredWithEsc) {
  AddSensor();
  // Enter presses INSTALL, the default button; its box is open when the input ends.
  const Scripted s = Run({"key enter"});
  EXPECT_EQ(s.exit, 2) << s.err;
  EXPECT_TRUE(Has(s[1], BoxLine("129", "0x40", "DriverSetup", "Driver install success!"))) << s[1];
  EXPECT_TRUE(Has(s[1], "dialog 129 \"Setup V1.31\" visible disabled")) << s[1];
  EXPECT_TRUE(Has(s[2], "=== 2: key esc (end of input)\n") && Has(s[2], "closed with 1 by end of input")) << s[2];
  EXPECT_TRUE(Has(s[3], "=== 3: key esc (end of input)\ndialog none")) << s[3];
  // No events at all: Esc at once.
  EXPECT_EQ(Run({}).exit, 2);
}

// The program's own dialog always closes on Esc; a small program whose dialog
// does not shows that the run stops instead of hanging.
TEST_F(FrontEnd, ADialogThatIgnoresEscAndItsCloseBoxStopsTheRun) {
  test::ProcessLaunch launch;
  launch.program = DIALOG_PROBE;
  launch.argv = {"dialog_probe", "--new-machine", (root_ / "probe-machine").string()};
  launch.directory = packageDir_;
  launch.environment = {{"SETUP_UI", "script"}, {"SETUP_SIM_ECHO", "0"}};
  const test::ProcessRun run = test::RunProcess(launch);
  EXPECT_EQ(run.exit, 3) << run.out << run.err;
  EXPECT_TRUE(Has(run.err, "the events ended and dialog 129 does not close on Esc or its close box")) << run.err;
  EXPECT_TRUE(Has(run.out, "=== 1: key esc (end of input)")) << run.out;
  EXPECT_TRUE(Has(run.out, "=== 2: close (end of input)")) << run.out;
  EXPECT_TRUE(Has(run.out, "note: error: dialog 129 does not close")) << run.out;
}

}  // namespace
