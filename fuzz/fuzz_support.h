// What the harnesses share: simulated machines held in memory, made once per
// fuzzing process and brought back to their checkpoint before every input (a
// restore puts back only what the last input changed), and the checks. Nothing
// of a run touches the disk.
#pragma once

#include "app/app_state.h"
#include "platform/sim/kernel32/kernel32.h"
#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/user32/user32.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>


namespace fuzz {

namespace fs = std::filesystem;

// Where every harness puts its INF (and the whole-program harness its
// package), on the machine's drive C; the simulated processes start there.
inline const char* const kPackage = "C:\\Users\\Public\\Package";

// A failed invariant: says which, then aborts so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}
// The message is only built when the check fails: checks run in loops over
// whole buffers.
#define FUZZ_CHECK(condition, what)     \
  do {                                  \
    if (!(condition)) ::fuzz::Fail(what); \
  } while (0)

// Makes a machine held in memory, as `options` ask, with the package
// directory, and checkpoints it; it stays open. The directory is part of the
// checkpoint, so that an input's files go into it without making it anew.
inline sim::Machine NewMachine(const sim::NewMachineOptions& options = {}) {
  sim::CreateMachineInMemory(options);
  if (!sim::MakeDirectories(sim::HostPathOf(kPackage))) Fail("cannot make the package directory");
  sim::CheckpointMachine();
  return sim::CurrentMachine();
}

// The new machine every harness starts from, made once, with the machine's
// own output kept quiet (no echo of changes) and the processes starting in
// the package directory.
inline const sim::Machine& Once() {
  static const sim::Machine machine = [] {
    setenv("SETUP_SIM_ECHO", "0", 1);
    sim::SetStartDirectory(kPackage);
    return NewMachine();
  }();
  return machine;
}

// Forgets the per-process state, as a new process starts, and answers
// message boxes without drawing them (a new process would draw them).
inline void NewProcess() {
  sim::ResetProcessState();
  sim::SetMessageBoxPresenter([](HWND, std::string_view, std::string_view, UINT) { return IDOK; });
}

// `machine` as a new process finds it at its checkpoint. Switching to the
// machine that is open already would copy it only for the restore to
// overwrite the copy.
inline void Fresh(const sim::Machine& machine) {
  NewProcess();
  if (sim::CurrentMachine().memory != machine.memory) sim::SwitchToMachine(machine);
  sim::RestoreMachine();
}

// Ends an input: forgets the per-process state and puts back the machine's
// changed files, so that the input ends holding no more memory than it
// started with (libFuzzer runs an input that does not a second time, looking
// for leaks, which doubled the cost of most inputs).
inline void Done() {
  NewProcess();
  sim::RestoreMachine();
}

// Writes a file of the open machine's drive C, with its directories.
inline void WriteDriveFile(const std::string& windowsPath, std::string_view bytes) {
  const fs::path host = sim::HostPathOf(windowsPath);
  if (!sim::MakeDirectories(host.parent_path()) || !sim::WriteFileBytes(host, bytes)) Fail("cannot write " + windowsPath);
}

// The INF every harness reads, and its Linux path. At a checkpoint the
// package directory holds no file of that name, so its path maps alike on
// every machine and at every input, and is mapped once.
inline const std::string kInf = std::string(kPackage) + "\\fuzz.inf";
inline void WriteInf(std::string_view bytes) {
  static const fs::path host = sim::HostPathOf(kInf);
  if (!sim::WriteFileBytes(host, bytes)) Fail("cannot write " + kInf);
}

// Starts an input of the readers' harnesses: the new machine, its INF holding
// the input's bytes, read in code page 936 (which has double-byte characters)
// when `doubleByte` says so, else in 1252.
inline void StartInput(const uint8_t* data, size_t size, bool doubleByte) {
  Fresh(Once());
  WriteInf(std::string_view(reinterpret_cast<const char*>(data), size));
  sim::CurrentMachine().language = doubleByte ? 0x0804 : 0x0409;
}

// The Linux path, in capitals, of a Windows path that the transcript names
// (as UTF-8); "" when it does not map.
inline std::string HostKey(const std::string& utf8WindowsPath) {
  const sim::HostPath mapped = sim::MapWindowsPath(sim::Utf8ToAnsi(utf8WindowsPath));
  return mapped.ok() ? sim::UpperAnsi(mapped.host.string()) : std::string();
}

// Whether `path` (a Windows path) lies strictly inside `directory`, letter case ignored.
inline bool Inside(const std::string& path, const std::string& directory) {
  return path.size() > directory.size() + 1 && sim::EqualsNoCase(path.substr(0, directory.size()), directory) &&
         path[directory.size()] == '\\';
}

// A number drawn from the input's bytes, to pick a harness's variant the same
// way each time the input is run.
inline uint32_t Hash(const uint8_t* data, size_t size) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
  return h;
}

}  // namespace fuzz
