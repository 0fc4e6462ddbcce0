// A machine's life: made new, opened, saved after every change, and found
// again by the next process, on disk or held in memory.
#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/memory_drive.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>

namespace sim {
namespace {

std::optional<Machine> g_machine;
MachinePopulator g_populator = nullptr;

// A new machine's drive holds only what CreateMachine makes, named as it
// names it, so a Windows path of it maps to the drive by its names alone.
fs::path OnNewDrive(const Machine& m, const std::string& windowsPath) {
  std::string rest = CodePageToUtf8(windowsPath.substr(std::min<size_t>(3, windowsPath.size())), m.CodePage());
  std::replace(rest.begin(), rest.end(), '\\', '/');
  return m.dir / "drive_c" / rest;
}

void CollectBaseline(Machine& m) {
  m.baseline_files.clear();
  const std::string driveC = (m.dir / "drive_c").string() + "/";
  for (const fs::path& file : FilesUnder(OnNewDrive(m, m.windows_directory)))
    m.baseline_files.push_back(file.string().substr(driveC.size()));
  std::sort(m.baseline_files.begin(), m.baseline_files.end());
}

}  // namespace

void internal::OpenMachineValue(Machine m) {
  // A machine in memory opened again (as a new process finds it) is the same
  // drive: the caches of its files stay, since each checks its file's
  // freshness at every use, and the fuzzers reopen it twice an input.
  const bool reopened = g_machine && m.memory && g_machine->memory == m.memory;
  g_machine = std::move(m);
  internal::UseDrive(g_machine->memory.get());
  if (!reopened) internal::MachineChanged();
}

void OpenMachine(const fs::path& dir) { internal::OpenMachineValue(LoadMachineFile(fs::absolute(dir))); }

Machine& CurrentMachine() {
  if (!g_machine) {
    const char* chosen = std::getenv("SETUP_MACHINE");
    const fs::path dir = chosen && *chosen ? fs::path(chosen) : DefaultMachineDir();
    if (!fs::exists(dir / "machine.json")) {
      if (chosen && *chosen) {
        std::fprintf(stderr, "setup: SETUP_MACHINE names %s, which holds no machine.json\n", chosen);
        std::exit(3);
      }
      CreateMachine(dir);
    } else {
      try {
        OpenMachine(dir);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "setup: %s\n", e.what());
        std::exit(3);
      }
    }
  }
  return *g_machine;
}

void SetMachinePopulator(MachinePopulator populate) { g_populator = populate; }

void internal::MakeNewMachine(Machine m, const NewMachineOptions& options) {
  m.version = options.version;
  m.language = options.language;
  m.architecture = options.architecture;
  internal::OpenMachineValue(m);
  for (const char* sub : {"", "\\system32", "\\system32\\drivers", "\\INF"})
    if (!MakeDirectories(OnNewDrive(m, m.windows_directory + sub)))
      throw std::runtime_error("cannot make " + OnNewDrive(m, m.windows_directory + sub).string());
  if (g_populator && options.with_default_devices) g_populator(CurrentMachine(), options);
  CollectBaseline(CurrentMachine());
  SaveMachine();
}

void CreateMachine(const fs::path& dirArg, const NewMachineOptions& options) {
  const fs::path dir = fs::absolute(dirArg);
  if (fs::exists(dir / "machine.json")) throw std::runtime_error("a machine already exists at " + dir.string());
  Machine m;
  m.dir = dir;
  internal::MakeNewMachine(std::move(m), options);
}

// A machine in memory is saved and reopened by assignment, member by member,
// so that its texts and lists keep their storage: the whole-program fuzzer
// saves at every change and reopens twice an input.
void SaveMachine() {
  Machine& m = CurrentMachine();
  if (!m.memory) return internal::WriteMachineFile(m);
  Machine& saved = m.memory->saved;
  saved = m;
  saved.memory.reset();  // the drive holds its states, not they the drive
}

void ReopenMachine() {
  Machine& m = CurrentMachine();
  if (!m.memory) return OpenMachine(m.dir);
  std::shared_ptr<MemoryDrive> drive = m.memory;
  m = drive->saved;
  m.memory = std::move(drive);
  internal::UseDrive(m.memory.get());  // the same drive: its caches stay, as OpenMachineValue keeps them
}

}  // namespace sim
