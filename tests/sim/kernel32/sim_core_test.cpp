// The simulated Windows core: paths, files, directories, text, memory, the
// fault plan, the handle ledger and the machine file.
#include "tests/support/sim_fixture.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"

#include <cstring>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class SimCore : public test::SimTest {};

TEST_F(SimCore, DirectoryFunctionsReportTheSizeTheyNeedAndWriteNothingWhenTooSmall) {
  char buffer[64];
  EXPECT_RESULT_AND_ERROR(GetWindowsDirectoryA(buffer, sizeof buffer), 10u, 0xdeadbeef);
  EXPECT_STREQ(buffer, "C:\\WINDOWS");
  EXPECT_RESULT_AND_ERROR(GetSystemDirectoryA(buffer, sizeof buffer), 19u, 0xdeadbeef);
  EXPECT_STREQ(buffer, "C:\\WINDOWS\\system32");

  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(GetWindowsDirectoryA(buffer, 10), 11u);  // the NUL does not fit
  EXPECT_EQ(buffer[0], 'X');
  EXPECT_EQ(GetSystemDirectoryA(nullptr, 0), 20u);

  const std::string cwd = sim::WindowsPathOf(packageDir_);
  EXPECT_EQ(cwd.rfind("Z:\\tmp\\setup-test-", 0), 0u) << cwd;
  EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), cwd.size());
  EXPECT_EQ(cwd, buffer);
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(GetCurrentDirectoryA(5, buffer), cwd.size() + 1);
  EXPECT_EQ(buffer[0], 'X');
}

TEST_F(SimCore, TheCurrentDirectoryOnDriveCIsShownAsC) {
  const fs::path dir = sim::HostPathOf("C:\\WINDOWS\\system32");
  fs::current_path(dir);
  char buffer[64];
  GetCurrentDirectoryA(sizeof buffer, buffer);
  EXPECT_STREQ(buffer, "C:\\WINDOWS\\system32");
  fs::current_path(sim::HostPathOf("C:\\"));
  GetCurrentDirectoryA(sizeof buffer, buffer);
  EXPECT_STREQ(buffer, "C:\\");
  fs::current_path("/");
  GetCurrentDirectoryA(sizeof buffer, buffer);
  EXPECT_STREQ(buffer, "Z:\\");
}

