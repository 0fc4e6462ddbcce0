// The INF readers on a large real file and on a model section that fills the
// 10000-byte section buffer, over the simulated machine.
//
// "Warm" runs read a file whose parse the simulated profile reader has kept,
// as every call after the first in one run of the program does; "Cold" runs
// forget that parse first, so they include reading and parsing the file.
#include "app/app_state.h"
#include "inf/inf.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// An INF whose model section holds more than the 10000 bytes the readers take
// in: the section arrives cut at the end of the buffer.
std::string FullModelSectionInf() {
  std::string inf =
      "[Version]\r\nSignature=\"$Windows NT$\"\r\nDriverVer=04/01/2024,2.3.4.5\r\n"
      "[Manufacturer]\r\n%Mfg%=Models\r\n[Models]\r\n";
  for (int i = 0; i < 200; ++i) {
    char line[128];
    std::snprintf(line, sizeof line, "%%Device%04d%%=Install_%04d,USB\\VID_F00D&PID_%04X&REV_0100\r\n", i, i, i);
    inf += line;
  }
  return inf + "[Strings]\r\nMfg=\"Example Devices Ltd.\"\r\nDevice0000=\"Example Sensor, first model\"\r\n";
}

// The Windows paths of the files measured: 0 the corpus file, 1 the generated one.
std::string g_paths[2];

void ScanModels(benchmark::State& state, int file, bool cold) {
  const char* path = g_paths[file].c_str();
  for (auto _ : state) {
    if (cold) sim::ResetProcessState();
    ScanInfModels(path);
    benchmark::DoNotOptimize(AppState.HardwareIdList);
  }
  size_t ids = 0;
  for (const char* id = AppState.HardwareIdList; *id; id += std::strlen(id) + 1) ++ids;
  state.counters["hardware_ids"] = static_cast<double>(ids);
}

void Summarize(benchmark::State& state, int file, bool cold) {
  const char* path = g_paths[file].c_str();
  char summary[kDriverSummaryCapacity];
  for (auto _ : state) {
    if (cold) sim::ResetProcessState();
    BuildDriverSummary(path, summary);
    benchmark::DoNotOptimize(summary);
  }
  state.counters["summary_chars"] = static_cast<double>(std::strlen(summary));
}

void Register(const char* fileName, int file) {
  for (bool cold : {false, true}) {
    const std::string suffix = std::string(fileName) + (cold ? "/Cold" : "/Warm");
    benchmark::RegisterBenchmark(("ScanInfModels/" + suffix).c_str(), ScanModels, file, cold);
    benchmark::RegisterBenchmark(("BuildDriverSummary/" + suffix).c_str(), Summarize, file, cold);
  }
}

}  // namespace

int main(int argc, char** argv) {
  setenv("SETUP_SIM_ECHO", "0", 1);
  char pattern[] = "/tmp/setup-bench-XXXXXX";
  if (!mkdtemp(pattern)) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path root = pattern;
  sim::CreateMachine(root / "machine");

  const fs::path generated = root / "full_model_section.inf";
  std::ofstream(generated, std::ios::binary) << FullModelSectionInf();
  // An old time stamp, as a driver package has: the profile reader compares a
  // file written in the last two seconds byte for byte before trusting its parse.
  fs::last_write_time(generated, fs::file_time_type::clock::now() - std::chrono::hours(1));
  g_paths[1] = sim::WindowsPathOf(generated);
  Register("full_model_section.inf", 1);

  const fs::path largest = fs::path(INF_CORPUS_DIR) / "reactos" / "hdc.inf";
  if (fs::is_regular_file(largest)) {
    g_paths[0] = sim::WindowsPathOf(largest);
    Register("hdc.inf", 0);
  } else {
    std::fprintf(stderr, "INF corpus not found at %s: benchmarks of hdc.inf skipped\n", INF_CORPUS_DIR);
  }

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(root, ec);
  return 0;
}
