// A whole silent install (/S) and uninstall (/U) of the example package on
// machines of 250, 500 and 1,000 devices whose last device is the example
// sensor: in process (the machine open, as the program has it after start-up)
// and, on 1,000 devices, as a process (the Linux build of setup run in the
// package directory, loading and saving the machine itself).
#include "app/app_state.h"
#include "app/entry.h"
#include "bench/bench_support.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/pnp/pnp.h"
#include "platform/sim/user32/user32.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr size_t kSizes[] = {250, 500, 1000};
const char kSensorInstance[] = "USB\\VID_FEED&PID_5E50\\5&2B4C5E1A&0&3";

std::unique_ptr<bench::ScratchDir> g_scratch;
std::map<size_t, fs::path> g_machines;
fs::path g_package;

// The sensor plugged in again without a driver, as it was before the install.
void PutSensorBack() {
  sim::Machine& m = sim::CurrentMachine();
  if (sim::FindDevice(kSensorInstance)) return;
  sim::Device sensor = bench::ExampleSensor();
  sensor.instance_id = kSensorInstance;
  sensor.devnode = m.next_devnode++;
  m.devices.push_back(sensor);
  sim::SaveMachine();
}

int RunInProcess(const char* argument) {
  AppState = ProgramState{};
  return AppEntry(sim::ProgramInstance(), argument);
}

bool Installed() {
  const sim::Device* d = sim::FindDevice(kSensorInstance);
  return d && d->driver;
}

void InstallInProcess(benchmark::State& state, size_t devices) {
  sim::OpenMachine(g_machines.at(devices));
  sim::ResetProcessState();
  for (auto _ : state) {
    if (RunInProcess("/S") != 0 || !Installed()) {
      state.SkipWithError("the silent install failed");
      break;
    }
    state.PauseTiming();
    RunInProcess("/U");
    PutSensorBack();
    sim::ResetProcessState();
    state.ResumeTiming();
  }
}

void UninstallInProcess(benchmark::State& state, size_t devices) {
  sim::OpenMachine(g_machines.at(devices));
  sim::ResetProcessState();
  for (auto _ : state) {
    state.PauseTiming();
    PutSensorBack();
    sim::ResetProcessState();
    RunInProcess("/S");
    state.ResumeTiming();
    if (RunInProcess("/U") != 0 || sim::FindDevice(kSensorInstance)) {
      state.SkipWithError("the silent uninstall failed");
      break;
    }
  }
  PutSensorBack();
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void AsProcess(benchmark::State& state, bool install) {
  const fs::path& machine = g_machines.at(1000);
  for (auto _ : state) {
    // Prepared in process, then saved: the program loads the machine itself.
    sim::OpenMachine(machine);
    sim::ResetProcessState();
    PutSensorBack();
    const bool prepared = install || bench::RunProcess(g_package, machine, SETUP_PROGRAM, "/S") == 0;
    const auto start = std::chrono::steady_clock::now();
    const int code = prepared ? bench::RunProcess(g_package, machine, SETUP_PROGRAM, install ? "/S" : "/U") : -1;
    state.SetIterationTime(Seconds(start));
    // After an install the package is uninstalled again, so every run starts alike.
    if (code != 0 || (install && bench::RunProcess(g_package, machine, SETUP_PROGRAM, "/U") != 0)) {
      state.SkipWithError(install ? "the silent install failed" : "the silent uninstall failed");
      break;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  setenv("SETUP_SIM_ECHO", "0", 1);
  g_scratch = std::make_unique<bench::ScratchDir>("action");
  g_package = g_scratch->path() / "package";
  for (size_t n : kSizes) {
    g_machines[n] = g_scratch->path() / ("machine-" + std::to_string(n));
    bench::CreateDeviceMachine(g_machines[n], n);
  }
  bench::CopyExamplePackage(g_package);
  // The program finds its INF in the current directory.
  if (chdir(g_package.c_str()) != 0) return 1;

  for (size_t n : kSizes) {
    const std::string size = std::to_string(n);
    benchmark::RegisterBenchmark(("Action/SilentInstall/" + size + "/InProcess").c_str(), InstallInProcess, n)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark(("Action/SilentUninstall/" + size + "/InProcess").c_str(), UninstallInProcess, n)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
  }
  benchmark::RegisterBenchmark("Action/SilentInstall/1000/Process", AsProcess, true)
      ->Unit(benchmark::kMillisecond)->UseManualTime();
  benchmark::RegisterBenchmark("Action/SilentUninstall/1000/Process", AsProcess, false)
      ->Unit(benchmark::kMillisecond)->UseManualTime();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (chdir("/") != 0) return 1;
  g_scratch.reset();
  return 0;
}
