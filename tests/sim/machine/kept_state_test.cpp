// What the simulation keeps between calls to save work (parsed profile files
// and the paths they were found at, where a device stood in the tree, the
// text a device was last written as) is never used once it no longer holds.
#include "tests/support/device_helpers.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using FileTime = fs::file_time_type;

// Writes a file with a modification time long past, so that the reader
// trusts its time stamps alone and never compares the bytes.
void WriteOld(const fs::path& path, const std::string& bytes, FileTime when) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  fs::last_write_time(path, when);
}

class KeptProfiles : public test::SimTest {
 protected:
  std::string Value(const std::string& path, const char* section = "S", const char* key = "k") {
    char buffer[64] = "garbage";
    GetPrivateProfileStringA(section, key, "default", buffer, sizeof buffer, path.c_str());
    return buffer;
  }
  const FileTime old_ = FileTime::clock::now() - std::chrono::hours(1);
};

TEST_F(KeptProfiles, AFileReplacedBehindTheSamePathIsReadAfresh) {
  // Every replacement keeps the size and the modification time, so only the
  // file's identity and change time tell it from the first one.
  struct Case {
    const char* what;
    std::function<void(const fs::path& dir)> replace;
    const char* expected;
  };
  const Case cases[] = {
      {"rewritten with its old time stamp put back",
       [&](const fs::path& dir) { WriteOld(dir / "sub" / "t.inf", "[S]\nk=2\n", old_); }, "2"},
      {"replaced by a file whose name differs in letter case",
       [&](const fs::path& dir) {
         fs::remove(dir / "sub" / "t.inf");
         WriteOld(dir / "sub" / "T.INF", "[S]\nk=3\n", old_);
       },
       "3"},
      {"its directory replaced by one whose name differs in letter case",
       [&](const fs::path& dir) {
         fs::rename(dir / "sub", dir / "gone");
         WriteOld(dir / "SUB" / "t.inf", "[S]\nk=4\n", old_);
       },
       "4"},
      {"deleted", [&](const fs::path& dir) { fs::remove(dir / "sub" / "t.inf"); }, "default"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const fs::path dir = packageDir_ / ("case" + std::to_string(++n));
    WriteOld(dir / "sub" / "t.inf", "[S]\nk=1\n", old_);
    const std::string path = sim::WindowsPathOf(dir) + "\\Sub\\T.inf";
    ASSERT_EQ(Value(path), "1") << c.what;
    EXPECT_EQ(Value(path), "1") << c.what;  // the kept parse
    c.replace(dir);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(Value(path), c.expected) << c.what;
    EXPECT_EQ(GetLastError(), std::string(c.expected) == "default" ? ERROR_FILE_NOT_FOUND : 0xdeadbeef) << c.what;
  }
}

TEST_F(KeptProfiles, ARelativePathFollowsTheCurrentDirectory) {
  WriteOld(packageDir_ / "a" / "t.inf", "[S]\nk=a\n", old_);
  WriteOld(packageDir_ / "b" / "t.inf", "[S]\nk=b\n", old_);
  for (const char* dir : {"a", "b", "a"}) {
    fs::current_path(packageDir_ / dir);
    EXPECT_EQ(Value(".\\t.inf"), dir);
    EXPECT_EQ(Value("t.inf", "S", "k"), "default");  // a bare name is looked for in the Windows directory
  }
}

TEST_F(KeptProfiles, AnotherMachineReadsItsOwnDriveC) {
  WriteOld(sim::HostPathOf("C:\\data\\t.inf"), "[S]\nk=first\n", old_);
  EXPECT_EQ(Value("C:\\data\\t.inf"), "first");
  sim::CreateMachine(root_ / "second");
  WriteOld(sim::HostPathOf("C:\\data\\t.inf"), "[S]\nk=other\n", old_);
  EXPECT_EQ(Value("C:\\data\\t.inf"), "other");
  sim::OpenMachine(machineDir_);
  EXPECT_EQ(Value("C:\\data\\t.inf"), "first");
}

TEST_F(KeptProfiles, KeysOfLongSectionsAreFoundAsInShortOnes) {
  // A long section is searched through an index, a short one line by line:
  // both must find the same lines.
  sim::CurrentMachine().language = 0x0804;
  struct Lookup {
    const char* key;
    const char* expected;
  };
  const Lookup lookups[] = {
      {"Repeated", "first"},   {"REPEATED", "first"}, {" repeated\t", "first"},  // case and blanks do not count
      {"flag", "default"},                                                     // a line without "="
      {"", "nameless"},                                                        // "=nameless"
      {"\x81\x61", "lower trail"}, {"\x81\x41", "upper trail"},                // a double-byte character is compared whole
      {"missing", "default"},
  };
  for (int filler : {0, 40}) {
    std::string text = "[S]\n";
    for (int i = 0; i < filler; ++i) text += "filler" + std::to_string(i) + "=x\n";
    text += "repeated=first\nflag\n=nameless\nREPEATED=second\n\x81\x61=lower trail\n\x81\x41=upper trail\n";
    const fs::path file = packageDir_ / ("s" + std::to_string(filler) + ".inf");
    WriteOld(file, text, old_);
    const std::string path = sim::WindowsPathOf(file);
    for (const Lookup& l : lookups) EXPECT_EQ(Value(path, "S", l.key), l.expected) << filler << " lines before, key " << l.key;
  }
}

TEST_F(KeptProfiles, AFileOf4GiBOrMoreIsNotRead) {
  const fs::path file = packageDir_ / "huge.inf";
  WriteOld(file, "[S]\nk=v\n", old_);
  if (::truncate(file.c_str(), 0x100000000ll) != 0) GTEST_SKIP() << "no room for a sparse file of 4 GiB";
  char buffer[10];
  EXPECT_RESULT_AND_ERROR(GetPrivateProfileStringA("S", "k", "none", buffer, sizeof buffer,
                                                   sim::WindowsPathOf(file).c_str()),
                          4u, ERROR_FILE_NOT_FOUND);
  EXPECT_STREQ(buffer, "none");
  fs::remove(file);
}

class KeptDevices : public test::SimTest {
 protected:
  std::string HardwareIds(HDEVINFO set, SP_DEVINFO_DATA& d, DWORD* error = nullptr) {
    char buffer[200] = {};
    SetLastError(0xdeadbeef);
    const BOOL ok = SetupDiGetDeviceRegistryPropertyA(set, &d, SPDRP_HARDWAREID, nullptr,
                                                      reinterpret_cast<PBYTE>(buffer), sizeof buffer, nullptr);
    if (error) *error = GetLastError();
    return ok ? buffer : "";
  }
};

TEST_F(KeptDevices, AnElementFindsItsDeviceAfterTheTreeChanged) {
  const std::string a = test::AddTestDevice({"ROOT\\F00D_A"});
  const std::string b = test::AddTestDevice({"ROOT\\F00D_B"});
  const std::string c = test::AddTestDevice({"ROOT\\F00D_C"});
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
  SP_DEVINFO_DATA da, db, dc;
  ASSERT_TRUE(test::FindElement(set, a, da) && test::FindElement(set, b, db) && test::FindElement(set, c, dc));
  // A device put in front of all: every device now stands one place later.
  sim::Device front;
  front.instance_id = "ROOT\\F00D_FRONT\\0000";
  front.hardware_ids = {"ROOT\\F00D_FRONT"};
  sim::CurrentMachine().devices.insert(sim::CurrentMachine().devices.begin(), front);
  EXPECT_EQ(HardwareIds(set, db), "ROOT\\F00D_B");
  // b removed through its element: c stands where b stood, and is still c.
  EXPECT_RESULT_AND_ERROR(SetupDiCallClassInstaller(DIF_REMOVE, set, &db), TRUE, ERROR_SUCCESS);
  EXPECT_EQ(HardwareIds(set, dc), "ROOT\\F00D_C");
  DWORD error = 0;
  EXPECT_EQ(HardwareIds(set, db, &error), "");
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
  // A newcomer in a's place is not a's device.
  for (sim::Device& d : sim::CurrentMachine().devices) {
    if (d.instance_id != a) continue;
    d.instance_id = "ROOT\\F00D_NEW\\0000";
    d.hardware_ids = {"ROOT\\F00D_NEW"};
  }
  EXPECT_EQ(HardwareIds(set, da, &error), "");
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
  EXPECT_RESULT_AND_ERROR(SetupDiCallClassInstaller(DIF_REMOVE, set, &da), FALSE, ERROR_NO_SUCH_DEVINST);
  // A record whose number names no element of this set.
  SP_DEVINFO_DATA stranger = dc;
  stranger.Reserved += 1000;
  EXPECT_EQ(HardwareIds(set, stranger, &error), "");
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetupDiDestroyDeviceInfoList(set);
}

TEST_F(KeptDevices, TheMachineFileFollowsEveryChange) {
  auto expectSaved = [&](const char* after) {
    const std::string text = test::ReadFile(machineDir_ / "machine.json");
    EXPECT_EQ(sim::LoadMachineFile(machineDir_).devices, sim::CurrentMachine().devices) << "after " << after;
    // Written as the JSON library writes the whole machine.
    EXPECT_EQ(nlohmann::json::parse(text).dump(2) + "\n", text) << "after " << after;
  };
  std::vector<std::string> ids;
  for (const char* hwid : {"ROOT\\F00D_1", "ROOT\\F00D_2", "ROOT\\F00D_3", "ROOT\\F00D_4"})
    ids.push_back(test::AddTestDevice({hwid}, true, 0x40));
  expectSaved("adding devices");
  // Every member in each of its forms, and texts the writer must escape.
  sim::Device odd;
  odd.instance_id = "ROOT\\F00D_\"QUOTED\"\\\t0000";
  odd.hardware_ids = {"ROOT\\F00D_Caf\xC3\xA9", std::string("ROOT\\F00D_\x01\x7F")};
  odd.present = false;
  odd.config_flags = std::nullopt;
  odd.setup_class = "Odd \"class\"";
  odd.driver = sim::DriverRecord{"caf\xC3\xA9.inf", "Odd\tInstall"};
  odd.devnode = 4000000000u;
  sim::CurrentMachine().devices.push_back(odd);
  sim::SaveMachine();
  expectSaved("devices of every shape");

  HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
  SP_DEVINFO_DATA d;
  ASSERT_TRUE(test::FindElement(set, ids[1], d));
  const DWORD reinstall = CONFIGFLAG_REINSTALL;
  ASSERT_TRUE(SetupDiSetDeviceRegistryPropertyA(set, &d, SPDRP_CONFIGFLAGS, reinterpret_cast<const BYTE*>(&reinstall), 4));
  expectSaved("a change of flags");
  ASSERT_TRUE(SetupDiCallClassInstaller(DIF_REMOVE, set, &d));
  expectSaved("a removal");
  SetupDiDestroyDeviceInfoList(set);

  sim::Machine& m = sim::CurrentMachine();
  std::swap(m.devices[0], m.devices[1]);
  m.devices.back().hardware_ids.push_back("ROOT\\F00D_EXTRA");
  sim::SaveMachine();
  expectSaved("two devices swapped and one changed");
  m.devices.erase(m.devices.begin(), m.devices.begin() + 3);
  sim::SaveMachine();
  expectSaved("three devices removed at once");

  // Bytes the code page does not define are written in hex, in every place a
  // text can stand.
  m.devices.back().setup_class = "\x81";
  m.devices.back().hardware_ids = {"ROOT\\F00D", "ROOT\\F00D_\x81"};
  m.devices.back().driver = sim::DriverRecord{"oem\x81.inf", "Install\x81"};
  sim::SaveMachine();
  expectSaved("texts the code page does not define");
  EXPECT_NE(test::ReadFile(machineDir_ / "machine.json").find("\"ansi_hex\": \"524f4f545c463030445f81\""), std::string::npos);
}

}  // namespace
