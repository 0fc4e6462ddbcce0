// The scripted front end as a process: a program with the main dialog's
// template reads its events from standard input and prints a snapshot after
// each; when the events run out every box and dialog is answered as Esc
// answers it, and a dialog that will not close stops the run instead of
// hanging it.
#include "tests/support/sim_fixture.h"

#include <cstdlib>
#include <fstream>
#include <sys/wait.h>

namespace {

struct Outcome {
  int exit = -1;
  std::string out;
  std::string err;
};

class ScriptedProcess : public test::SimTest {
 protected:
  Outcome Run(const std::string& script, const std::string& arguments = "") {
    const test::fs::path in = root_ / "events.txt", out = root_ / "out.txt", err = root_ / "err.txt";
    std::ofstream(in, std::ios::binary) << script;
    const std::string command = "SETUP_UI=script SETUP_SIM_ECHO=0 timeout 20 " + std::string(DIALOG_PROBE) +
                                " --new-machine " + (root_ / ("run-machine-" + std::to_string(++runs_))).string() + " " + arguments + " < " +
                                in.string() + " > " + out.string() + " 2> " + err.string();
    const int status = std::system(command.c_str());
    Outcome o;
    o.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.out = test::ReadFile(out);
    o.err = test::ReadFile(err);
    return o;
  }

  int runs_ = 0;

  // The block that follows "=== N: EVENT".
  static std::string Block(const std::string& out, const std::string& header) {
    const size_t at = out.find("=== " + header + "\n");
    if (at == std::string::npos) return "";
    const size_t end = out.find("\n=== ", at + 1);
    return out.substr(at, end == std::string::npos ? std::string::npos : end - at);
  }
};

TEST_F(ScriptedProcess, HelpRevealsTheOptionWhichShiftTabAndSpaceTick) {
  const Outcome o = Run("press 1009\nkey enter\nkey esc\nkey shift-tab\nkey space\n# a comment\n\nselect 1\nkey esc\n");
  EXPECT_EQ(o.exit, 2) << o.err;
  const std::string opened = Block(o.out, "0: open");
  EXPECT_NE(opened.find("dialog 129 \"Setup V1.31\" visible enabled owner=none focus=none default=1001"), std::string::npos)
      << o.out;
  EXPECT_NE(opened.find("  1004 button autocheckbox hidden unchecked"), std::string::npos) << opened;
  EXPECT_NE(opened.find("entry {\"action\":\"open\""), std::string::npos) << opened;

  const std::string help = Block(o.out, "1: press 1009");
  EXPECT_NE(help.find("dialog 103 \"Setup Program Overview \" visible enabled owner=129"), std::string::npos) << help;
  EXPECT_NE(help.find("  1012 static left visible \"1.You should put all the drive files"), std::string::npos) << help;
  EXPECT_NE(help.find("stack 129(disabled) 103"), std::string::npos) << help;
  EXPECT_NE(Block(o.out, "2: key enter").find("dialog 103"), std::string::npos) << "Enter closed the help";

  const std::string back = Block(o.out, "3: key esc");
  EXPECT_NE(back.find("  1004 button autocheckbox visible unchecked"), std::string::npos) << back;
  EXPECT_NE(back.find("\"action\":\"shown\""), std::string::npos) << back;
  EXPECT_NE(Block(o.out, "4: key shift-tab").find("focus=1004"), std::string::npos) << o.out;
  EXPECT_NE(Block(o.out, "5: key space").find("  1004 button autocheckbox visible checked focus"), std::string::npos)
      << o.out;
  const std::string selected = Block(o.out, "6: select 1");
  EXPECT_NE(selected.find("selected=1 items=[\"alpha.inf\",\"beta.inf\"]"), std::string::npos) << selected;
  EXPECT_NE(selected.find("\"SELECTED BETA.INF\""), std::string::npos) << selected;
  const std::string last = Block(o.out, "7: key esc");
  EXPECT_NE(last.find("dialog none"), std::string::npos) << last;
  EXPECT_NE(last.find("DialogBoxParamA returns 2"), std::string::npos) << last;
}

TEST_F(ScriptedProcess, EventsThatCannotBeCarriedOutAreNotedAndTheRunGoesOn) {
  const Outcome o = Run("jump\nkey f1\nselect 9\npress 1004\ncheck 1001\nkey esc\n");
  EXPECT_EQ(o.exit, 2) << o.err;
  EXPECT_NE(o.out.find("=== 1: jump\nnote: error: unknown event"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("=== 2: key f1\nnote: error: unknown key \"f1\""), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("=== 3: select 9\nnote: refused: combo box 1000 has no item 9 (it has 2)"), std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("=== 4: press 1004\nnote: refused: control 1004 is hidden"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("=== 5: check 1001\nnote: refused: control 1001 is not a check box"), std::string::npos) << o.out;
}

TEST_F(ScriptedProcess, WhenTheEventsRunOutTheOpenBoxAndTheDialogAreAnsweredWithEsc) {
  // INSTALL opens a box owned by the dialog; then the input ends.
  const Outcome o = Run("key enter\n");
  EXPECT_EQ(o.exit, 2) << o.err;
  const std::string box = Block(o.out, "1: key enter");
  EXPECT_NE(box.find("box owner=129 type=0x40 caption=\"DriverSetup\" \"Install pressed\""), std::string::npos) << box;
  EXPECT_NE(box.find("dialog 129 \"Setup V1.31\" visible disabled"), std::string::npos) << box;
  EXPECT_NE(o.out.find("=== 2: key esc (end of input)\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("closed with 1 by end of input"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("=== 3: key esc (end of input)\ndialog none"), std::string::npos) << o.out;

  // No events at all: Esc at once.
  EXPECT_EQ(Run("").exit, 2);
}

TEST_F(ScriptedProcess, ADialogThatIgnoresEscAndItsCloseBoxStopsTheRun) {
  const Outcome o = Run("", "--ignore-cancel");
  EXPECT_EQ(o.exit, 3) << o.out << o.err;
  EXPECT_NE(o.err.find("the events ended and dialog 129 does not close on Esc or its close box"), std::string::npos)
      << o.err;
  EXPECT_NE(o.out.find("=== 1: key esc (end of input)"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("=== 2: close (end of input)"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("note: error: dialog 129 does not close"), std::string::npos) << o.out;
}

}  // namespace
