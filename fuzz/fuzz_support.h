// A simulated machine for a fuzzing process, made once at start.
#pragma once

#include "platform/sim/sim.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace fuzz {

struct Setup {
  std::filesystem::path root, machine, package;
};

// Creates a temporary machine and a package directory, makes the package
// directory current, and keeps the machine's own output quiet.
inline const Setup& Once() {
  static const Setup setup = [] {
    setenv("SETUP_SIM_ECHO", "0", 1);
    char pattern[] = "/tmp/setup-fuzz-XXXXXX";
    Setup s;
    s.root = mkdtemp(pattern);
    s.machine = s.root / "machine";
    s.package = s.root / "package";
    std::filesystem::create_directories(s.package);
    sim::CreateMachine(s.machine);
    std::filesystem::current_path(s.package);
    return s;
  }();
  return setup;
}

inline void WriteFile(const std::filesystem::path& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                static_cast<std::streamsize>(size));
}

}  // namespace fuzz
