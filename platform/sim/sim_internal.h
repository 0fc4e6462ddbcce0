// Plumbing shared by the files of the simulation; not for its users.
#pragma once

#include "platform/sim/sim.h"

namespace sim::internal {

// Per-process state of a part of the simulation is forgotten by
// ResetProcessState through hooks that each part registers at start-up.
struct ResetHook {
  explicit ResetHook(void (*reset)());
};
// Caches that depend on which machine is open register here.
struct MachineChangeHook {
  explicit MachineChangeHook(void (*changed)());
};
void MachineChanged();

// A point where the simulation has just changed the machine, or is about to
// replace a file with new bytes already written: with SETUP_SIM_KILL_AT=N the
// process kills itself (SIGKILL) at the N-th such point.
void KillPoint();

// The last-error code of the (single) thread.
void SetError(DWORD error);

// Fills a caller's buffer with a text as the directory functions of kernel32
// do: the length without the NUL when it fits, otherwise the size needed with
// the NUL, and nothing written.
DWORD CopyOutPath(const std::string& text, char* buffer, DWORD size);

// CopyFileA and DeleteFileA without the fault plan, for the platform's own
// file operations; they set the last error and record the transcript entry.
BOOL CopyFileNoFault(LPCSTR existing, LPCSTR target, BOOL failIfExists);
BOOL DeleteFileNoFault(LPCSTR path);

// True for the byte ranges of the ANSI code page's lead bytes (936 only).
bool LeadByte(UINT codePage, unsigned char byte);
// Case-insensitive equality of ANSI texts without allocating (a double-byte
// character compares as it is).
bool SameNoCase(UINT codePage, std::string_view a, std::string_view b);

}  // namespace sim::internal
