// The program with an empty command line, driven through the scripted front
// end as a process: events on standard input, one a line, and a snapshot of
// the dialogs after each. When the events run out every box and dialog is
// answered as Esc answers it, so a run never hangs.
#include "tests/support/package_run.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/pnp/pnp.h"

namespace {

// A snapshot's line for a box the main dialog owns, texts quoted as the snapshot quotes them.
std::string BoxLine(const char* type, const char* caption, const std::string& text) {
  return std::string("box owner=129 type=") + type + " caption=" + nlohmann::json(caption).dump() + " " + nlohmann::json(text).dump();
}
bool Has(const std::string& block, const std::string& text) { return block.find(text) != std::string::npos; }

class DialogProcess : public test::PackageRun {
 protected:
  // Runs the program on these events: s[0] is the opening's block, s[i] what event i left ("" if none).
  test::ProcessRun Run(const std::vector<std::string>& events) {
    std::string input;
    for (const std::string& e : events) input += e + "\n";
    const test::ProcessRun run = RunSetup({}, input);
    s.assign(events.size() + 4, "");
    for (size_t at = run.out.find("=== "), i = 0; at != std::string::npos && i < s.size(); ++i) {
      const size_t end = run.out.find("\n=== ", at);
      s[i] = run.out.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at);
      at = end == std::string::npos ? end : end + 1;
    }
    return run;
  }
  std::vector<std::string> s;
};

TEST_F(DialogProcess, TheFirstHelpRevealsTheOptionAndEveryThirdShowsTheContactNoticeAfterTheHelpCloses) {
  CopyExamplePackage();
  // Presses 1 (Enter leaves the help open) and 2; 3 (the notice, closed with Enter); 4, 5 and 6.
  const test::ProcessRun run = Run({"press 1009", "key enter", "key esc", "press 1009", "key esc",
                                    "press 1009", "key esc", "key enter", "press 1009", "key esc", "press 1009", "key esc",
                                    "press 1009", "key esc", "key enter", "key esc"});
  EXPECT_EQ(run.exit, 2) << run.err;
  EXPECT_TRUE(Has(s[0], "  1004 button autocheckbox hidden unchecked")) << s[0];
  EXPECT_TRUE(Has(s[1], "dialog 103 \"Setup Program Overview \" visible enabled owner=129") &&
              Has(s[1], "stack 129(disabled) 103")) << s[1];
  EXPECT_TRUE(Has(s[2], "dialog 103 \"Setup Program Overview \" visible")) << "Enter closed the help: " << s[2];
  EXPECT_TRUE(Has(s[3], "  1004 button autocheckbox visible unchecked")) << s[3];
  // No notice after presses 1, 2, 4 and 5, nor during the third while the help is open.
  for (size_t i : {3, 5, 6, 8, 10, 12}) EXPECT_TRUE(Has(s[i], "box none")) << i << s[i];
  const std::string notice = BoxLine("0x40", "Setup",
                                     "Welcome to contact us if you have some question. \nWebsite:   www.example.com\n"
                                     "Email:     support@example.com");
  EXPECT_TRUE(Has(s[7], "stack 129(disabled)\n") && Has(s[7], notice)) << s[7];
  EXPECT_TRUE(Has(s[14], notice)) << s[14];
  EXPECT_EQ(Boxes().size(), 2u);
}

// The README's example: install, the help, the option ticked, uninstall; the close box ends it.
TEST_F(DialogProcess, InstallAndUninstallShowTheirResultsOwnedByTheDialogAndTheOptionDeletesTheFiles) {
  CopyExamplePackage();
  AddSensor();
  const test::ProcessRun run =
      Run({"press 1001", "key enter", "press 1009", "key esc", "check 1004", "press 1002", "key enter", "close"});
  EXPECT_EQ(run.exit, 2) << run.err;
  EXPECT_TRUE(Has(s[1], BoxLine("0x40", "DriverSetup", "Driver install success!"))) << s[1];
  EXPECT_TRUE(Has(s[6], BoxLine("0x40", "DriverSetup", "Driver uninstall success!"))) << s[6];
  EXPECT_TRUE(Has(s[8], "dialog none\nstack none\nbox none\n")) << s[8];
  EXPECT_EQ(Sensor(), nullptr);
  EXPECT_TRUE(sim::StagedInfFiles().empty());
  for (const char* file : {"C:\\WINDOWS\\system32\\drivers\\exampledrv.sys", "C:\\WINDOWS\\system32\\exampledrv.dll"})
    EXPECT_FALSE(MachineFileExists(file)) << file;
}

}  // namespace
