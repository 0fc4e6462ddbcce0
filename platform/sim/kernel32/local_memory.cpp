// LocalAlloc and LocalFree over the C heap, counted by the ledger.
#include "platform/sim/machine/calls.h"

#include <cstdlib>

using namespace sim;

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes) {
  if (auto error = FaultFor("LocalAlloc", ERROR_NOT_ENOUGH_MEMORY)) return Fail(*error, HLOCAL{nullptr});
  // The program asks for zeroed fixed memory only; movable memory and its
  // handles are not simulated.
  if (flags != LPTR) return Unmodelled("LocalAlloc", "flags other than LPTR", ERROR_INVALID_PARAMETER, HLOCAL{nullptr});
  void* memory = std::calloc(1, bytes ? bytes : 1);
  if (!memory) return Fail(ERROR_NOT_ENOUGH_MEMORY, HLOCAL{nullptr});
  LedgerOpen(HandleKind::LocalMemory, memory);
  return memory;
}

HLOCAL WINAPI LocalFree(HLOCAL memory) {
  // Windows takes a null handle and does nothing. The ledger still records it:
  // the program never releases a handle it does not hold.
  if (!memory) {
    LedgerClose(HandleKind::LocalMemory, nullptr, "LocalFree");
    return nullptr;
  }
  if (!LedgerClose(HandleKind::LocalMemory, memory, "LocalFree")) return Fail(ERROR_INVALID_HANDLE, memory);
  std::free(memory);
  return nullptr;
}
