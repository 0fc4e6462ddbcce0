// The copied-file deletion on arbitrary INF text, against a simulated machine
// that holds files in and below the Windows and system directories and files
// outside them (C:\boot.ini, a program's file, files beside the package and
// beside its directory): every file it deletes lies inside the Windows or the
// system directory, no file outside them is ever deleted, and the INF handle
// is closed once.
#include "fuzz/fuzz_support.h"
#include "uninstall/uninstall.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"

#include <cstring>

namespace {

namespace fs = std::filesystem;

// Files the INF may name. The first ones lie where the deletion may reach,
// the others where it must never reach.
const char* const kInside[] = {
    "C:\\WINDOWS\\drv.sys",          "C:\\WINDOWS\\system32\\drv.sys", "C:\\WINDOWS\\system32\\drivers\\drv.sys",
    "C:\\WINDOWS\\system32\\drv.dll", "C:\\WINDOWS\\INF\\drv.inf",      "C:\\WINDOWS\\system32\\drivers\\boot.ini",
};
const char* const kOutside[] = {
    "C:\\boot.ini", "C:\\drv.sys", "C:\\Program Files\\Vendor\\drv.dll", "C:\\WINDOWSX\\drv.sys",
};
// Beside the INF in the package directory, and in the directory above it.
const char* const kBesidePackage[] = {"drv.sys", "boot.ini", "drv.dll"};

// A machine with the files planted, and a copy of its drive_c as it was
// made, to put deleted files back from.
struct Machine {
  fs::path dir, pristine;
};

struct Machines {
  fuzz::Setup setup;
  Machine ordinary;
  // A machine whose Windows directory leaves little room in a path; its C:\WINDOWS
  // is an ordinary directory, outside the Windows directory.
  Machine longWindows;
};

Machine Plant(const fs::path& dir) {
  for (const char* path : kInside) fuzz::WriteFile(sim::HostPathOf(path), std::string("inside ") + path);
  for (const char* path : kOutside) {
    const fs::path parent = sim::HostPathOf(path).parent_path();
    sim::Uninterrupted(parent, [&](auto& e) { return fs::create_directories(parent, e); });
    fuzz::WriteFile(sim::HostPathOf(path), std::string("outside ") + path);
  }
  Machine m{dir, dir.parent_path() / (dir.filename().string() + "-pristine")};
  sim::Uninterrupted(m.pristine, [&](auto& e) {
    fs::copy(dir / "drive_c", m.pristine, fs::copy_options::recursive | fs::copy_options::overwrite_existing, e);
  });
  return m;
}

const Machines& Prepare() {
  static const Machines machines = [] {
    Machines m;
    m.setup = fuzz::Once();
    m.ordinary = Plant(m.setup.machine);
    for (const char* name : kBesidePackage) {
      fuzz::WriteFile(m.setup.package / name, std::string("package ") + name);
      fuzz::WriteFile(m.setup.root / name, std::string("above the package ") + name);
    }
    const fs::path longDir = m.setup.root / "long";
    sim::CreateMachine(longDir);
    sim::Machine& machine = sim::CurrentMachine();
    machine.windows_directory = "C:\\" + std::string(120, 'W') + "\\" + std::string(100, 'N');
    machine.system_directory = machine.windows_directory + "\\system32";
    const fs::path drivers = sim::HostPathOf(machine.system_directory + "\\drivers");
    sim::Uninterrupted(drivers, [&](auto& e) { return fs::create_directories(drivers, e); });
    sim::SaveMachine();
    m.longWindows = Plant(longDir);
    sim::OpenMachine(m.setup.machine);
    return m;
  }();
  return machines;
}

// Puts back what the last input deleted from the machine's drive_c.
void Restore(const Machine& m) {
  const fs::path drive = m.dir / "drive_c";
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(m.pristine, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const fs::path target = drive / fs::relative(it->path(), m.pristine);
    if (it->is_regular_file() && !fs::exists(target))
      sim::Uninterrupted(target, [&](auto& e) { return fs::copy_file(it->path(), target, e); });
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Machines& m = Prepare();
  const uint32_t variant = fuzz::Hash(data, size);
  const Machine& machine = variant % 8 == 7 ? m.longWindows : m.ordinary;
  if (&machine != &m.ordinary) sim::OpenMachine(machine.dir);
  sim::ResetProcessState();
  // Both code pages: 936 reads double-byte characters, 1252 does not.
  sim::CurrentMachine().language = (variant & 1) ? 0x0804 : 0x0409;
  fuzz::WriteFile(m.setup.package / "fuzz.inf", data, size);
  AppState = ProgramState{};
  std::snprintf(AppState.InfPath, sizeof AppState.InfPath, "%s",
                sim::WindowsPathOf(m.setup.package / "fuzz.inf").c_str());

  DeleteCopiedFiles();

  static const bool verbose = std::getenv("FUZZ_VERBOSE") != nullptr;  // to see what an input deletes
  const std::string windows = sim::WindowsDirectory(), system = sim::SystemDirectory();
  for (const auto& deletion : sim::TranscriptOf("file_delete")) {
    const std::string path = sim::Utf8ToAnsi(deletion["path"].get<std::string>());
    if (verbose) std::fprintf(stderr, "deleted %s\n", path.c_str());
    if (!fuzz::Inside(path, windows) && !fuzz::Inside(path, system)) fuzz::Fail("deleted outside: " + path);
  }
  for (const char* path : kOutside)
    if (!fs::exists(sim::HostPathOf(path))) fuzz::Fail(std::string("deleted ") + path);
  for (const char* name : kBesidePackage)
    if (!fs::exists(m.setup.package / name) || !fs::exists(m.setup.root / name))
      fuzz::Fail(std::string("deleted a file beside the package: ") + name);
  FUZZ_CHECK(fs::exists(m.setup.package / "fuzz.inf"), "deleted the INF itself");
  sim::LedgerCheckLeaks();
  if (!sim::LedgerViolations().empty()) fuzz::Fail("handle ledger: " + sim::LedgerViolations().front());

  Restore(machine);
  if (&machine != &m.ordinary) sim::OpenMachine(m.ordinary.dir);
  return 0;
}
