// winsim: prepares simulated Windows machines for the program and shows
// what the program did to them.
//
//   winsim new DIR [--family nt|9x] [--version 0xHEX] [--lang 0xHEX] [--arch amd64|x86]
//   winsim add-device DIR --hwid ID [--hwid ID ...] [--compat ID ...] [--absent] [--flags 0xHEX]
//   winsim plug DIR INSTANCE|HWID
//   winsim unplug DIR INSTANCE|HWID
//   winsim show DIR [--json]
//   winsim fault DIR CALL [--nth N] [--error CODE]
//   winsim fault DIR --clear
//
// An error is one line on standard error and exit code 1 (2 for a command
// line that cannot be understood). Every change is written to machine.json
// atomically, and a new machine appears only when it is complete.
#include "platform/sim/base/interrupted.h"
#include "platform/sim/base/numbers.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/pnp/pnp.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* kUsage =
    "usage: winsim new DIR [--family nt|9x] [--version 0xHEX] [--lang 0xHEX] [--arch amd64|x86]\n"
    "       winsim add-device DIR --hwid ID [--hwid ID ...] [--compat ID ...] [--absent] [--flags 0xHEX]\n"
    "       winsim plug DIR INSTANCE|HWID\n"
    "       winsim unplug DIR INSTANCE|HWID\n"
    "       winsim show DIR [--json]\n"
    "       winsim fault DIR CALL [--nth N] [--error CODE]\n"
    "       winsim fault DIR --clear\n";

// A command line that cannot be understood.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

DWORD Number(const std::string& text, const char* what, long long max) {
  const std::optional<long long> value = sim::ParseNumber(text, 0, max);
  if (!value) throw UsageError(std::string(what) + " must be a number up to " + std::to_string(max) + ": " + text);
  return static_cast<DWORD>(*value);
}

// Device ids are printable characters without blanks or commas, and short.
std::string CheckedId(const std::string& id) {
  if (id.empty() || id.size() >= 200) throw UsageError("a device id must have 1 to 199 characters: " + id);
  for (unsigned char c : id)
    if (c <= 0x20 || c == ',' || c == 0x7F) throw UsageError("a device id may not hold blanks, commas or control characters: " + id);
  return id;
}

struct Args {
  std::vector<std::string> words;
  size_t next = 0;
  bool More() const { return next < words.size(); }
  const std::string& Peek() const { return words[next]; }
  std::string Take(const char* what) {
    if (!More()) throw UsageError(std::string("missing ") + what);
    return words[next++];
  }
  std::string Value(const std::string& option) {
    if (!More()) throw UsageError(option + " needs a value");
    return words[next++];
  }
};

void Open(const std::string& dir) {
  if (!fs::exists(fs::path(dir) / "machine.json")) throw std::runtime_error("no machine at " + dir);
  sim::OpenMachine(dir);
}

int CommandNew(Args& args) {
  fs::path dir = fs::absolute(args.Take("DIR")).lexically_normal();
  if (dir.filename().empty()) dir = dir.parent_path();  // "DIR/" names DIR
  sim::NewMachineOptions options;
  std::string family;
  bool versionGiven = false;
  while (args.More()) {
    const std::string option = args.Take("option");
    if (option == "--family") {
      family = args.Value(option);
      if (family != "nt" && family != "9x") throw UsageError("--family must be nt or 9x: " + family);
    } else if (option == "--version") {
      options.version = Number(args.Value(option), "--version", 0xFFFFFFFF);
      versionGiven = true;
    } else if (option == "--lang") {
      options.language = static_cast<LANGID>(Number(args.Value(option), "--lang", 0xFFFF));
    } else if (option == "--arch") {
      options.architecture = args.Value(option);
      if (options.architecture != "amd64" && options.architecture != "x86")
        throw UsageError("--arch must be amd64 or x86: " + options.architecture);
    } else {
      throw UsageError("unknown option for new: " + option);
    }
  }
  const bool nine = (options.version & 0x80000000u) != 0;
  if (!versionGiven && family == "9x") options.version = 0xC0000A04;  // Windows 98
  else if (versionGiven && !family.empty() && nine != (family == "9x"))
    throw UsageError("--version " + sim::HexNumber(options.version, 8) + " is not of the " + family + " family");

  std::error_code ec;
  if (fs::exists(dir / "machine.json")) throw std::runtime_error("a machine exists already at " + dir.string());
  if (fs::exists(dir) && (!fs::is_directory(dir) || !fs::is_empty(dir, ec)))
    throw std::runtime_error(dir.string() + " exists and is not an empty directory");
  // Made beside its place and moved there whole, so that an interrupted
  // command leaves no half-made machine at DIR.
  const fs::path temp = dir.parent_path() / ("." + dir.filename().string() + ".new-" + std::to_string(getpid()));
  sim::Uninterrupted(ec, [&](auto& e) { return fs::remove_all(temp, e); });
  try {
    sim::CreateMachine(temp, options);
  } catch (...) {
    fs::remove_all(temp, ec);
    throw;
  }
  if (sim::Restarted([&] { return ::rename(temp.c_str(), dir.c_str()); }) != 0) {
    fs::remove_all(temp, ec);
    throw std::runtime_error("cannot move the new machine to " + dir.string());
  }
  return 0;
}

