// dialog_probe MACHINE_DIR: the main dialog's template run by a procedure that
// ignores Esc and the close box, which the program's own never does.
#include "platform/sim/machine/machine.h"
#include "platform/sim/user32/user32.h"
#include "res/resource.h"

int main(int argc, char** argv) {
  if (argc != 2) return 64;
  sim::CreateMachine(argv[1], {});
  const DLGPROC ignoreEverything = [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return 0; };
  return static_cast<int>(DialogBoxParamA(sim::ProgramInstance(), MAKEINTRESOURCEA(IDD_MAIN), nullptr, ignoreEverything, 0));
}
