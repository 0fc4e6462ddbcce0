// What a new simulated machine holds besides its directories: a few ordinary
// devices (a USB root hub, a keyboard, a mouse) with their drivers installed,
// and the platform's own INF files for them in the Windows INF directory,
// each with its PNF. The INF files are of this simulation's own writing, in
// the style of a Windows installation's.
#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/setupapi/oem_staging.h"


namespace sim::internal {
namespace {

struct InboxDriver {
  const char* inf;          // file name in the INF directory
  const char* setupClass;
  const char* classGuid;
  const char* manufacturer;
  const char* description;
  const char* install;      // install section, undecorated
  const char* file;         // the driver file in system32\drivers
  const char* hardwareId;
  const char* compatibleId;  // "" for none
  const char* instanceId;
};

const InboxDriver kInbox[] = {
    {"simusb.inf", "USB", "{36FC9E60-C465-11CF-8056-444553540000}", "(Standard USB Host Controller)",
     "USB Root Hub (USB 3.0)", "RootHub.Install", "simhub.sys", "USB\\ROOT_HUB30", "", "USB\\ROOT_HUB30\\4&2A5F1C3B&0&0"},
    {"simkbd.inf", "Keyboard", "{4D36E96B-E325-11CE-BFC1-08002BE10318}", "(Standard keyboards)",
     "Standard PS/2 Keyboard", "Keyboard.Install", "simkbd.sys", "ACPI\\PNP0303", "*PNP0303",
     "ACPI\\PNP0303\\4&1E9D6A27&0"},
    {"simmou.inf", "Mouse", "{4D36E96F-E325-11CE-BFC1-08002BE10318}", "(Standard mouse types)",
     "PS/2 Compatible Mouse", "Mouse.Install", "simmou.sys", "ACPI\\PNP0F13", "*PNP0F13",
     "ACPI\\PNP0F13\\4&1E9D6A27&0"},
};

constexpr const char* kDriverCache = "\\Driver Cache";

std::string InfText(const InboxDriver& d) {
  std::string models = std::string("%Desc%=") + d.install + "," + d.hardwareId;
  if (*d.compatibleId) models += std::string(",") + d.compatibleId;
  std::string t;
  auto line = [&](const std::string& text) { t += text + "\r\n"; };
  line(std::string("; ") + d.inf + ": the simulated machine's own driver for its " + d.description + ".");
  line("");
  line("[Version]");
  line("Signature=\"$Windows NT$\"");
  line(std::string("Class=") + d.setupClass);
  line(std::string("ClassGuid=") + d.classGuid);
  line("Provider=%Sim%");
  line("DriverVer=06/21/2006,10.0.19041.1");
  line("");
  line("[Manufacturer]");
  line("%Mfg%=Standard,NTamd64,NTx86");
  line("");
  line("; the undecorated models serve the 9x family");
  for (const char* section : {"[Standard]", "[Standard.NTamd64]", "[Standard.NTx86]"}) {
    line(section);
    line(models);
    line("");
  }
  for (const char* suffix : {"", ".NT"}) {
    line(std::string("[") + d.install + suffix + "]");
    line(std::string("CopyFiles=") + d.install + ".Files");
    line("");
  }
  line(std::string("[") + d.install + ".Files]");
  line(d.file);
  line("");
  line("[DestinationDirs]");
  line("DefaultDestDir=12");
  line("");
  line("[SourceDisksNames]");
  line("1=%Disk%,,,");
  line("");
  line("[SourceDisksFiles]");
  line(std::string(d.file) + "=1");
  line("");
  line("[Strings]");
  line("Sim=\"Simulated Windows\"");
  line(std::string("Mfg=\"") + d.manufacturer + "\"");
  line(std::string("Desc=\"") + d.description + "\"");
  line("Disk=\"Windows installation disc\"");
  return t;
}

// A small stand-in for a driver image: not a real executable.
std::string DriverImage(const char* file) { return std::string("MZ simulated driver image: ") + file + "\r\n"; }

void WriteFile(const std::string& windowsPath, const std::string& bytes) {
  const fs::path host = HostPathOf(windowsPath);
  if (!MakeDirectories(host.parent_path()) || !WriteFileBytes(host, bytes))
    throw std::runtime_error("cannot write " + host.string());
}

void Populate(Machine& m, const NewMachineOptions&) {
  const std::string infDir = m.windows_directory + "\\INF";
  const std::string cache = m.windows_directory + kDriverCache;
  for (const InboxDriver& d : kInbox) {
    const std::string inf = infDir + "\\" + d.inf;
    WriteFile(inf, InfText(d));
    WritePnf(PnfPathOf(inf), cache);
    WriteFile(cache + "\\" + d.file, DriverImage(d.file));
    WriteFile(m.system_directory + "\\drivers\\" + d.file, DriverImage(d.file));

    Device device;
    device.instance_id = d.instanceId;
    device.hardware_ids = {d.hardwareId};
    if (*d.compatibleId) device.compatible_ids = {d.compatibleId};
    device.present = true;
    device.config_flags = 0;
    device.setup_class = d.setupClass;
    device.driver = DriverRecord{d.inf, std::string(d.install) + (m.IsNtFamily() ? ".NT" : "")};
    device.devnode = m.next_devnode++;
    m.devices.push_back(device);
  }
  if (!m.IsNtFamily()) {
    // The driver index of the 9x family, which a legacy install deletes to
    // have it rebuilt.
    WriteFile(infDir + "\\drvidx.bin", std::string("simulated driver index\r\n"));
    WriteFile(infDir + "\\drvdata.bin", std::string("simulated driver data\r\n"));
  }
}

struct Registrar {
  Registrar() { SetMachinePopulator(&Populate); }
} g_registrar;

}  // namespace
}  // namespace sim::internal

// Referenced by the link options of the simulation library, so that this file,
// which nothing calls, is always linked and its populator registered.
extern "C" void sim_default_machine_anchor() {}