int CommandAddDevice(Args& args) {
  const std::string dir = args.Take("DIR");
  std::vector<std::string> hwids, compat;
  bool absent = false;
  std::optional<DWORD> flags;
  while (args.More()) {
    const std::string option = args.Take("option");
    if (option == "--hwid") hwids.push_back(CheckedId(args.Value(option)));
    else if (option == "--compat") compat.push_back(CheckedId(args.Value(option)));
    else if (option == "--absent") absent = true;
    else if (option == "--flags") flags = Number(args.Value(option), "--flags", 0xFFFFFFFF);
    else throw UsageError("unknown option for add-device: " + option);
  }
  if (hwids.empty()) throw UsageError("add-device needs at least one --hwid");
  Open(dir);
  sim::Device device;
  for (const std::string& id : hwids) device.hardware_ids.push_back(sim::Utf8ToAnsi(id));
  for (const std::string& id : compat) device.compatible_ids.push_back(sim::Utf8ToAnsi(id));
  device.present = !absent;
  device.config_flags = flags;
  std::cout << sim::AnsiToUtf8(sim::AddDevice(device)) << "\n";
  return 0;
}

int CommandPlug(Args& args, bool present) {
  const std::string dir = args.Take("DIR");
  const std::string which = args.Take("INSTANCE|HWID");
  if (args.More()) throw UsageError("unexpected argument: " + args.Peek());
  Open(dir);
  bool ambiguous = false;
  sim::Device* device = sim::FindDevice(sim::Utf8ToAnsi(which), &ambiguous);
  if (ambiguous) throw std::runtime_error("several devices have hardware id " + which + "; name one by its instance id");
  if (!device) throw std::runtime_error("no device has instance id or hardware id " + which);
  sim::SetDevicePresent(*device, present);
  return 0;
}

json Utf8List(const std::vector<std::string>& ansi) {
  json out = json::array();
  for (const std::string& s : ansi) out.push_back(sim::AnsiToUtf8(s));
  return out;
}

