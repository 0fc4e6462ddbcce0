// What the rest of the simulated platform uses of kernel32 beyond its API:
// file copies and deletions that are not the program's own calls, the way the
// directory functions fill a caller's buffer, and the table of the libraries
// LoadLibraryA can load.
#pragma once

#include "platform/sim/machine/machine.h"

#include <string>

namespace sim {

// The current directory a process of the simulation starts in: the Linux
// current directory as drive Z shows it, unless one is named here ("" goes
// back to that). A machine held in memory has no Linux directory, so a fuzzer
// running the program from a package on its drive C names it.
void SetStartDirectory(std::string windowsPath);

}  // namespace sim

namespace sim::internal {

// Fills a caller's buffer with a text as the directory functions of kernel32
// do: the length without the NUL when it fits, otherwise the size needed with
// the NUL, and nothing written.
DWORD CopyOutPath(const std::string& text, char* buffer, DWORD size);

// CopyFileA and DeleteFileA without the fault plan, for the platform's own
// file operations; they set the last error and record the transcript entry.
BOOL CopyFileNoFault(LPCSTR existing, LPCSTR target, BOOL failIfExists);
BOOL DeleteFileNoFault(LPCSTR path);
// The transcript entry of a file copied or renamed ("file_copy", "copied"),
// with both Windows paths.
void RecordFileMove(const char* event, const char* verb, const std::string& from, const std::string& to);

// A library of the simulated system that LoadLibraryA can load: its file
// name, whether the running machine has it, and its exports by name.
struct ModuleExport {
  const char* name;
  FARPROC proc;
};
struct ModuleImage {
  const char* fileName;      // e.g. "newdev.dll"
  bool (*installed)();       // present on the running machine
  const ModuleExport* exports;
  size_t exportCount;
};
// Registered at start-up by the library's own part of the simulation.
struct ModuleRegistration {
  explicit ModuleRegistration(const ModuleImage& image);
};

}  // namespace sim::internal
