// The simulated machine: machine.json and drive_c/ in one directory.
#include "platform/sim/machine/machine.h"

#include "platform/sim/base/text.h"
#include "platform/sim/machine/paths.h"


#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

namespace sim {
namespace {

using nlohmann::json;

std::optional<Machine> g_machine;
MachinePopulator g_populator = nullptr;

const char* const kKnownKeys[] = {"format",       "version",     "windows_directory", "system_directory",
                                  "windows_directory_fails",     "language",          "ansi_code_page",
                                  "architecture", "devices",     "next_devnode",      "faults",
                                  "baseline_files"};

std::string Hex32(DWORD value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
  return text;
}

// Numbers may be written as JSON numbers or as "0x..." texts, which read better for
// version values, languages and flags.
DWORD ReadNumber(const json& value, const char* what) {
  if (value.is_number_unsigned()) return value.get<DWORD>();
  if (value.is_number_integer() && value.get<long long>() >= 0) return static_cast<DWORD>(value.get<long long>());
  if (value.is_string()) {
    const std::string text = value.get<std::string>();
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (!text.empty() && end && *end == '\0' && parsed <= 0xFFFFFFFFull) return static_cast<DWORD>(parsed);
  }
  throw std::runtime_error(std::string("machine.json: ") + what + " is not a 32-bit number");
}

std::vector<std::string> ReadStrings(const json& value, const char* what) {
  if (!value.is_array()) throw std::runtime_error(std::string("machine.json: ") + what + " is not a list");
  std::vector<std::string> out;
  for (const json& item : value) {
    if (!item.is_string()) throw std::runtime_error(std::string("machine.json: ") + what + " holds a non-text");
    out.push_back(item.get<std::string>());
  }
  return out;
}

std::string FromFile(const json& value, const char* what) {
  if (!value.is_string()) throw std::runtime_error(std::string("machine.json: ") + what + " is not a text");
  return value.get<std::string>();
}

// The file holds UTF-8; the simulation works in ANSI bytes of the machine's
// code page, like the programs it runs, and texts from INF files (a driver's
// install section) may hold any bytes. A text that does not come back the
// same through UTF-8 (bytes the code page does not define) is written as its
// bytes in hex, so that every text is saved exactly as the machine holds it.
json TextToFile(const std::string& ansi, UINT codePage) {
  const std::string utf8 = AnsiToUtf8(ansi, codePage);
  if (Utf8ToAnsi(utf8, codePage) == ansi) return utf8;
  return json{{"ansi_hex", HexBytes(ansi)}};
}

std::string TextFromFile(const json& value, const char* what, UINT codePage) {
  if (value.is_object() && value.contains("ansi_hex") && value["ansi_hex"].is_string()) {
    const std::string hex = value["ansi_hex"].get<std::string>();
    const std::string bytes = BytesFromHex(hex);
    if (bytes.size() * 2 != hex.size()) throw std::runtime_error(std::string("machine.json: ") + what + " is not hex");
    return bytes;
  }
  return Utf8ToAnsi(FromFile(value, what), codePage);
}

std::vector<std::string> TextsFromFile(const json& value, const char* what, UINT codePage) {
  if (!value.is_array()) throw std::runtime_error(std::string("machine.json: ") + what + " is not a list");
  std::vector<std::string> out;
  for (const json& item : value) out.push_back(TextFromFile(item, what, codePage));
  return out;
}

Device ReadDevice(const json& d, UINT cp) {
  if (!d.is_object()) throw std::runtime_error("machine.json: a device is not an object");
  Device device;
  device.instance_id = TextFromFile(d.at("instance_id"), "instance_id", cp);
  if (d.contains("hardware_ids")) device.hardware_ids = TextsFromFile(d["hardware_ids"], "hardware_ids", cp);
  if (d.contains("compatible_ids")) device.compatible_ids = TextsFromFile(d["compatible_ids"], "compatible_ids", cp);
  device.present = d.value("present", true);
  if (d.contains("config_flags") && !d["config_flags"].is_null())
    device.config_flags = ReadNumber(d["config_flags"], "config_flags");
  if (d.contains("class")) device.setup_class = TextFromFile(d["class"], "class", cp);
  if (d.contains("driver") && !d["driver"].is_null()) {
    const json& drv = d["driver"];
    device.driver = DriverRecord{TextFromFile(drv.at("inf"), "driver.inf", cp),
                                 drv.contains("section") ? TextFromFile(drv["section"], "driver.section", cp) : ""};
  }
  device.devnode = ReadNumber(d.at("devnode"), "devnode");
  return device;
}

Machine FromJson(const json& j, const fs::path& dir) {
  if (!j.is_object()) throw std::runtime_error("machine.json: not a JSON object");
  if (j.value("format", 0) != 1) throw std::runtime_error("machine.json: unknown format (expected 1)");
  Machine m;
  m.dir = dir;
  if (j.contains("version")) m.version = ReadNumber(j["version"], "version");
  // The code page first: the texts are read in it.
  if (j.contains("language")) m.language = static_cast<LANGID>(ReadNumber(j["language"], "language"));
  if (j.contains("ansi_code_page") && !j["ansi_code_page"].is_null())
    m.ansi_code_page = ReadNumber(j["ansi_code_page"], "ansi_code_page");
  const UINT cp = m.CodePage();
  if (j.contains("windows_directory"))
    m.windows_directory = TextFromFile(j["windows_directory"], "windows_directory", cp);
  if (j.contains("system_directory")) m.system_directory = TextFromFile(j["system_directory"], "system_directory", cp);
  m.windows_directory_fails = j.value("windows_directory_fails", false);
  m.architecture = j.value("architecture", std::string("amd64"));
  if (m.architecture != "amd64" && m.architecture != "x86")
    throw std::runtime_error("machine.json: architecture must be amd64 or x86");
  if (j.contains("devices")) {
    if (!j["devices"].is_array()) throw std::runtime_error("machine.json: devices is not a list");
    for (const json& d : j["devices"]) m.devices.push_back(ReadDevice(d, cp));
  }
  if (j.contains("next_devnode")) m.next_devnode = ReadNumber(j["next_devnode"], "next_devnode");
  for (const Device& d : m.devices)
    if (d.devnode >= m.next_devnode) m.next_devnode = d.devnode + 1;
  if (j.contains("faults")) {
    if (!j["faults"].is_array()) throw std::runtime_error("machine.json: faults is not a list");
    for (const json& f : j["faults"]) {
      FaultRule rule;
      rule.call = FromFile(f.at("call"), "faults.call");
      rule.nth = f.value("nth", 0);
      if (f.contains("error") && !f["error"].is_null()) rule.error = ReadNumber(f["error"], "faults.error");
      rule.buffer_untouched = f.value("buffer_untouched", false);
      m.faults.push_back(rule);
    }
  }
  if (j.contains("baseline_files")) m.baseline_files = ReadStrings(j["baseline_files"], "baseline_files");
  for (const auto& [key, value] : j.items()) {
    bool known = false;
    for (const char* k : kKnownKeys) known = known || key == k;
    if (!known) m.extra[key] = value;
  }
  return m;
}

// The machine without its devices: SaveMachine writes those itself.
json ToJson(const Machine& m) {
  json j = m.extra;
  j["format"] = 1;
  j["version"] = Hex32(m.version, 8);
  const UINT cp = m.CodePage();
  j["windows_directory"] = TextToFile(m.windows_directory, cp);
  j["system_directory"] = TextToFile(m.system_directory, cp);
  j["windows_directory_fails"] = m.windows_directory_fails;
  j["language"] = Hex32(m.language, 4);
  if (m.ansi_code_page) j["ansi_code_page"] = *m.ansi_code_page;
  j["architecture"] = m.architecture;
  j["devices"] = json::array();
  j["next_devnode"] = m.next_devnode;
  json faults = json::array();
  for (const FaultRule& f : m.faults) {
    json rule = {{"call", f.call}, {"nth", f.nth}};
    if (f.error) rule["error"] = Hex32(*f.error, 8);
    if (f.buffer_untouched) rule["buffer_untouched"] = true;
    faults.push_back(rule);
  }
  j["faults"] = faults;
  j["baseline_files"] = m.baseline_files;
  return j;
}

void WriteAtomically(const fs::path& target, const std::string& bytes) {
  const fs::path temp = target.parent_path() / (target.filename().string() + ".tmp." + std::to_string(getpid()));
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot write " + temp.string());
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      ::close(fd);
      ::unlink(temp.c_str());
      throw std::runtime_error("cannot write " + temp.string());
    }
    done += static_cast<size_t>(n);
  }
  // The data must be on disk before the rename makes it the machine file, or a
  // crash could leave an empty machine.json behind.
  ::fsync(fd);
  ::close(fd);
  internal::KillPoint();
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    throw std::runtime_error("cannot replace " + target.string());
  }
}

