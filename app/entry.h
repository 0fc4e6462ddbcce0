// The program entry, shared by the Windows WinMain and the Linux main.
#pragma once

#include "platform/win32.h"

// The argument part of a command line: what follows the program's own name.
// A name that begins with a double quote ends after the next double quote,
// any other name before the first character of code 32 or less; the
// characters of code 1 to 32 after the name are skipped.
const char* ArgumentPart(const char* commandLine);

// Prepares the program-wide state, then opens the main dialog (no arguments)
// or runs the action a switch names. Returns the process exit code.
int AppEntry(HINSTANCE instance, const char* argumentText);
