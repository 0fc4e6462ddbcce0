#include "tests/support/sim_fixture.h"
#include "platform/sim/base/file_bytes.h"
#include "platform/sim/base/interrupted.h"
#include "platform/sim/base/text.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <iconv.h>
#include <unistd.h>

namespace test {

void SimTest::SetUp() {
  char pattern[] = "/tmp/setup-test-XXXXXX";
  root_ = fs::path(mkdtemp(pattern));
  machineDir_ = root_ / "machine";
  packageDir_ = root_ / "package";
  sim::Uninterrupted(packageDir_, [&](auto& e) { return fs::create_directories(packageDir_, e); });
  previousDir_ = fs::current_path();
  fs::current_path(packageDir_);
  sim::ResetProcessState();
  sim::CreateMachine(machineDir_, machine_);
  sim::ResetProcessState();
  AppState = ProgramState{};
}

void SimTest::TearDown() {
  if (expectCleanLedger_) {
    sim::LedgerCheckLeaks();
    EXPECT_TRUE(sim::LedgerViolations().empty()) << "ledger: " << sim::LedgerViolations().front();
  }
  fs::current_path(previousDir_);
  std::error_code ec;
  if (!HasFailure()) sim::Uninterrupted(ec, [&](auto& e) { return fs::remove_all(root_, e); });
  sim::ResetProcessState();
}

fs::path SimTest::WritePackageFile(const std::string& name, const std::string& bytes) {
  const fs::path path = packageDir_ / name;
  sim::Uninterrupted(path, [&](auto& e) { return fs::create_directories(path.parent_path(), e); });
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

fs::path SimTest::WriteMachineFile(const std::string& windowsPath, const std::string& bytes) {
  const fs::path path = sim::HostPathOf(windowsPath);
  sim::Uninterrupted(path, [&](auto& e) { return fs::create_directories(path.parent_path(), e); });
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string SimTest::ReadMachineFile(const std::string& windowsPath) { return ReadFile(sim::HostPathOf(windowsPath)); }

bool SimTest::MachineFileExists(const std::string& windowsPath) {
  const sim::HostPath p = sim::MapWindowsPath(windowsPath);
  return p.ok() && fs::exists(p.host);
}

std::string SimTest::PackagePath(const std::string& name) { return sim::WindowsPathOf(packageDir_) + "\\" + name; }

void SimTest::SetInfPath(const std::string& name) {
  std::snprintf(AppState.InfPath, sizeof AppState.InfPath, "%s", PackagePath(name).c_str());
}

void SimTest::CopyExamplePackage(const std::string& infName) {
  const fs::path example = fs::path(SETUP_SOURCE_DIR) / "examples" / "package";
  for (const auto& entry : fs::directory_iterator(example)) {
    const std::string name = entry.path().filename().string();
    const fs::path to = packageDir_ / (name == "exampledrv.inf" ? infName : name);
    // The simulation's copy, which a signal never makes start over; a failure throws, as it always did.
    if (!sim::CopyFileBytes(entry.path(), to)) throw std::runtime_error("cannot copy " + entry.path().string());
  }
}

std::string SimTest::ExampleInf() {
  return ReadFile(fs::path(SETUP_SOURCE_DIR) / "examples" / "package" / "exampledrv.inf");
}

std::vector<Box> MessageBoxes() { return BoxesIn(sim::Transcript()); }

std::vector<Box> BoxesIn(const std::vector<nlohmann::json>& entries) {
  std::vector<Box> boxes;
  for (const nlohmann::json& e : entries) {
    if (e.value("event", "") != "message_box") continue;
    boxes.push_back(Box{e["owner"].is_null() ? "" : e["owner"].get<std::string>(),
                        sim::BytesFromHex(e["text_bytes"].get<std::string>()),
                        sim::BytesFromHex(e["caption_bytes"].get<std::string>()), e["type"].get<unsigned>()});
  }
  return boxes;
}

std::string Gbk(const std::string& utf8) {
  iconv_t cd = iconv_open("CP936", "UTF-8");
  std::string out(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size(), outLeft = out.size();
  char* dst = out.data();
  const size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
  iconv_close(cd);
  EXPECT_NE(r, static_cast<size_t>(-1)) << utf8;
  out.resize(out.size() - outLeft);
  return out;
}

std::string DeviceLine(const sim::Device& d) {
  char flags[16] = "none";
  if (d.config_flags) std::snprintf(flags, sizeof flags, "0x%X", static_cast<unsigned>(*d.config_flags));
  return d.instance_id + (d.present ? " present " : " absent ") +
         (d.driver ? d.driver->inf + "/" + d.driver->section : "-") + " " + flags;
}

std::string DeviceLines(const std::vector<sim::Device>& devices) {
  std::string lines;
  for (const sim::Device& d : devices) lines += DeviceLine(d) + "\n";
  return lines;
}

std::map<std::string, std::string> DriveFiles() {
  const fs::path root = sim::HostPathOf("C:\\");
  std::map<std::string, std::string> files;
  for (const fs::path& file : sim::FilesUnder(root))
    EXPECT_TRUE(sim::ReadFileBytes(file, files[file.lexically_relative(root).string()])) << file;
  return files;
}

std::string ReadFile(const fs::path& path) {
  std::string bytes;
  sim::ReadWholeFile(path, bytes);
  return bytes;
}

std::map<std::string, std::string> FilesUnder(const fs::path& dir,
                                              const std::function<bool(const std::string& name)>& skip) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file() && !(skip && skip(entry.path().filename().string())))
      files[fs::relative(entry.path(), dir).string()] = ReadFile(entry.path());
  return files;
}

}  // namespace test