TEST_F(SimCore, WindowsPathsMapCaseInsensitivelyAndNeverLeaveTheirDrive) {
  WriteMachineFile("C:\\WINDOWS\\INF\\Keyboard.inf", "x");
  const fs::path driveC = machineDir_ / "drive_c";
  struct Case {
    const char* path;
    DWORD error;
    const char* windows;
  };
  const Case cases[] = {
      {"c:\\windows\\inf\\KEYBOARD.INF", ERROR_SUCCESS, "C:\\WINDOWS\\INF\\Keyboard.inf"},
      {"C:/Windows/Inf/keyboard.inf", ERROR_SUCCESS, "C:\\WINDOWS\\INF\\Keyboard.inf"},
      {"C:\\WINDOWS\\system32\\..\\..\\..\\..\\boot.ini", ERROR_SUCCESS, "C:\\boot.ini"},
      {"C:\\WINDOWS\\.\\INF\\new.inf", ERROR_SUCCESS, "C:\\WINDOWS\\INF\\new.inf"},
      {"C:\\WINDOWS\\INF\\trailing.inf. . ", ERROR_SUCCESS, "C:\\WINDOWS\\INF\\trailing.inf"},
      {"C:\\bad|name", ERROR_INVALID_NAME, ""},
      {"C:\\what?", ERROR_INVALID_NAME, ""},
      {"Q:\\nowhere", ERROR_PATH_NOT_FOUND, ""},
      {"\\\\server\\share\\x", ERROR_BAD_NETPATH, ""},
      {"", ERROR_PATH_NOT_FOUND, ""},
  };
  for (const Case& c : cases) {
    const sim::HostPath p = sim::MapWindowsPath(c.path);
    EXPECT_EQ(p.error, c.error) << c.path;
    if (c.error == ERROR_SUCCESS) {
      EXPECT_EQ(p.windows, c.windows) << c.path;
      EXPECT_EQ(p.host.string().rfind(driveC.string(), 0), 0u) << c.path << " -> " << p.host;
    }
  }
  EXPECT_EQ(sim::MapWindowsPath(std::string(MAX_PATH, 'a')).error, static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_EQ(sim::MapWindowsPath("Z:\\tmp").host, fs::path("/tmp"));
  EXPECT_EQ(sim::MapWindowsPath("relative.inf").host, packageDir_ / "relative.inf");
}

TEST_F(SimCore, DirectorySearchReturnsMatchesInTheFileSystemsOrder) {
  for (const char* name : {"b.inf", "A.INF", "c.txt", "setup.inf.bak", "d.inf"}) WritePackageFile(name, "x");
  fs::create_directory(packageDir_ / "dir.inf");  // directories are not skipped
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA("*.inf", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  std::vector<std::string> names{data.cFileName};
  std::vector<DWORD> attributes{data.dwFileAttributes};
  while (FindNextFileA(find, &data)) {
    names.push_back(data.cFileName);
    attributes.push_back(data.dwFileAttributes);
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_EQ(names, (std::vector<std::string>{"A.INF", "b.inf", "d.inf", "dir.inf"}));
  EXPECT_EQ(attributes[3] & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(data.nFileSizeLow, 0u);
  EXPECT_TRUE(FindClose(find));

  EXPECT_RESULT_AND_ERROR(FindFirstFileA("*.sys", &data), INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(FindFirstFileA("C:\\nowhere\\*.inf", &data), INVALID_HANDLE_VALUE, ERROR_PATH_NOT_FOUND);
}

TEST_F(SimCore, CopyAndDeleteActOnRealFilesWithWindowsErrors) {
  WritePackageFile("drv.sys", "driver bytes");
  const std::string source = PackagePath("drv.sys");
  const char* target = "C:\\WINDOWS\\system32\\drivers\\drv.sys";

  EXPECT_RESULT_AND_ERROR(CopyFileA(source.c_str(), target, TRUE), TRUE, 0xdeadbeef);
  EXPECT_EQ(ReadMachineFile(target), "driver bytes");
  EXPECT_RESULT_AND_ERROR(CopyFileA(source.c_str(), target, TRUE), FALSE, ERROR_FILE_EXISTS);
  EXPECT_RESULT_AND_ERROR(CopyFileA(source.c_str(), target, FALSE), TRUE, 0xdeadbeef);
  EXPECT_RESULT_AND_ERROR(CopyFileA(PackagePath("none.sys").c_str(), target, FALSE), FALSE, ERROR_FILE_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(CopyFileA(source.c_str(), "C:\\no\\such\\dir\\drv.sys", FALSE), FALSE,
                          ERROR_PATH_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(CopyFileA(source.c_str(), "C:\\WINDOWS", FALSE), FALSE, ERROR_ACCESS_DENIED);

  EXPECT_RESULT_AND_ERROR(DeleteFileA("c:\\windows\\SYSTEM32\\drivers\\DRV.SYS"), TRUE, 0xdeadbeef);
  EXPECT_FALSE(MachineFileExists(target));
  EXPECT_RESULT_AND_ERROR(DeleteFileA(target), FALSE, ERROR_FILE_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(DeleteFileA("C:\\WINDOWS\\nowhere\\x.sys"), FALSE, ERROR_PATH_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(DeleteFileA("C:\\WINDOWS\\INF"), FALSE, ERROR_ACCESS_DENIED);

  const fs::path readOnly = WriteMachineFile("C:\\WINDOWS\\ro.dll", "x");
  fs::permissions(readOnly, fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_RESULT_AND_ERROR(DeleteFileA("C:\\WINDOWS\\ro.dll"), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_TRUE(fs::exists(readOnly));

  const auto copies = sim::TranscriptOf("file_copy");
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(copies[0]["to"], "C:\\WINDOWS\\system32\\drivers\\drv.sys");
  const auto deletions = sim::TranscriptOf("file_delete");
  ASSERT_EQ(deletions.size(), 1u);
  EXPECT_EQ(deletions[0]["path"], "C:\\WINDOWS\\system32\\drivers\\drv.sys");
}

TEST_F(SimCore, CharUpperConvertsLettersOfTheCodePageOnly) {
  char latin[] = "usb\\vid_12ab&pid_\xE9\xFF\xF7";
  EXPECT_EQ(CharUpperA(latin), latin);
  EXPECT_STREQ(latin, "USB\\VID_12AB&PID_\xC9\x9F\xF7");
  EXPECT_EQ(reinterpret_cast<uintptr_t>(CharUpperA(reinterpret_cast<LPSTR>(static_cast<uintptr_t>('q')))),
            static_cast<uintptr_t>('Q'));

  sim::CurrentMachine().language = 0x0804;
  // \x81\x61 and \xB0\x62 are double-byte characters whose second bytes look like a and b.
  char gbk[] = "ab\x81\x61\xB0\x62z";
  CharUpperA(gbk);
  EXPECT_STREQ(gbk, "AB\x81\x61\xB0\x62Z");
  EXPECT_EQ(lstrlenA(nullptr), 0);
  EXPECT_EQ(lstrlenA("abc"), 3);
}

TEST_F(SimCore, LocalMemoryIsZeroedAndCounted) {
  unsigned char* p = static_cast<unsigned char*>(LocalAlloc(LPTR, 64));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0);
  EXPECT_EQ(sim::LedgerOpenCount(sim::HandleKind::LocalMemory), 1u);
  EXPECT_EQ(LocalFree(p), nullptr);
  EXPECT_EQ(sim::LedgerOpenCount(sim::HandleKind::LocalMemory), 0u);
  EXPECT_RESULT_AND_ERROR(LocalAlloc(0x0002 /* LMEM_MOVEABLE */, 8), nullptr, ERROR_INVALID_PARAMETER);
}

class LedgerTest : public test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    expectCleanLedger_ = false;  // these tests make violations on purpose
  }
};

TEST_F(LedgerTest, CatchesADoubleCloseAndAHandleNeverOpened) {
  WritePackageFile("a.inf", "x");
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA("*.inf", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(FindClose(find));
  EXPECT_RESULT_AND_ERROR(FindClose(find), FALSE, ERROR_INVALID_HANDLE);
  void* p = LocalAlloc(LPTR, 4);
  LocalFree(p);
  char stack;
  EXPECT_RESULT_AND_ERROR(LocalFree(&stack), static_cast<HLOCAL>(&stack), ERROR_INVALID_HANDLE);
  // Windows takes a null handle without complaint; the ledger does not.
  EXPECT_RESULT_AND_ERROR(LocalFree(nullptr), nullptr, 0xdeadbeef);
  const auto& v = sim::LedgerViolations();
  ASSERT_EQ(v.size(), 3u);
  EXPECT_NE(v[0].find("FindClose: find handle"), std::string::npos) << v[0];
  EXPECT_NE(v[1].find("LocalFree: local allocation"), std::string::npos) << v[1];
  EXPECT_NE(v[2].find("LocalFree: local allocation"), std::string::npos) << v[2];
  EXPECT_EQ(sim::TranscriptOf("ledger_violation").size(), 3u);
}

TEST_F(LedgerTest, ReportsHandlesLeftOpenButNotLoadedModules) {
  WritePackageFile("a.inf", "x");
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA("*.inf", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  HLOCAL memory = LocalAlloc(LPTR, 4);
  ASSERT_NE(memory, nullptr);
  sim::LedgerOpen(sim::HandleKind::Module, reinterpret_cast<void*>(0x1234));
  EXPECT_EQ(sim::LedgerCheckLeaks(), 2u);
  LocalFree(memory);
  FindClose(find);
}

TEST_F(SimCore, FaultsFailTheChosenOccurrenceWithTheChosenError) {
  sim::AddFault({"GetWindowsDirectoryA", 2, ERROR_ACCESS_DENIED});
  sim::AddFault({"CopyFileA", 0, std::nullopt});
  char buffer[MAX_PATH];
  EXPECT_RESULT_AND_ERROR(GetWindowsDirectoryA(buffer, sizeof buffer), 10u, 0xdeadbeef);
  EXPECT_RESULT_AND_ERROR(GetWindowsDirectoryA(buffer, sizeof buffer), 0u, ERROR_ACCESS_DENIED);
  EXPECT_RESULT_AND_ERROR(GetWindowsDirectoryA(buffer, sizeof buffer), 10u, 0xdeadbeef);
  WritePackageFile("x.sys", "x");
  for (int i = 0; i < 3; ++i)  // nth 0: every call, with the call's own default error
    EXPECT_RESULT_AND_ERROR(CopyFileA(PackagePath("x.sys").c_str(), "C:\\x.sys", FALSE), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_EQ(sim::CallCounts().at("GetWindowsDirectoryA"), 3);
  EXPECT_EQ(sim::CallCounts().at("CopyFileA"), 3);
}

TEST_F(SimCore, AFailingProfileReadEmptiesTheBufferOrLeavesItAsPlanned) {
  WritePackageFile("a.inf", "[S]\nx=1\n");
  const std::string inf = PackagePath("a.inf");
  for (bool untouched : {false, true}) {
    SCOPED_TRACE(untouched ? "buffer untouched" : "buffer emptied");
    sim::ResetProcessState();
    sim::AddFault({"GetPrivateProfileSectionA", 1, std::nullopt, untouched});
    sim::AddFault({"GetPrivateProfileStringA", 1, std::nullopt, untouched});
    char lines[8] = "old\0\0", value[8] = "old";
    EXPECT_RESULT_AND_ERROR(GetPrivateProfileSectionA("S", lines, sizeof lines, inf.c_str()), 0u, ERROR_FILE_NOT_FOUND);
    EXPECT_RESULT_AND_ERROR(GetPrivateProfileStringA("S", "x", nullptr, value, sizeof value, inf.c_str()), 0u,
                            ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(std::string(lines), untouched ? "old" : "");
    EXPECT_EQ(std::string(value), untouched ? "old" : "");
  }
}

TEST_F(SimCore, TheMachineFileKeepsEverythingAndLoadsAgain) {
  sim::Machine& m = sim::CurrentMachine();
  m.version = 0xC0000A04;
  m.language = 0x0804;
  m.faults.push_back({"DeleteFileA", 3, 5});
  sim::Device d;
  d.instance_id = "ROOT\\SAMPLE\\0000";
  d.hardware_ids = {"ROOT\\SAMPLE"};
  d.config_flags = 0x40;
  d.devnode = 7;
  d.driver = sim::DriverRecord{"oem1.inf", "Install"};
  m.devices.push_back(d);
  m.extra["note"] = "kept as it is";
  sim::SaveMachine();

  const sim::Machine loaded = sim::LoadMachineFile(machineDir_);
  EXPECT_EQ(loaded.version, 0xC0000A04u);
  EXPECT_EQ(loaded.language, 0x0804);
  EXPECT_EQ(loaded.CodePage(), 936u);
  ASSERT_EQ(loaded.faults.size(), 1u);
  EXPECT_EQ(loaded.faults[0].nth, 3);
  ASSERT_EQ(loaded.devices.size(), m.devices.size());
  const sim::Device& back = loaded.devices.back();
  EXPECT_EQ(back.instance_id, "ROOT\\SAMPLE\\0000");
  EXPECT_EQ(back.config_flags, std::optional<DWORD>(0x40));
  EXPECT_EQ(back.driver->inf, "oem1.inf");
  EXPECT_GT(loaded.next_devnode, 7u);
  EXPECT_EQ(loaded.extra["note"], "kept as it is");
  for (const auto& entry : fs::directory_iterator(machineDir_))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << "left behind: " << entry.path();
}

// Texts of the machine are ANSI bytes, some of them from INF files (the
// install section of an installed driver): the file keeps each byte for byte,
// as readable UTF-8 where the code page defines the bytes.
TEST_F(SimCore, TheMachineFileKeepsAnsiTextsByteForByte) {
  struct Text {
    LANGID language;
    std::string ansi;
    std::string inFile;  // how the file shows it; "" for the bytes in hex
  };
  const Text texts[] = {
      {0x0804, test::Gbk("驱动安装"), "驱动安装"},
      {0x0409, "Ger\xE4t", "Gerät"},
      {0x0409, "A\x81" "B", ""},        // 0x81 is no character of code page 1252
      {0x0804, "Install\x81", ""},  // a lead byte without its second byte
  };
  for (const Text& t : texts) {
    SCOPED_TRACE(t.inFile.empty() ? "hex" : t.inFile);
    sim::Machine& m = sim::CurrentMachine();
    m.language = t.language;
    m.devices.clear();
    sim::Device d;
    d.instance_id = "ROOT\\SAMPLE\\0000";
    d.hardware_ids = {"ROOT\\" + t.ansi};
    d.driver = sim::DriverRecord{"oem1.inf", t.ansi + ".NT"};
    d.devnode = 7;
    m.devices.push_back(d);
    ASSERT_NO_THROW(sim::SaveMachine());

    const sim::Machine loaded = sim::LoadMachineFile(machineDir_);
    ASSERT_EQ(loaded.devices.size(), 1u);
    EXPECT_EQ(loaded.devices[0].hardware_ids, d.hardware_ids);
    EXPECT_EQ(loaded.devices[0].driver->section, d.driver->section);
    const std::string file = test::ReadFile(machineDir_ / "machine.json");
    if (!t.inFile.empty()) EXPECT_NE(file.find(t.inFile + ".NT"), std::string::npos) << file;
    else EXPECT_NE(file.find("ansi_hex"), std::string::npos) << file;
  }
}

TEST_F(SimCore, ABrokenMachineFileIsReportedInOneLine) {
  std::ofstream(machineDir_ / "machine.json") << "{\"format\": 1, \"version\": \"0xZZ\"}";
  try {
    sim::LoadMachineFile(machineDir_);
    FAIL() << "loaded a broken machine";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("version"), std::string::npos) << e.what();
    EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
  }
}

}  // namespace
