// A whole install and then uninstall of an arbitrary INF, each as its own
// process would run it, on a new machine for every input: silently, or from
// the main dialog with the option to delete the driver files checked (the
// input's bytes choose, as they choose the scenario, so that mutations try
// both). The package lies on the machine's drive C, and the processes start
// in its directory.
// Every handle is released once, both actions end with one of their result
// codes, a new process finds every change and the machine file written from
// them reads back the same, and no file changes but the package's
// own: the files its INF names as destinations (as the platform's file
// queues and driver installs act on them), its staged copy in the Windows INF
// directory, and on the 9x family the INF copy and the driver index. The
// uninstall changes nothing but deletions: the staged copy (a file of the INF
// directory with the package INF's bytes, and its PNF), and with the option
// checked files the INF names inside the Windows or system directory.
#include "fuzz/fuzz_support.h"
#include "inf/inf.h"
#include "install/install.h"
#include "res/resource.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/pnp/pnp.h"
#include "platform/sim/user32/user32.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <set>

namespace {

namespace fs = std::filesystem;

enum class Scenario {
  PluggedInAfterInstall,  // NT: the package is staged, then its device is plugged in
  PresentBeforeInstall,   // NT: the driver of a present device is updated
  NoDevice,               // NT: staged, and the uninstall finds nothing to remove
  Legacy,                 // 9x: a present device whose install failed
};

struct Machines {
  sim::Machine nt, legacy;
};

const Machines& Prepare() {
  static const Machines machines = [] {
    Machines m;
    m.nt = fuzz::Once();
    sim::NewMachineOptions legacy;
    legacy.version = 0xC0000A04;  // Windows 98
    m.legacy = fuzz::NewMachine(legacy);
    return m;
  }();
  return machines;
}

// The package beside the INF: a file for every word of the INF that looks
// like a file name, so that its copy sections find their sources. The names
// are ASCII, so that one spelling of each in capitals stands for all its
// spellings, and the file is written straight into the package directory,
// which maps alike on every machine: mapping each name cost a tenth of an
// input.
void WritePackage(const std::string& inf) {
  std::map<std::string, std::string> names;  // by the name in capitals
  auto inWord = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.'; };
  for (size_t at = 0; at < inf.size() && names.size() < 32;) {
    size_t end = at;
    while (end < inf.size() && inWord(inf[end])) ++end;
    const std::string_view word = std::string_view(inf).substr(at, end - at);
    const size_t dot = word.rfind('.');
    if (word.size() >= 3 && word.size() <= 40 && dot != std::string::npos && dot > 0 && dot + 1 < word.size() &&
        word.size() - dot <= 4 && !sim::EqualsNoCase(word, "fuzz.inf"))
      names.emplace(sim::UpperAnsi(word), word);
    at = end + 1;
  }
  fuzz::WriteInf(inf);
  static const fs::path package = sim::HostPathOf(fuzz::kPackage);
  for (const auto& [upper, name] : names)
    if (!sim::WriteFileBytes(package / name, "package file " + name)) fuzz::Fail("cannot write the package file " + name);
}

// A hardware id a device could report: printable, no blank, no comma.
bool DeviceCouldReport(const char* id) {
  if (!*id) return false;
  for (const char* p = id; *p; ++p)
    if (*p <= ' ' || *p > '~' || *p == ',') return false;
  return true;
}

void AddPackageDevice(DWORD flags) {
  if (!DeviceCouldReport(AppState.HardwareIdList)) return;
  sim::Device device;
  device.hardware_ids = {AppState.HardwareIdList};
  device.config_flags = flags;
  sim::AddDevice(device);
}

// What a process of the program starts with, as the entry leaves it.
void StartProcess(bool legacy, bool dialog) {
  AppState = ProgramState{};
  std::snprintf(AppState.InfPath, sizeof AppState.InfPath, "%s\\fuzz.inf", fuzz::kPackage);
  if (legacy) {
    std::snprintf(AppState.InfCopyPath, sizeof AppState.InfCopyPath, "%s\\inf\\fuzz.inf", sim::WindowsDirectory().c_str());
    std::snprintf(AppState.DriverIndexPath, sizeof AppState.DriverIndexPath, "%s\\inf\\drvidx.bin",
                  sim::WindowsDirectory().c_str());
  }
  if (dialog) {
    AppState.MainWindow = sim::NewTestDialog(129);
    CheckDlgButton(AppState.MainWindow, IDC_DELETE_FILES, BST_CHECKED);
  }
}

std::string DevicesText(const std::vector<sim::Device>& devices) {
  std::string out;
  for (const sim::Device& d : devices) {
    out += d.instance_id + (d.present ? " present" : " absent");
    for (const std::string& id : d.hardware_ids) out += " hw:" + id;
    for (const std::string& id : d.compatible_ids) out += " compat:" + id;
    if (d.config_flags) out += " flags:" + std::to_string(*d.config_flags);
    if (d.driver) out += " driver:" + d.driver->inf + "/" + d.driver->section;
    out += "\n";
  }
  return out;
}

// A hash of what the machine file is written from (MachineFileText): the
// settings, devices, faults, baseline files and unknown keys. Two machines
// with the same hash write the same file, but for a collision of 64 bits.
size_t FileKey(const sim::Machine& m) {
  size_t h = std::hash<nlohmann::json>()(m.extra);
  auto mix = [&h](const auto&... values) {
    ((h = (h ^ std::hash<std::decay_t<decltype(values)>>()(values)) * 0x100000001b3ull), ...);
  };
  mix(m.version, m.windows_directory, m.system_directory, m.windows_directory_fails, m.language,
      m.ansi_code_page.value_or(~0u), m.architecture, m.next_devnode, m.baseline_files.size(), m.faults.size(),
      m.devices.size());
  for (const std::string& file : m.baseline_files) mix(file);
  for (const sim::FaultRule& f : m.faults) mix(f.call, f.nth, f.error.value_or(~0u), f.error.has_value(), f.buffer_untouched);
  for (const sim::Device& d : m.devices) {
    mix(d.instance_id, d.hardware_ids.size(), d.compatible_ids.size(), d.present, d.config_flags.value_or(~0u),
        d.config_flags.has_value(), d.setup_class, d.devnode, d.driver.has_value());
    for (const std::string& id : d.hardware_ids) mix(id);
    for (const std::string& id : d.compatible_ids) mix(id);
    if (d.driver) mix(d.driver->inf, d.driver->section);
  }
  return h;
}

// The machine is saved after every change: a new process finds the devices
// this one sees. With `writeFile`, the machine file made of them reads back
// the same too: after the install, when the devices hold the most text taken
// from the INF (its hardware id, its install section); after the uninstall
// it would repeat that on the same texts or fewer. The file, and so its
// reading back, depends on what FileKey hashes alone: a machine that passed
// once (most mutations leave the devices as an earlier input left them) is
// not written and read again, which cost a sixth of every input. The hashes
// are kept in a ring that allocates nothing, so that an input remains one
// that ends holding no more memory than it started with.
void CheckSaved(const char* after, bool writeFile) {
  const std::string held = DevicesText(sim::CurrentMachine().devices);
  if (writeFile) {
    static std::array<size_t, 4096> passed{};
    static size_t next = 0;
    const size_t key = FileKey(sim::CurrentMachine());
    if (std::find(passed.begin(), passed.end(), key) == passed.end()) {
      std::string written;
      try {
        written = DevicesText(sim::ParseMachineFile(sim::MachineFileText(sim::CurrentMachine()), "fuzz").devices);
      } catch (const std::exception& e) {
        fuzz::Fail(std::string("the machine file does not load after the ") + after + ": " + e.what());
      }
      if (written != held)
        fuzz::Fail(std::string("the machine file changes devices of the ") + after + ":\n" + written + "held:\n" + held);
      passed[next++ % passed.size()] = key;
    }
  }
  sim::ReopenMachine();
  const std::string saved = DevicesText(sim::CurrentMachine().devices);
  if (saved != held) fuzz::Fail(std::string("a new process lost changes of the ") + after + ":\n" + saved + "held:\n" + held);
}

void CheckLedger(const char* after) {
  sim::LedgerCheckLeaks();
  if (!sim::LedgerViolations().empty())
    fuzz::Fail(std::string("handle ledger after the ") + after + ": " + sim::LedgerViolations().front());
}

// The files the platform changed for the package: what its file queues and
// driver installs copied, renamed and deleted, and what staging wrote.
void AddPlatformTargets(std::set<std::string>& targets) {
  for (const auto& e : sim::Transcript()) {
    const std::string event = e.value("event", std::string());
    for (const char* field : {"to", "from", "path", "staged", "pnf"})
      if ((event == "file_copy" || event == "file_rename" || event == "file_delete" || event == "inf_staged") &&
          e.contains(field))
        targets.insert(fuzz::HostKey(e[field].get<std::string>()));
  }
}

int CallsOf(const char* name) {
  const auto it = sim::CallCounts().find(name);
  return it == sim::CallCounts().end() ? 0 : it->second;
}

// The drive's files that changed since the checkpoint, as they are now
// (nullopt: absent). The other files are as at the checkpoint.
using DriveNow = std::map<std::string, std::optional<std::string>>;
DriveNow ChangedNow() {
  DriveNow now;
  for (sim::DriveChange& change : sim::ChangesSinceCheckpoint()) now.emplace(std::move(change.path), std::move(change.now));
  return now;
}

// Files with their bytes, by Linux path: views into a DriveNow or the
// changes, which must outlive the map.
using Files = std::map<std::string_view, std::string_view>;

// The files that changed in the run, as they were at one point of it: the
// drive's, as `now` recorded them (or, without `now`, as they are at the end)
// or else as at the checkpoint, and the package's, which are the drive's too.
// A file that no step changed is the same at every point, so the comparisons
// below need only these.
Files At(const DriveNow* now, const std::vector<sim::DriveChange>& changes) {
  Files files;
  for (const sim::DriveChange& change : changes) {
    const auto it = now ? now->find(change.path) : DriveNow::const_iterator();
    const std::optional<std::string>& bytes = !now ? change.now : it != now->end() ? it->second : change.before;
    if (bytes) files.emplace(change.path, *bytes);
  }
  return files;
}

// The Windows INF directory's files, by Linux path in capitals.
bool InInfDirectory(std::string_view hostPath) {
  const std::string dir = sim::UpperAnsi(sim::HostPathOf(sim::InfDirectory()).string()) + "/";
  const std::string upper = sim::UpperAnsi(hostPath);
  return upper.rfind(dir, 0) == 0 && upper.find('/', dir.size()) == std::string::npos;
}

std::string_view NameOf(std::string_view hostPath) { return hostPath.substr(hostPath.rfind('/') + 1); }

void RunOnce(const Machines& m, const std::string& inf, const std::string& infText, Scenario scenario, bool dialog) {
  const bool legacy = scenario == Scenario::Legacy;
  fuzz::Fresh(legacy ? m.legacy : m.nt);
  WritePackage(inf);
  const fs::path package = sim::HostPathOf(fuzz::kPackage);
  StartProcess(legacy, false);
  ScanInfModels(AppState.InfPath);
  if (scenario == Scenario::PresentBeforeInstall) AddPackageDevice(0);
  if (scenario == Scenario::Legacy) AddPackageDevice(CONFIGFLAG_FAILEDINSTALL);
  const DriveNow driveBefore = ChangedNow();

  // The install, as `setup /S` runs it (or INSTALL in the dialog).
  fuzz::NewProcess();
  StartProcess(legacy, dialog);
  const int32_t installed = PerformAction(ActionInstall);
  FUZZ_CHECK(installed == ResultPreinstalled || installed == ResultDone || installed == ResultFailed,
             "the install ended with an unknown result");
  CheckLedger("install");
  CheckSaved("install", true);
  // The program's own file calls: only the 9x INF copy and driver index.
  FUZZ_CHECK(CallsOf("CopyFileA") <= (legacy ? 1 : 0) && CallsOf("DeleteFileA") <= (legacy ? 1 : 0),
             "the install copied or deleted a file itself");
  std::set<std::string> targets;
  AddPlatformTargets(targets);
  if (scenario == Scenario::PluggedInAfterInstall) {
    fuzz::NewProcess();
    AddPackageDevice(0);
    AddPlatformTargets(targets);
  }
  const DriveNow driveInstalled = ChangedNow();

  // The uninstall, as a new process.
  fuzz::NewProcess();
  sim::ReopenMachine();
  StartProcess(legacy, dialog);
  const int32_t removed = PerformAction(ActionUninstall);
  FUZZ_CHECK(removed == ResultDone || removed == ResultFailed, "the uninstall ended with an unknown result");
  CheckLedger("uninstall");
  CheckSaved("uninstall", false);
  const std::vector<sim::DriveChange> changes = sim::ChangesSinceCheckpoint();
  const Files before = At(&driveBefore, changes);
  const Files installedFiles = At(&driveInstalled, changes);
  const Files after = At(nullptr, changes);

  // The uninstall only deletes, and only the package's files.
  std::set<std::string> deletedByUninstall;
  for (const auto& e : sim::TranscriptOf("file_delete")) deletedByUninstall.insert(fuzz::HostKey(e["path"].get<std::string>()));
  const std::string windows = sim::WindowsDirectory(), system = sim::SystemDirectory();
  const std::string packageInfPath = (package / "fuzz.inf").string();
  const std::string_view packageInf =
      installedFiles.count(packageInfPath) ? installedFiles.at(packageInfPath) : std::string_view();
  for (const auto& [path, bytes] : after)
    if (!installedFiles.count(path) || installedFiles.at(path) != bytes) fuzz::Fail("the uninstall wrote " + std::string(path));
  for (const auto& [path, bytes] : installedFiles) {
    if (after.count(path)) continue;
    if (!deletedByUninstall.count(sim::UpperAnsi(path))) fuzz::Fail("gone without a deletion: " + std::string(path));
    // The staged copy: the INF directory's file with the package INF's bytes, or the PNF beside one.
    const std::string infTwin = std::string(path.substr(0, path.size() - 3)) + "inf";
    bool staged = false;
    if (InInfDirectory(path) && path.size() > 4) {
      staged = bytes == packageInf;
      for (const auto& [other, otherBytes] : installedFiles)
        if (!staged && sim::EqualsNoCase(other, infTwin) && otherBytes == packageInf) staged = true;
    }
    if (staged && !packageInf.empty()) continue;
    // The copied files: only with the option checked, inside the Windows or
    // system directory, and named by the INF.
    const std::string windowsPath = sim::WindowsPathOf(path);
    if (!dialog) fuzz::Fail("a silent uninstall deleted " + windowsPath);
    if (!fuzz::Inside(windowsPath, windows) && !fuzz::Inside(windowsPath, system))
      fuzz::Fail("deleted outside the Windows and system directories: " + windowsPath);
    if (sim::UpperAnsi(infText).find(sim::UpperAnsi(windowsPath.substr(windowsPath.rfind('\\') + 1))) == std::string::npos)
      fuzz::Fail("deleted a file the INF does not name: " + windowsPath);
  }

  static const bool verbose = std::getenv("FUZZ_VERBOSE") != nullptr;  // to see what an input does
  if (verbose)
    std::fprintf(stderr, "scenario %d%s: install %d, uninstall %d, %zu deleted by the uninstall\n",
                 static_cast<int>(scenario), dialog ? " (dialog)" : "", installed, removed, deletedByUninstall.size());

  // Over both runs: every change is the package's.
  std::set<std::string_view> changed;
  for (const auto& [path, bytes] : before)
    if (!after.count(path) || after.at(path) != bytes) changed.insert(path);
  for (const auto& [path, bytes] : after)
    if (!before.count(path)) changed.insert(path);
  const std::string infCopy = legacy ? sim::UpperAnsi(sim::HostPathOf(AppState.InfCopyPath).string()) : "";
  const std::string driverIndex = legacy ? sim::UpperAnsi(sim::HostPathOf(AppState.DriverIndexPath).string()) : "";
  for (const std::string_view path : changed) {
    if (verbose) std::fprintf(stderr, "  changed %.*s\n", static_cast<int>(path.size()), path.data());
    const std::string key = sim::UpperAnsi(path);
    if (targets.count(key) || deletedByUninstall.count(key) || key == infCopy || key == driverIndex) continue;
    const std::string name = sim::UpperAnsi(NameOf(path));
    if (InInfDirectory(path) && name.rfind("OEM", 0) == 0 &&
        (name.size() > 4 && (name.substr(name.size() - 4) == ".INF" || name.substr(name.size() - 4) == ".PNF")))
      continue;
    fuzz::Fail("changed a file that is not the package's: " + std::string(path));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Machines& m = Prepare();
  const std::string inf(reinterpret_cast<const char*>(data), size);
  // What the INF names, in the code page the profile reader reads it in.
  const std::string infText = size >= 2 && data[0] == 0xFF && data[1] == 0xFE ? sim::Utf16LeToAnsi(inf.substr(2)) : inf;
  const uint32_t hash = fuzz::Hash(data, size);
  RunOnce(m, inf, infText, static_cast<Scenario>(hash % 4), (hash >> 2) & 1);
  fuzz::Done();
  return 0;
}
