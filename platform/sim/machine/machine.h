// The simulated machine: what it is (version, language, directories, device
// tree, fault plan), where it lives (a directory holding machine.json and
// drive_c/), and the per-process state of the simulation that runs on it.
#pragma once

#include "platform/sim/base/text.h"
#include "platform/win32.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace sim {

namespace fs = std::filesystem;

struct DriverRecord {
  std::string inf;      // file name in the Windows INF directory, e.g. "oem3.inf"
  std::string section;  // install section the driver was installed from
  bool operator==(const DriverRecord&) const = default;
};

struct Device {
  std::string instance_id;
  std::vector<std::string> hardware_ids;    // empty: the property is missing
  std::vector<std::string> compatible_ids;  // empty: the property is missing
  bool present = true;
  std::optional<DWORD> config_flags;  // nullopt: the property is missing
  std::string setup_class;
  std::optional<DriverRecord> driver;
  DWORD devnode = 0;
  bool operator==(const Device&) const = default;
};

struct FaultRule {
  std::string call;  // the platform function's name, e.g. "SetupOpenFileQueue"
  int nth = 0;       // which call fails, counting from 1 in each process; 0: every call
  std::optional<DWORD> error;  // the last-error code the failure leaves; nullopt: the call's own default
  // The failing call leaves the caller's output buffer as it was, which the
  // platform is free to do when it fails; otherwise it empties the buffer as
  // its own failures do. Only the profile readers look at this.
  bool buffer_untouched = false;
  bool operator==(const FaultRule&) const = default;
};

struct MemoryDrive;

struct Machine {
  fs::path dir;  // the machine directory: machine.json, drive_c/, transcript.jsonl
  std::shared_ptr<MemoryDrive> memory;  // drive C when the machine is held in memory; null: dir's drive_c/
  DWORD version = 0x4A65000A;  // what GetVersion returns (default: Windows 10, build 19045)
  std::string windows_directory = "C:\\WINDOWS";
  std::string system_directory = "C:\\WINDOWS\\system32";
  bool windows_directory_fails = false;  // GetWindowsDirectoryA returns 0
  LANGID language = 0x0409;
  std::optional<UINT> ansi_code_page;  // nullopt: 936 for language 0x0804, 1252 otherwise
  std::string architecture = "amd64";  // "amd64" or "x86"
  std::vector<Device> devices;
  DWORD next_devnode = 1;
  std::vector<FaultRule> faults;
  std::vector<std::string> baseline_files;  // files of a new machine under the Windows directory
  nlohmann::json extra = nlohmann::json::object();  // keys this version does not know, kept as they are

  UINT CodePage() const;
  bool IsNtFamily() const { return (version & 0x80000000u) == 0; }
};

struct NewMachineOptions {
  DWORD version = 0x4A65000A;
  LANGID language = 0x0409;
  std::string architecture = "amd64";
  bool with_default_devices = true;
};

// The machine every simulated call acts on. It is loaded on first use from the
// directory named by SETUP_MACHINE, or from a default machine directory that is
// created when it does not exist yet.
Machine& CurrentMachine();
// Switches to the machine in `dir` (tests and tools). Loads it; throws
// std::runtime_error with a one-line reason when it cannot be read.
void OpenMachine(const fs::path& dir);
// Writes a new machine into `dir` (which must not hold one) and opens it.
void CreateMachine(const fs::path& dir, const NewMachineOptions& options = {});
// Saves the current machine atomically: a temporary file, then a rename. A
// machine held in memory keeps the saved state in memory.
void SaveMachine();
// Reads a machine file without opening it; throws std::runtime_error on error.
Machine LoadMachineFile(const fs::path& dir);
// The machine file's text, and a machine read back from one (throws
// std::runtime_error with the reason when it cannot be).
std::string MachineFileText(const Machine& m);
Machine ParseMachineFile(const std::string& text, const fs::path& dir);
// The machine as a new process finds it: machine.json read again, or a
// machine held in memory as it was last saved.
void ReopenMachine();

// A machine held wholly in memory, for runs of thousands of inputs: its
// device tree, settings and drive C live in this process, and a change
// writes nothing to disk (the transcript is the in-memory list alone).
// Creates a new one and opens it.
void CreateMachineInMemory(const NewMachineOptions& options = {});
// Opens `machine`, a machine held in memory as CurrentMachine() gave it.
void SwitchToMachine(const Machine& machine);
// Takes the open in-memory machine as it is now for the state RestoreMachine
// brings back. From here its drive keeps each changed file's old bytes.
void CheckpointMachine();
// Brings the open in-memory machine back to its checkpoint: each file changed
// since (the cost grows with what changed, not with the drive), and the device
// tree and settings (copied whole: a few dozen devices).
void RestoreMachine();
// The default machine directory used when SETUP_MACHINE is not set.
fs::path DefaultMachineDir();
// Hook for the device services: fills a new machine's device tree and inbox
// INF files. Set by the part of the simulation that owns devices.
using MachinePopulator = void (*)(Machine&, const NewMachineOptions&);
void SetMachinePopulator(MachinePopulator populate);

// Forgets every per-process state: handles, call counts, faults added by a
// test, the last error, open windows, the in-memory transcript and the
// profile cache. The machine on disk is not touched.
void ResetProcessState();

// Texts in the current machine's ANSI code page.
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);  // characters the code page lacks become '?'
std::string Utf16LeToAnsi(std::string_view utf16);
bool IsDbcsLeadByte(unsigned char byte);
// Case-insensitive comparison of ANSI texts, as the platform compares names.
bool EqualsNoCase(std::string_view a, std::string_view b);
std::string UpperAnsi(std::string_view text);

namespace internal {

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
// Opens `m` as the current machine.
void OpenMachineValue(Machine m);
// Writes the machine file of `m`, a machine on disk, atomically.
void WriteMachineFile(const Machine& m);
// Fills `m`, a machine with nothing on its drive yet, as a new machine is
// (directories, devices, inbox files), opens it and saves it.
void MakeNewMachine(Machine m, const NewMachineOptions& options);

// A point where the simulation has just changed the machine, or is about to
// replace a file with new bytes already written: with SETUP_SIM_KILL_AT=N the
// process kills itself (SIGKILL) at the N-th such point.
void KillPoint();

}  // namespace internal
}  // namespace sim
