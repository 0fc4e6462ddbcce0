// What every simulated call goes through: the call count and fault plan (any
// call can be made to fail, by name and occurrence, with a chosen last-error
// code), the thread's last error, and the ledger of the handles it gives out.
#pragma once

#include "platform/sim/machine/machine.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Counts a call of `name` and tells whether this occurrence is to fail, and
// with which last-error code (`defaultError` when the rule names none).
// `bufferUntouched`, when given, receives the failing rule's buffer_untouched.
// `name` must live as long as the process (a string literal): its address is
// kept to find the count again.
std::optional<DWORD> FaultFor(const char* name, DWORD defaultError, bool* bufferUntouched = nullptr);
// Whether `name` is a call whose simulation consults the fault plan: a fault
// planned for any other call would never fire.
bool IsFaultableCall(std::string_view name);
void AddFault(const FaultRule& rule);  // for this process only
void ClearFaults();                    // this process's rules and the machine's
const std::map<std::string, int, std::less<>>& CallCounts();

enum class HandleKind { DeviceList, DriverList, InfFile, FileQueue, QueueContext, Find, LocalMemory, Module, Window, File };
const char* HandleKindName(HandleKind kind);
// Handle values for objects the simulation keeps itself: never reused in a process.
void* NewHandleValue(HandleKind kind);
void LedgerOpen(HandleKind kind, const void* handle);
bool LedgerIsOpen(HandleKind kind, const void* handle);
// Closes a handle; a handle that is not open is recorded as a violation and false is returned.
bool LedgerClose(HandleKind kind, const void* handle, const char* call);
// Records every handle still open (modules excepted: a loaded library may stay
// loaded until the process ends) as a leak. Returns the number of leaks.
size_t LedgerCheckLeaks();
const std::vector<std::string>& LedgerViolations();
size_t LedgerOpenCount(HandleKind kind);

namespace internal {
// The last-error code of the (single) thread.
void SetError(DWORD error);
DWORD LastError();
// Records in the transcript that `call` was asked for something the
// simulation does not model (`what`), and the error it answered with.
void RecordUnmodelled(const char* call, const std::string& what, DWORD error);
}  // namespace internal

// The one way a simulated call fails: the last error set, `result` returned.
template <typename T>
T Fail(DWORD error, T result) {
  internal::SetError(error);
  return result;
}

// The one way a simulated call refuses an argument or a request it does not
// model: loudly, with a transcript entry, and never answered by a guess.
template <typename T>
T Unmodelled(const char* call, const std::string& what, DWORD error, T result) {
  internal::RecordUnmodelled(call, what, error);
  return Fail(error, result);
}

}  // namespace sim
