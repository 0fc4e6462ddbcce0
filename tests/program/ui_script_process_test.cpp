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

// The README's example: install, the help, the option ticked, uninstall; the close box ends it.
// (The help's other presses and the contact notice after every third are
// wine.dialogs', on the Windows build; the keys and boxes the dialog manager's.)
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
