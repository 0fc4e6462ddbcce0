// The walks over the device tree, RemoveMatchingDevices and MarkForReinstall,
// and the machine file's load and save, on generated machines of 250, 500 and
// 1,000 devices (real machines have hundreds) whose matching device (the
// example sensor) is the last one.
#include "app/app_state.h"
#include "bench/bench_support.h"
#include "inf/inf.h"
#include "install/install.h"
#include "uninstall/uninstall.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace {

namespace fs = std::filesystem;

constexpr size_t kSizes[] = {250, 500, 1000};

std::unique_ptr<bench::ScratchDir> g_scratch;
std::map<size_t, fs::path> g_machines;
size_t g_open = 0;

void Use(size_t devices) {
  if (g_open == devices) return;
  sim::OpenMachine(g_machines.at(devices));
  sim::ResetProcessState();
  g_open = devices;
}

// The sensor as the last device again after a run removed it.
void PutSensorBack() {
  sim::Machine& m = sim::CurrentMachine();
  if (!m.devices.empty() && m.devices.back().hardware_ids == bench::ExampleSensor().hardware_ids) return;
  sim::Device sensor = bench::ExampleSensor();
  sensor.instance_id = "USB\\VID_FEED&PID_5E50\\5&2B4C5E1A&0&3";
  sensor.devnode = m.next_devnode++;
  m.devices.push_back(sensor);
}

void RemoveMatching(benchmark::State& state) {
  const size_t devices = static_cast<size_t>(state.range(0));
  Use(devices);
  PutSensorBack();
  for (auto _ : state) {
    if (RemoveMatchingDevices() != ResultDone) {
      state.SkipWithError("the sensor was not removed");
      break;
    }
    state.PauseTiming();
    PutSensorBack();
    state.ResumeTiming();
  }
  state.counters["devices"] = static_cast<double>(devices);
  sim::SaveMachine();  // as it was made, for the next benchmark on this machine
}

void MarkReinstall(benchmark::State& state) {
  const size_t devices = static_cast<size_t>(state.range(0));
  Use(devices);
  PutSensorBack();
  const size_t before = sim::TranscriptOf("device_reenumerate").size();
  size_t runs = 0;
  for (auto _ : state) {
    // The sensor's install has not failed: it is found last and re-enumerated.
    benchmark::DoNotOptimize(MarkForReinstall("USB\\VID_FEED&PID_5E50"));
    ++runs;
  }
  if (sim::TranscriptOf("device_reenumerate").size() != before + runs) state.SkipWithError("the sensor was not found");
  state.counters["devices"] = static_cast<double>(devices);
}

void Load(benchmark::State& state) {
  const size_t devices = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    sim::Machine m = sim::LoadMachineFile(g_machines.at(devices));
    if (m.devices.size() != devices) {
      state.SkipWithError("the machine file lost devices");
      break;
    }
    benchmark::DoNotOptimize(m);
  }
  state.counters["bytes"] = static_cast<double>(fs::file_size(g_machines.at(devices) / "machine.json"));
}

void Save(benchmark::State& state) {
  const size_t devices = static_cast<size_t>(state.range(0));
  Use(devices);
  sim::SaveMachine();  // what a process has written once already
  for (auto _ : state) sim::SaveMachine();
  state.counters["bytes"] = static_cast<double>(fs::file_size(g_machines.at(devices) / "machine.json"));
}

// The first save of a process, right after the machine was loaded: every
// device is written.
void FirstSave(benchmark::State& state) {
  const size_t devices = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    g_open = 0;
    Use(devices);
    state.ResumeTiming();
    sim::SaveMachine();
  }
  state.counters["bytes"] = static_cast<double>(fs::file_size(g_machines.at(devices) / "machine.json"));
}

// A save after a change of one device, as each change during an action makes.
void SaveChanged(benchmark::State& state) {
  const size_t devices = static_cast<size_t>(state.range(0));
  Use(devices);
  DWORD flags = 0;
  sim::SaveMachine();
  for (auto _ : state) {
    sim::CurrentMachine().devices.back().config_flags = flags ^= CONFIGFLAG_REINSTALL;
    sim::SaveMachine();
  }
  sim::CurrentMachine().devices.back().config_flags = 0;
  sim::SaveMachine();
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (size_t n : kSizes) b->Arg(static_cast<int64_t>(n));
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

int main(int argc, char** argv) {
  setenv("SETUP_SIM_ECHO", "0", 1);
  g_scratch = std::make_unique<bench::ScratchDir>("devices");
  for (size_t n : kSizes) {
    g_machines[n] = g_scratch->path() / ("machine-" + std::to_string(n));
    bench::CreateDeviceMachine(g_machines[n], n);
  }
  // The package's ids, as the program reads them before an uninstall.
  bench::CopyExamplePackage(g_scratch->path() / "package");
  sim::OpenMachine(g_machines[kSizes[0]]);
  g_open = kSizes[0];
  const std::string inf = sim::WindowsPathOf(g_scratch->path() / "package" / "exampledrv.inf");
  ScanInfModels(inf.c_str());
  if (!AppState.HardwareIdList[0]) {
    std::fprintf(stderr, "device_bench: the example package gives no hardware ids\n");
    return 1;
  }

  benchmark::RegisterBenchmark("Devices/RemoveMatchingDevices", RemoveMatching)->Apply(Sizes);
  benchmark::RegisterBenchmark("Devices/MarkForReinstall", MarkReinstall)->Apply(Sizes);
  benchmark::RegisterBenchmark("Machine/Load", Load)->Apply(Sizes);
  benchmark::RegisterBenchmark("Machine/Save", Save)->Apply(Sizes);
  benchmark::RegisterBenchmark("Machine/FirstSaveAfterLoad", FirstSave)->Apply(Sizes);
  benchmark::RegisterBenchmark("Machine/SaveAfterOneChange", SaveChanged)->Apply(Sizes);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_scratch.reset();
  return 0;
}
