// LoadLibraryA, GetProcAddress and FreeLibrary over the libraries of the
// simulated system that register themselves here (newdev.DLL).
#include "platform/sim/kernel32/kernel32.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"

#include <cstring>
#include <string>
#include <vector>

namespace sim::internal {
namespace {

struct LoadedModule {
  ModuleImage image;
  // One module handle per process, reference-counted by the ledger as
  // Windows counts a library's loads.
  void* handle = nullptr;
};

std::vector<LoadedModule>& Modules() {
  static std::vector<LoadedModule> modules;
  return modules;
}

ResetHook g_reset([] {
  for (LoadedModule& m : Modules()) m.handle = nullptr;
});

// "newdev", "newdev.dll" in any letter case, or its full path in the system directory.
bool Names(const ModuleImage& image, std::string_view name) {
  std::string text(name);
  const size_t slash = text.find_last_of("\\/");
  if (slash != std::string::npos) {
    if (!EqualsNoCase(text.substr(0, slash), SystemDirectory())) return false;
    text = text.substr(slash + 1);
  }
  const std::string_view file = image.fileName;
  const std::string_view stem = file.substr(0, file.rfind('.'));
  return EqualsNoCase(text, file) || EqualsNoCase(text, stem);
}

LoadedModule* ByHandle(HMODULE module) {
  for (LoadedModule& m : Modules())
    if (module && m.handle == module) return &m;
  return nullptr;
}

}  // namespace

ModuleRegistration::ModuleRegistration(const ModuleImage& image) { Modules().push_back(LoadedModule{image, nullptr}); }

}  // namespace sim::internal

using namespace sim;
using namespace sim::internal;

HMODULE WINAPI LoadLibraryA(LPCSTR name) {
  if (auto error = FaultFor("LoadLibraryA", ERROR_MOD_NOT_FOUND)) return Fail(*error, HMODULE{nullptr});
  for (LoadedModule& m : Modules()) {
    if (!name || !Names(m.image, name)) continue;
    if (!m.image.installed()) return Fail(ERROR_MOD_NOT_FOUND, HMODULE{nullptr});
    if (!m.handle) m.handle = NewHandleValue(HandleKind::Module);
    LedgerOpen(HandleKind::Module, m.handle);
    return static_cast<HMODULE>(m.handle);
  }
  // Windows has many more libraries; the simulation has only those it registers.
  return Unmodelled("LoadLibraryA", std::string("a library the simulation does not have: ") + (name ? name : "(null)"),
                    ERROR_MOD_NOT_FOUND, HMODULE{nullptr});
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
  if (auto error = FaultFor("GetProcAddress", ERROR_PROC_NOT_FOUND)) return Fail(*error, FARPROC{nullptr});
  const LoadedModule* m = ByHandle(module);
  if (!m || !LedgerIsOpen(HandleKind::Module, module)) return Fail(ERROR_MOD_NOT_FOUND, FARPROC{nullptr});
  if (!name || IS_INTRESOURCE(name))
    return Unmodelled("GetProcAddress", "an export by ordinal", ERROR_PROC_NOT_FOUND, FARPROC{nullptr});
  for (size_t i = 0; i < m->image.exportCount; ++i)
    if (std::strcmp(name, m->image.exports[i].name) == 0) return m->image.exports[i].proc;
  // The simulated library has the exports the program uses; the real one has more.
  return Unmodelled("GetProcAddress", std::string("an export the simulated library does not have: ") + name,
                    ERROR_PROC_NOT_FOUND, FARPROC{nullptr});
}

BOOL WINAPI FreeLibrary(HMODULE module) {
  if (auto error = FaultFor("FreeLibrary", ERROR_INVALID_HANDLE)) return Fail(*error, FALSE);
  if (!LedgerClose(HandleKind::Module, module, "FreeLibrary")) return Fail(ERROR_INVALID_HANDLE, FALSE);
  return TRUE;
}