// The machine file is written after every change, and a machine has many
// devices of which one change touches one or two. Each device's text is kept
// with the device it was written from and used again while the device is
// equal to it, so a save costs a comparison per device, not a serialization.
struct WrittenDevice {
  Device device;
  std::string text;  // as the device stands in the "devices" list, indented
};
std::vector<WrittenDevice> g_written;  // in the order of the last save
UINT g_written_cp = 0;

// A machine text as json::dump(2) writes TextToFile's value for it, with its
// member or list item starting at `indent`. Printable ASCII without quotes or
// backslashes stands as it is; anything else goes through the library.
void AppendString(std::string& out, const std::string& text, UINT cp, size_t indent) {
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    return c >= 0x20 && c <= 0x7E && c != '"' && c != '\\';
  });
  if (plain) {
    out += '"';
    out += text;
    out += '"';
    return;
  }
  const json value = TextToFile(text, cp);
  if (value.is_string()) {
    out += value.dump();
    return;
  }
  out += "{\n" + std::string(indent + 2, ' ') + "\"ansi_hex\": " + value["ansi_hex"].dump() + "\n" +
         std::string(indent, ' ') + "}";
}

void AppendList(std::string& out, const std::vector<std::string>& items, UINT cp) {
  if (items.empty()) {
    out += "[]";
    return;
  }
  out += "[\n";
  for (size_t i = 0; i < items.size(); ++i) {
    out += i ? ",\n        " : "        ";
    AppendString(out, items[i], cp, 8);
  }
  out += "\n      ]";
}

