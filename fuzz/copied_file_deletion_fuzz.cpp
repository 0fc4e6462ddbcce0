// The copied-file deletion on arbitrary INF text, against a simulated machine
// that holds files in and below the Windows and system directories and files
// outside them (C:\boot.ini, a program's file, files beside the package and
// beside its directory, all on drive C): every file it deletes lies inside the Windows or the
// system directory, no file outside them is ever deleted, and the INF handle
// is closed once.
#include "fuzz/fuzz_support.h"
#include "uninstall/uninstall.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"

#include <cstring>

#include <sys/stat.h>

namespace {

// Files the INF may name. The first ones lie where the deletion may reach,
// the others where it must never reach.
const char* const kInside[] = {
    "C:\\WINDOWS\\drv.sys",          "C:\\WINDOWS\\system32\\drv.sys", "C:\\WINDOWS\\system32\\drivers\\drv.sys",
    "C:\\WINDOWS\\system32\\drv.dll", "C:\\WINDOWS\\INF\\drv.inf",      "C:\\WINDOWS\\system32\\drivers\\boot.ini",
};
const char* const kOutside[] = {
    "C:\\boot.ini", "C:\\drv.sys", "C:\\Program Files\\Vendor\\drv.dll", "C:\\WINDOWSX\\drv.sys",
};
// Beside the INF in the package directory (on the same drive), and in the
// directory above it.
const char* const kBesidePackage[] = {"drv.sys", "boot.ini", "drv.dll"};

struct Machines {
  // The new machine of every harness, with the files planted.
  sim::Machine ordinary;
  // A machine whose Windows directory leaves little room in a path; its C:\WINDOWS
  // is an ordinary directory, outside the Windows directory.
  sim::Machine longWindows;
};

bool Exists(const std::string& windowsPath) {
  struct stat info;
  return sim::StatPath(sim::HostPathOf(windowsPath), info);
}

// Plants the files in the open machine and checkpoints it with them.
sim::Machine Plant() {
  for (const char* path : kInside) fuzz::WriteDriveFile(path, std::string("inside ") + path);
  for (const char* path : kOutside) fuzz::WriteDriveFile(path, std::string("outside ") + path);
  for (const char* name : kBesidePackage) {
    fuzz::WriteDriveFile(std::string(fuzz::kPackage) + "\\" + name, std::string("package ") + name);
    fuzz::WriteDriveFile(std::string(fuzz::kPackage) + "\\..\\" + name, std::string("above the package ") + name);
  }
  sim::CheckpointMachine();
  return sim::CurrentMachine();
}

const Machines& Prepare() {
  static const Machines machines = [] {
    Machines m;
    fuzz::Fresh(fuzz::Once());
    m.ordinary = Plant();
    fuzz::NewMachine();
    sim::Machine& machine = sim::CurrentMachine();
    machine.windows_directory = "C:\\" + std::string(120, 'W') + "\\" + std::string(100, 'N');
    machine.system_directory = machine.windows_directory + "\\system32";
    if (!sim::MakeDirectories(sim::HostPathOf(machine.system_directory + "\\drivers")))
      fuzz::Fail("cannot make the long system directory");
    m.longWindows = Plant();
    return m;
  }();
  return machines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Machines& m = Prepare();
  const uint32_t variant = fuzz::Hash(data, size);
  fuzz::Fresh(variant % 8 == 7 ? m.longWindows : m.ordinary);
  // Both code pages: 936 reads double-byte characters, 1252 does not.
  sim::CurrentMachine().language = (variant & 1) ? 0x0804 : 0x0409;
  const std::string& inf = fuzz::kInf;
  fuzz::WriteInf(std::string_view(reinterpret_cast<const char*>(data), size));
  AppState = ProgramState{};
  std::snprintf(AppState.InfPath, sizeof AppState.InfPath, "%s", inf.c_str());

  DeleteCopiedFiles();

  static const bool verbose = std::getenv("FUZZ_VERBOSE") != nullptr;  // to see what an input deletes
  const std::string windows = sim::WindowsDirectory(), system = sim::SystemDirectory();
  for (const auto& deletion : sim::TranscriptOf("file_delete")) {
    const std::string path = sim::Utf8ToAnsi(deletion["path"].get<std::string>());
    if (verbose) std::fprintf(stderr, "deleted %s\n", path.c_str());
    if (!fuzz::Inside(path, windows) && !fuzz::Inside(path, system)) fuzz::Fail("deleted outside: " + path);
  }
  for (const char* path : kOutside)
    if (!Exists(path)) fuzz::Fail(std::string("deleted ") + path);
  for (const char* name : kBesidePackage)
    if (!Exists(std::string(fuzz::kPackage) + "\\" + name) || !Exists(std::string(fuzz::kPackage) + "\\..\\" + name))
      fuzz::Fail(std::string("deleted a file beside the package: ") + name);
  FUZZ_CHECK(Exists(inf), "deleted the INF itself");
  sim::LedgerCheckLeaks();
  if (!sim::LedgerViolations().empty()) fuzz::Fail("handle ledger: " + sim::LedgerViolations().front());
  fuzz::Done();
  return 0;
}
