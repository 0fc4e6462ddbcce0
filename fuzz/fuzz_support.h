// What the harnesses share: simulated machines for a fuzzing process, made
// once at start in a temporary directory (in memory where the system has one,
// since every machine change is written through to disk), and the checks.
#pragma once

#include "app/app_state.h"
#include "platform/sim/base/file_bytes.h"
#include "platform/sim/base/interrupted.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/user32/user32.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include <unistd.h>

namespace fuzz {

namespace fs = std::filesystem;

struct Setup {
  fs::path root, machine, package;
};

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

inline fs::path TemporaryRoot() {
  std::error_code ec;
  const char* base = fs::is_directory("/dev/shm", ec) && access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string pattern = std::string(base) + "/setup-fuzz-XXXXXX";
  const char* made = mkdtemp(pattern.data());
  if (!made) Fail("cannot make a temporary directory under " + std::string(base));
  return fs::path(made);
}

// Creates a temporary machine and a package directory, makes the package
// directory current, and keeps the machine's own output quiet: no echo of
// changes, and message boxes answered without being drawn. The directory is
// removed when the process exits normally; after a crash it stays to be looked at.
inline const Setup& Once() {
  static const Setup setup = [] {
    setenv("SETUP_SIM_ECHO", "0", 1);
    sim::SetMessageBoxPresenter([](HWND, std::string_view, std::string_view, UINT) { return IDOK; });
    Setup s;
    s.root = TemporaryRoot();
    s.machine = s.root / "machine";
    s.package = s.root / "package";
    sim::Uninterrupted(s.package, [&](auto& e) { return fs::create_directories(s.package, e); });
    sim::CreateMachine(s.machine);
    fs::current_path(s.package);
    static const fs::path root = s.root;
    std::atexit([] {
      std::error_code ec;
      sim::Uninterrupted(ec, [&](auto& e) { return fs::remove_all(root, e); });
    });
    return s;
  }();
  return setup;
}

inline void WriteFile(const fs::path& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                static_cast<std::streamsize>(size));
}
inline void WriteFile(const fs::path& path, const std::string& bytes) {
  WriteFile(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

inline std::string ReadFile(const fs::path& path) {
  std::string bytes;
  sim::ReadWholeFile(path, bytes);
  return bytes;
}

// Every regular file under `dir` with its bytes, by Linux path.
using Manifest = std::map<std::string, std::string>;
inline void AddToManifest(Manifest& manifest, const fs::path& dir) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    if (it->is_regular_file(ec)) manifest[it->path().string()] = ReadFile(it->path());
}

// Makes `run` an exact copy of the machine `from` and opens it, with the
// per-process state of a new process.
inline void CopyMachine(const fs::path& from, const fs::path& run) {
  std::error_code ec;
  sim::Uninterrupted(ec, [&](auto& e) { return fs::remove_all(run, e); });
  // Overwriting, so that a copy a signal cut short can start over.
  sim::Uninterrupted(run, [&](auto& e) {
    fs::copy(from, run, fs::copy_options::recursive | fs::copy_options::overwrite_existing, e);
  });
  sim::ResetProcessState();
  sim::OpenMachine(run);
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
