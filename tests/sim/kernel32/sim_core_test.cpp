// The simulated Windows core: paths, files, directories, text, memory, the
// fault plan and the handle ledger. (What it refuses to guess is the refusals' test.)
#include "tests/support/sim_fixture.h"
#include "platform/sim/kernel32/kernel32.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"

#include <tuple>

namespace {

namespace fs = std::filesystem;

class SimCore : public test::SimTest {};

TEST_F(SimCore, WindowsPathsMapCaseInsensitivelyAndNeverLeaveTheirDrive) {
  WriteMachineFile("C:\\WINDOWS\\INF\\Keyboard.inf", "x");
  const std::tuple<std::string, DWORD, const char*> cases[] = {
      {"c:\\windows\\inf\\KEYBOARD.INF", ERROR_SUCCESS, "C:\\WINDOWS\\INF\\Keyboard.inf"},
      {"C:/Windows/Inf/keyboard.inf", ERROR_SUCCESS, "C:\\WINDOWS\\INF\\Keyboard.inf"},
      {"C:\\WINDOWS\\system32\\..\\..\\..\\..\\boot.ini", ERROR_SUCCESS, "C:\\boot.ini"},
      {"C:\\WINDOWS\\.\\INF\\trailing.inf. . ", ERROR_SUCCESS, "C:\\WINDOWS\\INF\\trailing.inf"},
      {"C:\\bad|name", ERROR_INVALID_NAME, ""}, {"C:\\what?", ERROR_INVALID_NAME, ""},
      {"Q:\\nowhere", ERROR_PATH_NOT_FOUND, ""}, {"\\\\server\\x", ERROR_BAD_NETPATH, ""},
      {"", ERROR_PATH_NOT_FOUND, ""},           {std::string(MAX_PATH, 'a'), ERROR_FILENAME_EXCED_RANGE, ""},
  };
  for (const auto& [path, error, windows] : cases) {
    const sim::HostPath p = sim::MapWindowsPath(path);
    EXPECT_EQ(p.error, error) << path;
    EXPECT_EQ(p.windows, windows) << path;
    EXPECT_TRUE(!p.ok() || p.host.string().rfind((machineDir_ / "drive_c").string(), 0) == 0) << path;
  }
  EXPECT_EQ(sim::MapWindowsPath("Z:\\tmp").host, fs::path("/tmp"));
  EXPECT_EQ(sim::MapWindowsPath("relative.inf").host, packageDir_ / "relative.inf");
}

// Which names match, the end of the search and a search that finds nothing are
// held against Wine by the conformance probe; the order, directories and
// attributes are the simulation's own, on disk and on the memory drive, where
// a process started in one of its directories has it as its current one.
TEST_F(SimCore, DirectorySearchReturnsMatchesInTheFileSystemsOrder) {
  for (const bool inMemory : {false, true}) {
    SCOPED_TRACE(inMemory ? "memory drive" : "disk");
    if (inMemory) {
      sim::ResetProcessState();
      sim::CreateMachineInMemory(machine_);
    }
    const fs::path here = inMemory ? sim::HostPathOf("C:\\Pkg") : packageDir_;
    ASSERT_TRUE(sim::MakeDirectories(here / "dir.inf"));  // directories are not skipped
    for (const char* name : {"b.inf", "A.INF", "c.txt", "setup.inf.bak", "d.inf", ".inf"})
      ASSERT_TRUE(sim::WriteFileBytes(here / name, "x"));
    if (inMemory) sim::SetStartDirectory("C:\\Pkg");
    char current[MAX_PATH];
    EXPECT_EQ(std::string(current, GetCurrentDirectoryA(sizeof current, current)),
              inMemory ? "C:\\Pkg" : sim::WindowsPathOf(packageDir_));
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("*.inf", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::vector<std::string> names{data.cFileName};
    std::vector<DWORD> attributes{data.dwFileAttributes};
    while (FindNextFileA(find, &data)) {
      names.push_back(data.cFileName);
      attributes.push_back(data.dwFileAttributes);
    }
    FindClose(find);
    EXPECT_EQ(names, (std::vector<std::string>{".inf", "A.INF", "b.inf", "d.inf", "dir.inf"}));
    EXPECT_EQ(attributes[4] & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(attributes[1], static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  }
  sim::SetStartDirectory("");
}

// Copies and deletes that work or miss their file or folder are held against
// Wine by the conformance probe; here the refusals it does not ask for.
TEST_F(SimCore, CopyAndDeleteRefuseWhatWindowsRefuses) {
  const std::string source = PackagePath("drv.sys");
  WritePackageFile("drv.sys", "driver bytes");
  const fs::path readOnly = WriteMachineFile("C:\\WINDOWS\\ro.dll", "x");
  fs::permissions(readOnly, fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_RESULT_AND_ERROR(CopyFileA(source.c_str(), "C:\\WINDOWS\\ro.dll", TRUE), FALSE, ERROR_FILE_EXISTS);
  EXPECT_RESULT_AND_ERROR(CopyFileA(source.c_str(), "C:\\WINDOWS", FALSE), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_RESULT_AND_ERROR(DeleteFileA("C:\\WINDOWS\\INF"), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_RESULT_AND_ERROR(DeleteFileA("C:\\WINDOWS\\ro.dll"), FALSE, ERROR_ACCESS_DENIED);
  EXPECT_TRUE(fs::exists(readOnly));
}

// Code page 1252 is held against Wine by the conformance probe; code page
// 936, which it does not run under, here.
TEST_F(SimCore, CharUpperConvertsLettersOfTheCodePageOnly) {
  sim::CurrentMachine().language = 0x0804;
  // \x81\x61 and \xB0\x62 are double-byte characters whose second bytes look like a and b.
  char gbk[] = "ab\x81\x61\xB0\x62z";
  EXPECT_EQ(CharUpperA(gbk), gbk);
  EXPECT_STREQ(gbk, "AB\x81\x61\xB0\x62Z");
}

TEST_F(SimCore, FaultsFailTheChosenOccurrenceWithTheChosenError) {
  sim::AddFault({"GetWindowsDirectoryA", 2, ERROR_ACCESS_DENIED});
  sim::AddFault({"CopyFileA", 0, std::nullopt});
  char buffer[MAX_PATH];
  for (UINT expected : {10u, 0u, 10u}) EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), expected);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  WritePackageFile("a.inf", "[S]\nx=1\n");
  for (int i = 0; i < 3; ++i)  // nth 0: every call, with the call's own default error
    EXPECT_RESULT_AND_ERROR(CopyFileA(PackagePath("a.inf").c_str(), "C:\\x", FALSE), FALSE, ERROR_ACCESS_DENIED);
  // A failing profile read empties the caller's buffer, or leaves it as it was when the rule says so.
  for (bool untouched : {false, true}) {
    sim::AddFault({"GetPrivateProfileSectionA", 0, std::nullopt, untouched});
    sim::AddFault({"GetPrivateProfileStringA", 0, std::nullopt, untouched});
    char lines[8] = "old\0\0", value[8] = "old";
    const std::string inf = PackagePath("a.inf");
    EXPECT_RESULT_AND_ERROR(GetPrivateProfileSectionA("S", lines, sizeof lines, inf.c_str()), 0u, ERROR_FILE_NOT_FOUND);
    EXPECT_RESULT_AND_ERROR(GetPrivateProfileStringA("S", "x", nullptr, value, sizeof value, inf.c_str()), 0u,
                            ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(std::string(lines) + std::string(value), untouched ? "oldold" : "");
    sim::ClearFaults();
  }
}

// (Leaks, and the loaded modules that are none, show in the program's tests' clean ledgers.)
TEST_F(SimCore, TheLedgerCatchesADoubleCloseAndAHandleNeverOpened) {
  expectCleanLedger_ = false;  // violations on purpose
  WritePackageFile("a.inf", "x");
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA("*.inf", &data);
  EXPECT_TRUE(FindClose(find));
  EXPECT_RESULT_AND_ERROR(FindClose(find), FALSE, ERROR_INVALID_HANDLE);
  char stack;
  EXPECT_RESULT_AND_ERROR(LocalFree(&stack), static_cast<HLOCAL>(&stack), ERROR_INVALID_HANDLE);
  // Windows takes a null handle without complaint; the ledger does not.
  EXPECT_RESULT_AND_ERROR(LocalFree(nullptr), nullptr, 0xdeadbeef);
  const std::vector<std::string>& v = sim::LedgerViolations();
  ASSERT_EQ(v.size(), 3u);
  EXPECT_EQ(v[0].rfind("FindClose: find handle", 0) + v[1].rfind("LocalFree: local allocation", 0) +
                v[2].rfind("LocalFree: local allocation", 0), 0u) << testing::PrintToString(v);
  EXPECT_EQ(sim::TranscriptOf("ledger_violation").size(), 3u);
}

}  // namespace
