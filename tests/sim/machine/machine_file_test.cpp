// The machine file: everything a machine is kept byte for byte, written as
// the JSON library writes it, read back as it was, and the files of earlier
// versions still read.
#include "tests/support/sim_fixture.h"
#include "platform/sim/machine/machine.h"

#include <fstream>
#include <tuple>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class MachineFile : public test::SimTest {
 protected:
  std::string Saved() { return test::ReadFile(machineDir_ / "machine.json"); }
};

TEST_F(MachineFile, KeepsEverythingAndLoadsAgain) {
  sim::Machine& m = sim::CurrentMachine();
  m.version = 0xC0000A04;
  m.faults.push_back({"DeleteFileA", 3, 5, true});
  m.extra["note"] = "kept as it is";
  sim::Device odd;  // every member in each of its forms, and texts JSON must escape
  odd.instance_id = "ROOT\\F00D_\"QUOTED\"\\\t0000";
  odd.hardware_ids = {"ROOT\\F00D_Caf\xE9", std::string("ROOT\\F00D_\x01\x7F")};
  odd.present = false;
  odd.setup_class = "Odd \"class\"";
  odd.driver = sim::DriverRecord{"caf\xE9.inf", "Odd\tInstall"};
  odd.devnode = 4000000000u;
  sim::Device plain{"ROOT\\SAMPLE\\0000", {"ROOT\\SAMPLE"}, {"ROOT\\COMPAT"}, true, 0x40, "System", {}, 9};
  m.devices.insert(m.devices.end(), {odd, plain});
  sim::SaveMachine();

  const sim::Machine loaded = sim::LoadMachineFile(machineDir_);
  EXPECT_EQ(loaded.version, 0xC0000A04u);
  EXPECT_EQ(loaded.faults, m.faults);
  EXPECT_EQ(loaded.devices, m.devices);
  EXPECT_EQ(loaded.next_devnode, 4000000001u);
  EXPECT_EQ(loaded.extra["note"], "kept as it is");
  // Readable: written as the JSON library writes the whole machine.
  const std::string text = Saved();
  EXPECT_EQ(json::parse(text).dump(2) + "\n", text);
  EXPECT_NE(text.find("\"config_flags\": \"0x00000040\""), std::string::npos) << text;
  for (const auto& entry : fs::directory_iterator(machineDir_))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << "left behind: " << entry.path();
}

// Texts of the machine are ANSI bytes, some of them from INF files (the
// install section of an installed driver): the file keeps each byte for byte,
// as readable UTF-8 where the code page defines the bytes, in hex elsewhere.
TEST_F(MachineFile, KeepsAnsiTextsByteForByteInEveryPlace) {
  const std::tuple<LANGID, std::string, std::string> texts[] = {
      {0x0804, test::Gbk("驱动安装"), "\"驱动安装"},
      {0x0409, "Ger\xE4t", "\"Gerät"},
      {0x0409, "A\x81" "B", "\"ansi_hex\": \"418142"},  // 0x81 is no character of code page 1252
      {0x0804, "I\x81", "\"ansi_hex\": \"4981"},         // a lead byte without its second byte
  };
  for (const auto& [language, ansi, inFile] : texts) {
    SCOPED_TRACE(inFile);
    sim::Machine& m = sim::CurrentMachine();
    m.language = language;
    m.windows_directory = "C:\\" + ansi;
    m.devices = {sim::Device{ansi, {"ROOT\\F00D", ansi}, {ansi}, true, {}, ansi, sim::DriverRecord{ansi, ansi}, 1}};
    ASSERT_NO_THROW(sim::SaveMachine());
    const sim::Machine loaded = sim::LoadMachineFile(machineDir_);
    EXPECT_EQ(loaded.devices, m.devices);
    EXPECT_EQ(loaded.windows_directory, m.windows_directory);
    const std::string text = Saved();
    size_t places = 0;
    for (size_t at = text.find(inFile); at != std::string::npos; at = text.find(inFile, at + 1)) ++places;
    EXPECT_EQ(places, 6u) << text;  // instance, hardware, compatible id, class, INF, section
  }
}

TEST_F(MachineFile, AFileOfAnEarlierVersionLoads) {
  // As the first versions wrote it: numbers as JSON numbers or "0x" texts, optional members missing.
  std::ofstream(machineDir_ / "machine.json") << R"({
  "format": 1, "version": 3221228036, "language": "0x0804", "architecture": "x86", "old_key": [1, 2],
  "devices": [{"instance_id": "ROOT\\A\\0000", "devnode": 3, "config_flags": 64},
              {"instance_id": {"ansi_hex": "524f4f545c81"}, "devnode": "0x10", "present": false,
               "hardware_ids": ["ROOT\\B"], "driver": {"inf": "oem1.inf"}}]})";
  const sim::Machine m = sim::LoadMachineFile(machineDir_);
  EXPECT_EQ(m.version, 0xC0000A04u);
  EXPECT_EQ(m.CodePage(), 936u);
  EXPECT_EQ(m.windows_directory, "C:\\WINDOWS");
  EXPECT_EQ(m.devices, (std::vector<sim::Device>{
                           {"ROOT\\A\\0000", {}, {}, true, 0x40, "", {}, 3},
                           {"ROOT\\\x81", {"ROOT\\B"}, {}, false, {}, "", sim::DriverRecord{"oem1.inf", ""}, 16}}));
  EXPECT_EQ(m.next_devnode, 17u);
  EXPECT_EQ(m.extra["old_key"], json::array({1, 2}));
}

TEST_F(MachineFile, ABrokenFileIsReportedInOneLineNamingWhatIsWrong) {
  const std::pair<const char*, const char*> files[] = {
      {R"({"format": 1, "version": "0x100000000"})", "version"},
      {R"({"format": 1, "devices": [{"instance_id": {"ansi_hex": "4"}, "devnode": 1}]})", "instance_id"},
      {R"({"format": 2})", "format"},
      {"{\"format\": 1,", "JSON"},
  };
  for (const auto& [text, named] : files) {
    std::ofstream(machineDir_ / "machine.json", std::ios::trunc) << text;
    try {
      sim::LoadMachineFile(machineDir_);
      ADD_FAILURE() << "loaded " << text;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(named), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos) << e.what();
    }
  }
}

}  // namespace
