// The simulated machine's file, machine.json: read, written and checked.
#include "platform/sim/machine/machine.h"

#include "platform/sim/base/file_bytes.h"
#include "platform/sim/base/interrupted.h"
#include "platform/sim/base/numbers.h"
#include "platform/sim/base/text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

namespace sim {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;


const char* const kKnownKeys[] = {"format",       "version",     "windows_directory", "system_directory",
                                  "windows_directory_fails",     "language",          "ansi_code_page",
                                  "architecture", "devices",     "next_devnode",      "faults",
                                  "baseline_files"};

[[noreturn]] void Broken(const std::string& what) { throw std::runtime_error("machine.json: " + what); }

// Numbers may be written as JSON numbers or as "0x..." texts, which read better for
// version values, languages and flags.
DWORD ReadNumber(const json& value, const char* what) {
  // A plain value with -1 for "none": an optional's flag and payload tested in
  // one condition make valgrind report a jump on an uninitialised payload.
  long long number = -1;
  if (value.is_number_integer()) number = value.get<long long>();
  else if (value.is_string()) number = ParseNumber(value.get<std::string>(), 0, 0xFFFFFFFF).value_or(-1);
  if (number < 0 || number > 0xFFFFFFFF) Broken(std::string(what) + " is not a 32-bit number");
  return static_cast<DWORD>(number);
}

std::vector<std::string> ReadStrings(const json& value, const char* what) {
  if (!value.is_array()) Broken(std::string(what) + " is not a list");
  std::vector<std::string> out;
  for (const json& item : value) {
    if (!item.is_string()) Broken(std::string(what) + " holds a non-text");
    out.push_back(item.get<std::string>());
  }
  return out;
}

std::string FromFile(const json& value, const char* what) {
  if (!value.is_string()) Broken(std::string(what) + " is not a text");
  return value.get<std::string>();
}

// The file holds UTF-8; the simulation works in ANSI bytes of the machine's
// code page, like the programs it runs, and texts from INF files (a driver's
// install section) may hold any bytes. A text that does not come back the
// same through UTF-8 (bytes the code page does not define) is written as its
// bytes in hex, so that every text is saved exactly as the machine holds it.
ordered_json TextToFile(const std::string& ansi, UINT codePage) {
  // ASCII reads the same in both code pages and in UTF-8, and most texts are ASCII.
  if (std::all_of(ansi.begin(), ansi.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return ansi;
  const std::string utf8 = CodePageToUtf8(ansi, codePage);
  if (Utf8ToCodePage(utf8, codePage) == ansi) return utf8;
  return ordered_json{{"ansi_hex", HexBytes(ansi)}};
}

std::string TextFromFile(const json& value, const char* what, UINT codePage) {
  if (value.is_object() && value.contains("ansi_hex") && value["ansi_hex"].is_string()) {
    const std::string hex = value["ansi_hex"].get<std::string>();
    const std::string bytes = BytesFromHex(hex);
    if (bytes.size() * 2 != hex.size()) Broken(std::string(what) + " is not hex");
    return bytes;
  }
  return Utf8ToCodePage(FromFile(value, what), codePage);
}

std::vector<std::string> TextsFromFile(const json& value, const char* what, UINT codePage) {
  if (!value.is_array()) Broken(std::string(what) + " is not a list");
  std::vector<std::string> out;
  for (const json& item : value) out.push_back(TextFromFile(item, what, codePage));
  return out;
}

Device ReadDevice(const json& d, UINT cp) {
  if (!d.is_object()) Broken("a device is not an object");
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
  if (!j.is_object()) Broken("not a JSON object");
  if (j.value("format", 0) != 1) Broken("unknown format (expected 1)");
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
    Broken("architecture must be amd64 or x86");
  if (j.contains("devices")) {
    if (!j["devices"].is_array()) Broken("devices is not a list");
    for (const json& d : j["devices"]) m.devices.push_back(ReadDevice(d, cp));
  }
  if (j.contains("next_devnode")) m.next_devnode = ReadNumber(j["next_devnode"], "next_devnode");
  for (const Device& d : m.devices)
    if (d.devnode >= m.next_devnode) m.next_devnode = d.devnode + 1;
  if (j.contains("faults")) {
    if (!j["faults"].is_array()) Broken("faults is not a list");
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

ordered_json TextsToFile(const std::vector<std::string>& texts, UINT codePage) {
  ordered_json out = ordered_json::array();
  for (const std::string& text : texts) out.push_back(TextToFile(text, codePage));
  return out;
}

// A device with its members in the order the JSON library sorts them, as it
// writes every other object of the file; optional properties that are
// missing have no member. Devices are most of the file, and objects that
// keep their members in order cost a fraction of sorted ones to make.
ordered_json DeviceToJson(const Device& d, UINT cp) {
  ordered_json j = ordered_json::object();
  j.get_ref<ordered_json::object_t&>().reserve(8);
  j["class"] = TextToFile(d.setup_class, cp);
  j["compatible_ids"] = TextsToFile(d.compatible_ids, cp);
  if (d.config_flags) j["config_flags"] = HexNumber(*d.config_flags, 8);
  j["devnode"] = d.devnode;
  if (d.driver) j["driver"] = {{"inf", TextToFile(d.driver->inf, cp)}, {"section", TextToFile(d.driver->section, cp)}};
  j["hardware_ids"] = TextsToFile(d.hardware_ids, cp);
  j["instance_id"] = TextToFile(d.instance_id, cp);
  j["present"] = d.present;
  return j;
}

}  // namespace

// The whole machine as the file holds it, every object's members sorted.
std::string MachineFileText(const Machine& m) {
  const UINT cp = m.CodePage();
  json j = m.extra;
  j["format"] = 1;
  j["version"] = HexNumber(m.version, 8);
  j["windows_directory"] = TextToFile(m.windows_directory, cp);
  j["system_directory"] = TextToFile(m.system_directory, cp);
  j["windows_directory_fails"] = m.windows_directory_fails;
  j["language"] = HexNumber(m.language, 4);
  if (m.ansi_code_page) j["ansi_code_page"] = *m.ansi_code_page;
  j["architecture"] = m.architecture;
  j["devices"] = nullptr;  // its place among the sorted members; filled below
  j["next_devnode"] = m.next_devnode;
  json faults = json::array();
  for (const FaultRule& f : m.faults) {
    json rule = {{"call", f.call}, {"nth", f.nth}};
    if (f.error) rule["error"] = HexNumber(*f.error, 8);
    if (f.buffer_untouched) rule["buffer_untouched"] = true;
    faults.push_back(rule);
  }
  j["faults"] = faults;
  j["baseline_files"] = m.baseline_files;
  ordered_json file = j;  // the members in their sorted order
  ordered_json& devices = file["devices"] = ordered_json::array();
  devices.get_ref<ordered_json::array_t&>().reserve(m.devices.size());
  for (const Device& d : m.devices) devices.push_back(DeviceToJson(d, cp));
  return file.dump(2) + "\n";
}

namespace {

void WriteAtomically(const fs::path& target, const std::string& bytes) {
  const fs::path temp = target.parent_path() / (target.filename().string() + ".tmp." + std::to_string(getpid()));
  const int fd = Restarted([&] { return ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644); });
  if (fd < 0) throw std::runtime_error("cannot write " + temp.string());
  if (!WriteFully(fd, bytes.data(), bytes.size())) {
    ::close(fd);
    ::unlink(temp.c_str());
    throw std::runtime_error("cannot write " + temp.string());
  }
  // The data must be on disk before the rename makes it the machine file, or a
  // crash could leave an empty machine.json behind.
  ::fsync(fd);
  ::close(fd);
  internal::KillPoint();
  if (Restarted([&] { return ::rename(temp.c_str(), target.c_str()); }) != 0) {
    ::unlink(temp.c_str());
    throw std::runtime_error("cannot replace " + target.string());
  }
}

}  // namespace

void internal::WriteMachineFile(const Machine& m) { WriteAtomically(m.dir / "machine.json", MachineFileText(m)); }

UINT Machine::CodePage() const {
  if (ansi_code_page) return *ansi_code_page;
  return language == 0x0804 ? 936 : 1252;
}

fs::path DefaultMachineDir() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) return fs::path(state) / "setup-sim" / "default";
  if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".local/state/setup-sim/default";
  return fs::temp_directory_path() / "setup-sim-default";
}

Machine ParseMachineFile(const std::string& text, const fs::path& dir) {
  const fs::path file = dir / "machine.json";
  json j = json::parse(text, nullptr, false);
  if (j.is_discarded()) throw std::runtime_error(file.string() + ": not valid JSON");
  try {
    return FromJson(j, dir);
  } catch (const json::exception& e) {
    throw std::runtime_error(file.string() + ": " + e.what());
  }
}

Machine LoadMachineFile(const fs::path& dir) {
  std::string bytes;
  if (!ReadWholeFile(dir / "machine.json", bytes))
    throw std::runtime_error("no machine at " + dir.string() + " (machine.json cannot be read)");
  return ParseMachineFile(bytes, dir);
}

}  // namespace sim