// A device as it stands in the "devices" list of json::dump(2): its members
// in the library's (sorted) order, indented as the second level. Optional
// properties that are missing have no member.
std::string DeviceText(const Device& device, UINT cp) {
  std::string out;
  out.reserve(512);
  out += "    {\n      \"class\": ";
  AppendString(out, device.setup_class, cp, 6);
  out += ",\n      \"compatible_ids\": ";
  AppendList(out, device.compatible_ids, cp);
  if (device.config_flags) {
    out += ",\n      \"config_flags\": ";
    AppendString(out, Hex32(*device.config_flags, 8), cp, 6);
  }
  out += ",\n      \"devnode\": " + std::to_string(device.devnode);
  if (device.driver) {
    out += ",\n      \"driver\": {\n        \"inf\": ";
    AppendString(out, device.driver->inf, cp, 8);
    out += ",\n        \"section\": ";
    AppendString(out, device.driver->section, cp, 8);
    out += "\n      }";
  }
  out += ",\n      \"hardware_ids\": ";
  AppendList(out, device.hardware_ids, cp);
  out += ",\n      \"instance_id\": ";
  AppendString(out, device.instance_id, cp, 6);
  out += device.present ? ",\n      \"present\": true\n    }" : ",\n      \"present\": false\n    }";
  return out;
}

