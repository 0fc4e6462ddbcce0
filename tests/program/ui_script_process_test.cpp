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

class DialogProcess : public test::PackageRun {};

// The README's example: install, the help, the option ticked, uninstall; the close box ends it.
// (The help's other presses and the contact notice after every third are
// wine.dialogs', on the Windows build; the keys and boxes the dialog manager's.)
TEST_F(DialogProcess, InstallAndUninstallShowTheirResultsOwnedByTheDialogAndTheOptionDeletesTheFiles) {
  CopyExamplePackage();
  AddSensor();
  const test::ProcessRun run =
      RunSetup({}, "press 1001\nkey enter\npress 1009\nkey esc\ncheck 1004\npress 1002\nkey enter\nclose\n");
  EXPECT_EQ(run.exit, 2) << run.err;
  EXPECT_TRUE(Has(run.out, BoxLine("0x40", "DriverSetup", "Driver install success!"))) << run.out;
  EXPECT_TRUE(Has(run.out, BoxLine("0x40", "DriverSetup", "Driver uninstall success!"))) << run.out;
  const std::string last = run.out.substr(run.out.rfind("=== "));
  EXPECT_TRUE(Has(last, "=== 8: close\n") && Has(last, "dialog none\nstack none\nbox none\n")) << last;
  EXPECT_EQ(Sensor(), nullptr);
  EXPECT_TRUE(sim::StagedInfFiles().empty());
  for (const char* file : {"C:\\WINDOWS\\system32\\drivers\\exampledrv.sys", "C:\\WINDOWS\\system32\\exampledrv.dll"})
    EXPECT_FALSE(MachineFileExists(file)) << file;
}

}  // namespace
