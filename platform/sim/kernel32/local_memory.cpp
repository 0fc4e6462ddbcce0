// LocalAlloc and LocalFree over the C heap, counted by the ledger.
#include "platform/sim/machine/calls.h"

#include <cstdlib>

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes) {
  if (auto error = sim::FaultFor("LocalAlloc", ERROR_NOT_ENOUGH_MEMORY)) {
    SetLastError(*error);
    return nullptr;
  }
  if (flags & ~static_cast<UINT>(LPTR)) {  // only fixed memory is simulated
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* memory = (flags & LMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
  if (!memory) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  sim::LedgerOpen(sim::HandleKind::LocalMemory, memory);
  return memory;
}

HLOCAL WINAPI LocalFree(HLOCAL memory) {
  // Windows takes a null handle and does nothing. The ledger still records it:
  // the program never releases a handle it does not hold.
  if (!memory) {
    sim::LedgerClose(sim::HandleKind::LocalMemory, nullptr, "LocalFree");
    return nullptr;
  }
  if (!sim::LedgerClose(sim::HandleKind::LocalMemory, memory, "LocalFree")) {
    SetLastError(ERROR_INVALID_HANDLE);
    return memory;
  }
  std::free(memory);
  return nullptr;
}