// The "devices" list as json::dump(2) writes it inside the machine object.
// The kept texts are brought in line with the devices in place: an entry
// stays while its device is equal to the one at its place, a device removed
// since the last save drops its entry, and a changed or new device is
// written afresh. Every entry is always a device with its own text, so a
// device that cannot be written leaves nothing stale behind.
std::string DevicesText(const std::vector<Device>& devices, UINT cp) {
  // The kept texts are in the code page they were written in.
  if (cp != g_written_cp) g_written.clear();
  g_written_cp = cp;
  size_t moved = 0;  // entries taken out or put in: a tree in a new order is written afresh
  for (size_t i = 0; i < devices.size(); ++i) {
    const Device& d = devices[i];
    if (i < g_written.size() && g_written[i].device == d) continue;
    if (moved > 16) {
      g_written.resize(i);
      moved = 0;
    }
    // Devices removed since, up to four in a row, are passed over.
    size_t k = i + 1;
    while (k < g_written.size() && k <= i + 4 && !(g_written[k].device == d)) ++k;
    if (k < g_written.size() && k <= i + 4) {
      g_written.erase(g_written.begin() + static_cast<std::ptrdiff_t>(i), g_written.begin() + static_cast<std::ptrdiff_t>(k));
      moved += k - i;
      continue;
    }
    WrittenDevice fresh{d, DeviceText(d, cp)};
    if (i < g_written.size() && g_written[i].device.instance_id == d.instance_id) {
      g_written[i] = std::move(fresh);
    } else {
      g_written.insert(g_written.begin() + static_cast<std::ptrdiff_t>(i), std::move(fresh));
      ++moved;
    }
  }
  if (g_written.size() > devices.size()) g_written.resize(devices.size());
  if (g_written.empty()) return "[]";
  size_t size = 8;
  for (const WrittenDevice& w : g_written) size += w.text.size() + 2;
  std::string out;
  out.reserve(size);
  out += "[\n";
  for (size_t i = 0; i < g_written.size(); ++i) {
    if (i) out += ",\n";
    out += g_written[i].text;
  }
  out += "\n  ]";
  return out;
}

internal::MachineChangeHook g_changed([] { g_written.clear(); });

void CollectBaseline(Machine& m) {
  m.baseline_files.clear();
  const fs::path windows = HostPathOf(m.windows_directory);
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(windows, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file()) m.baseline_files.push_back(fs::relative(it->path(), m.dir / "drive_c").string());
  }
  std::sort(m.baseline_files.begin(), m.baseline_files.end());
}

}  // namespace

UINT Machine::CodePage() const {
  if (ansi_code_page) return *ansi_code_page;
  return language == 0x0804 ? 936 : 1252;
}

fs::path DefaultMachineDir() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) return fs::path(state) / "setup-sim" / "default";
  if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".local/state/setup-sim/default";
  return fs::temp_directory_path() / "setup-sim-default";
}

void SetMachinePopulator(MachinePopulator populate) { g_populator = populate; }

Machine LoadMachineFile(const fs::path& dir) {
  const fs::path file = dir / "machine.json";
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("no machine at " + dir.string() + " (machine.json cannot be read)");
  std::stringstream bytes;
  bytes << in.rdbuf();
  json j = json::parse(bytes.str(), nullptr, false);
  if (j.is_discarded()) throw std::runtime_error(file.string() + ": not valid JSON");
  try {
    return FromJson(j, dir);
  } catch (const json::exception& e) {
    throw std::runtime_error(file.string() + ": " + e.what());
  }
}

void OpenMachine(const fs::path& dir) {
  Machine loaded = LoadMachineFile(fs::absolute(dir));
  g_machine = std::move(loaded);
  internal::MachineChanged();
}

void CreateMachine(const fs::path& dirArg, const NewMachineOptions& options) {
  const fs::path dir = fs::absolute(dirArg);
  if (fs::exists(dir / "machine.json")) throw std::runtime_error("a machine already exists at " + dir.string());
  fs::create_directories(dir / "drive_c");
  Machine m;
  m.dir = dir;
  m.version = options.version;
  m.language = options.language;
  m.architecture = options.architecture;
  g_machine = m;
  internal::MachineChanged();
  for (const char* sub : {"", "\\system32", "\\system32\\drivers", "\\INF"})
    fs::create_directories(HostPathOf(m.windows_directory + sub));
  if (g_populator && options.with_default_devices) g_populator(*g_machine, options);
  CollectBaseline(*g_machine);
  SaveMachine();
}

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

void SaveMachine() {
  Machine& m = CurrentMachine();
  std::string text = ToJson(m).dump(2) + "\n";
  // Only the top level is indented by two: an unknown key's value cannot
  // hold this line, and a string never holds a line break unescaped.
  const std::string empty = "\n  \"devices\": []";
  const size_t at = text.find(empty);
  if (at == std::string::npos) throw std::runtime_error("machine.json: the device list cannot be placed");
  text.replace(at + empty.size() - 2, 2, DevicesText(m.devices, m.CodePage()));
  WriteAtomically(m.dir / "machine.json", text);
}

}  // namespace sim