int CommandShow(Args& args) {
  const std::string dir = args.Take("DIR");
  bool asJson = false;
  while (args.More()) {
    const std::string option = args.Take("option");
    if (option == "--json") asJson = true;
    else throw UsageError("unknown option for show: " + option);
  }
  Open(dir);
  const sim::Machine& m = sim::CurrentMachine();
  json devices = json::array();
  for (const sim::Device& d : m.devices) {
    json entry = {{"instance_id", sim::AnsiToUtf8(d.instance_id)},
                  {"devnode", d.devnode},
                  {"hardware_ids", Utf8List(d.hardware_ids)},
                  {"compatible_ids", Utf8List(d.compatible_ids)},
                  {"present", d.present},
                  {"config_flags", d.config_flags ? json(sim::HexNumber(*d.config_flags, 8)) : json(nullptr)},
                  {"class", sim::AnsiToUtf8(d.setup_class)},
                  {"driver", d.driver ? json{{"inf", sim::AnsiToUtf8(d.driver->inf)},
                                             {"section", sim::AnsiToUtf8(d.driver->section)}}
                                      : json(nullptr)}};
    devices.push_back(entry);
  }
  json staged = json::array();
  for (const sim::StagedInf& s : sim::StagedInfFiles())
    staged.push_back({{"inf", sim::AnsiToUtf8(s.inf)}, {"pnf", s.has_pnf}, {"source", sim::AnsiToUtf8(s.source)}});
  const json catalogs = Utf8List(sim::InstalledCatalogs());
  const json added = Utf8List(sim::FilesAddedSinceNew());
  const json removed = Utf8List(sim::FilesRemovedSinceNew());
  json faults = json::array();
  for (const sim::FaultRule& f : m.faults)
    faults.push_back({{"call", f.call}, {"nth", f.nth}, {"error", f.error ? json(sim::HexNumber(*f.error, 8)) : json(nullptr)}});
  if (asJson) {
    const json out = {{"machine",
                       {{"dir", m.dir.string()},
                        {"family", m.IsNtFamily() ? "nt" : "9x"},
                        {"version", sim::HexNumber(m.version, 8)},
                        {"language", sim::HexNumber(m.language, 4)},
                        {"architecture", m.architecture},
                        {"windows_directory", sim::AnsiToUtf8(m.windows_directory)},
                        {"system_directory", sim::AnsiToUtf8(m.system_directory)}}},
                      {"devices", devices},
                      {"staged_infs", staged},
                      {"catalogs", catalogs},
                      {"new_files", added},
                      {"removed_files", removed},
                      {"faults", faults}};
    std::cout << out.dump(2) << "\n";
    return 0;
  }
  std::cout << "machine " << m.dir.string() << ": " << (m.IsNtFamily() ? "NT" : "9x") << " family, version "
            << sim::HexNumber(m.version, 8) << ", language " << sim::HexNumber(m.language, 4) << ", " << m.architecture << "\n";
  std::cout << "devices:\n";
  for (const json& d : devices) {
    std::cout << "  " << d["instance_id"].get<std::string>() << (d["present"].get<bool>() ? "  present" : "  not present")
              << "  flags " << (d["config_flags"].is_null() ? "none" : d["config_flags"].get<std::string>());
    if (!d["class"].get<std::string>().empty()) std::cout << "  class " << d["class"].get<std::string>();
    if (d["driver"].is_null()) std::cout << "  no driver\n";
    else std::cout << "  driver " << d["driver"]["inf"].get<std::string>() << " [" << d["driver"]["section"].get<std::string>() << "]\n";
    auto ids = [](const json& list) {
      std::string text;
      for (const json& id : list) text += (text.empty() ? "" : ", ") + id.get<std::string>();
      return text.empty() ? std::string("(none)") : text;
    };
    std::cout << "    hardware ids: " << ids(d["hardware_ids"]) << "\n";
    std::cout << "    compatible ids: " << ids(d["compatible_ids"]) << "\n";
  }
  std::cout << "staged INF files:" << (staged.empty() ? " none\n" : "\n");
  for (const json& s : staged)
    std::cout << "  " << s["inf"].get<std::string>() << (s["pnf"].get<bool>() ? " (with PNF)" : " (no PNF)")
              << (s["source"].get<std::string>().empty() ? "" : ", files from " + s["source"].get<std::string>()) << "\n";
  std::cout << "installed catalogs:" << (catalogs.empty() ? " none\n" : "\n");
  for (const json& c : catalogs) std::cout << "  " << c.get<std::string>() << "\n";
  std::cout << "files added since the machine was new:" << (added.empty() ? " none\n" : "\n");
  for (const json& f : added) std::cout << "  " << f.get<std::string>() << "\n";
  std::cout << "files of the new machine that are gone:" << (removed.empty() ? " none\n" : "\n");
  for (const json& f : removed) std::cout << "  " << f.get<std::string>() << "\n";
  if (!faults.empty()) {
    std::cout << "planned faults:\n";
    for (const json& f : faults)
      std::cout << "  " << f["call"].get<std::string>() << " "
                << (f["nth"].get<int>() == 0 ? std::string("every call") : "call " + std::to_string(f["nth"].get<int>()))
                << (f["error"].is_null() ? "" : ", error " + f["error"].get<std::string>()) << "\n";
  }
  return 0;
}

int CommandFault(Args& args) {
  const std::string dir = args.Take("DIR");
  const std::string call = args.Take("CALL or --clear");
  if (call == "--clear") {
    if (args.More()) throw UsageError("unexpected argument: " + args.Peek());
    Open(dir);
    sim::ClearFaults();
    sim::SaveMachine();
    return 0;
  }
  if (!sim::IsFaultableCall(call)) throw UsageError("not a call of the platform that can be made to fail: " + call);
  sim::FaultRule rule;
  rule.call = call;
  while (args.More()) {
    const std::string option = args.Take("option");
    if (option == "--nth") rule.nth = static_cast<int>(Number(args.Value(option), "--nth", 0x7FFFFFFF));
    else if (option == "--error") rule.error = Number(args.Value(option), "--error", 0xFFFFFFFF);
    else throw UsageError("unknown option for fault: " + option);
  }
  Open(dir);
  sim::CurrentMachine().faults.push_back(rule);
  sim::SaveMachine();
  return 0;
}

int Run(int argc, char** argv) {
  Args args;
  for (int i = 1; i < argc; ++i) args.words.emplace_back(argv[i]);
  if (!args.More()) throw UsageError("no command given");
  const std::string command = args.Take("command");
  if (command == "help" || command == "--help" || command == "-h") {
    std::cout << kUsage;
    return 0;
  }
  if (command == "new") return CommandNew(args);
  if (command == "add-device") return CommandAddDevice(args);
  if (command == "plug") return CommandPlug(args, true);
  if (command == "unplug") return CommandPlug(args, false);
  if (command == "show") return CommandShow(args);
  if (command == "fault") return CommandFault(args);
  throw UsageError("unknown command: " + command);
}

}  // namespace

int main(int argc, char** argv) {
  // winsim reports on its own: the simulation's summary lines stay in the
  // transcript unless asked for.
  setenv("SETUP_SIM_ECHO", "0", 0);
  try {
    return Run(argc, argv);
  } catch (const UsageError& e) {
    std::cerr << "winsim: " << e.what() << " (winsim help shows the usage)\n";
    return 2;
  } catch (const std::exception& e) {
    std::string line = e.what();
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::cerr << "winsim: " << line << "\n";
    return 1;
  }
}
