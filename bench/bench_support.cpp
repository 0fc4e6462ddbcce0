#include "bench/bench_support.h"
#include "platform/sim/machine/machine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <sys/wait.h>
#include <unistd.h>

#ifndef EXAMPLE_PACKAGE_DIR
#error "EXAMPLE_PACKAGE_DIR names examples/package of the source tree"
#endif

namespace bench {

ScratchDir::ScratchDir(const char* tag) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/setup-bench-" + tag + "-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a directory like " + pattern);
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

sim::Device ExampleSensor() {
  sim::Device d;
  d.hardware_ids = {"USB\\VID_FEED&PID_5E50&REV_0100", "USB\\VID_FEED&PID_5E50"};
  d.compatible_ids = {"USB\\Class_FF&SubClass_00"};
  d.present = true;
  d.config_flags = 0;
  d.setup_class = "USB";
  return d;
}

namespace {

std::string Format(const char* format, unsigned a, unsigned b = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

// Device `n` of a machine in use: five kinds of bus in turn, every seventh
// device unplugged. Vendor F00D is invented; nothing here carries the
// example package's ids.
sim::Device GeneratedDevice(unsigned n) {
  sim::Device d;
  const unsigned model = n % 0x10000;
  switch (n % 5) {
    case 0:
      d.hardware_ids = {Format("PCI\\VEN_F00D&DEV_%04X&SUBSYS_%08X&REV_01", model, n),
                        Format("PCI\\VEN_F00D&DEV_%04X", model)};
      d.compatible_ids = {"PCI\\VEN_F00D&CC_0C0330", "PCI\\CC_0C0330"};
      d.instance_id = Format("PCI\\VEN_F00D&DEV_%04X&SUBSYS_%08X&REV_01\\3&11583659&0&00", model, n);
      d.setup_class = "System";
      break;
    case 1:
      d.hardware_ids = {Format("USB\\VID_F00D&PID_%04X&REV_0200", model), Format("USB\\VID_F00D&PID_%04X", model)};
      d.compatible_ids = {"USB\\Class_03&SubClass_01&Prot_02", "USB\\Class_03&SubClass_01", "USB\\Class_03"};
      d.instance_id = Format("USB\\VID_F00D&PID_%04X\\%08X", model, n);
      d.setup_class = "HIDClass";
      break;
    case 2:
      d.hardware_ids = {Format("HID\\VID_F00D&PID_%04X&Col01", model), "HID_DEVICE_SYSTEM_MOUSE", "HID_DEVICE"};
      d.instance_id = Format("HID\\VID_F00D&PID_%04X&COL01\\7&%08X&0&0000", model, n);
      d.setup_class = "Mouse";
      break;
    case 3:
      d.hardware_ids = {Format("ACPI\\FOO%04X", model), Format("*FOO%04X", model)};
      d.instance_id = Format("ACPI\\FOO%04X\\%u", model, n);
      d.setup_class = "System";
      break;
    default:
      d.hardware_ids = {Format("ROOT\\F00D_NET%05u", n)};
      d.instance_id = Format("ROOT\\NET\\%06u", n);
      d.setup_class = "Net";
      break;
  }
  d.present = n % 7 != 0;
  d.config_flags = 0;
  d.driver = sim::DriverRecord{Format("oem%u.inf", n % 40 + 1), "Device.Install.NT"};
  return d;
}

}  // namespace

void CreateDeviceMachine(const fs::path& dir, size_t devices) {
  sim::CreateMachine(dir);
  sim::Machine& m = sim::CurrentMachine();
  // Added to the tree directly: sim::AddDevice saves the machine after each
  // device, which is what a device arriving does, not how a big tree is made.
  for (unsigned n = 0; m.devices.size() + 1 < devices; ++n) {
    sim::Device d = GeneratedDevice(n);
    d.devnode = m.next_devnode++;
    m.devices.push_back(std::move(d));
  }
  sim::Device sensor = ExampleSensor();
  sensor.instance_id = "USB\\VID_FEED&PID_5E50\\5&2B4C5E1A&0&3";
  sensor.devnode = m.next_devnode++;
  m.devices.push_back(std::move(sensor));
  sim::SaveMachine();
}

void CopyExamplePackage(const fs::path& dir) {
  fs::create_directories(dir);
  for (const char* file : {"exampledrv.inf", "exampledrv.sys", "exampledrv.dll"})
    fs::copy_file(fs::path(EXAMPLE_PACKAGE_DIR) / file, dir / file, fs::copy_options::overwrite_existing);
  // A package as it arrives: written long ago, so that no reader takes it for
  // a file that may still be changing.
  for (const char* file : {"exampledrv.inf", "exampledrv.sys", "exampledrv.dll"})
    fs::last_write_time(dir / file, fs::file_time_type::clock::now() - std::chrono::hours(24));
}

int RunProcess(const fs::path& dir, const fs::path& machine, const std::string& program, const std::string& arg) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    setenv("SETUP_MACHINE", machine.c_str(), 1);
    setenv("SETUP_SIM_ECHO", "0", 1);
    execl(program.c_str(), program.c_str(), arg.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace bench
