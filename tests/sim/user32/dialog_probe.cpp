// The main dialog's template run by a dialog procedure that ignores Esc and
// the close box, which the program's own never does: the front-end tests show
// with it that a script whose events run out stops the run instead of hanging.
//   dialog_probe --new-machine DIR
#include "platform/sim/machine/machine.h"
#include "platform/sim/user32/user32.h"
#include "res/resource.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3 || std::string(argv[1]) != "--new-machine") {
    std::fprintf(stderr, "usage: dialog_probe --new-machine DIR\n");
    return 64;
  }
  sim::CreateMachine(argv[2], {});
  const DLGPROC ignoreEverything = [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return 0; };
  return static_cast<int>(
      DialogBoxParamA(sim::ProgramInstance(), MAKEINTRESOURCEA(IDD_MAIN), nullptr, ignoreEverything, 0));
}
