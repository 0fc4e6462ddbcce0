// The Windows entry shim: the graphical entry point hands the module instance
// and the argument part of the command line to the shared entry.
#include "app/entry.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return AppEntry(instance, ArgumentPart(GetCommandLineA()));
}
