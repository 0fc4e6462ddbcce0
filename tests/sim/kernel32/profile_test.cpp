// Reading INF files as profile files, with the rules the readers rely on, and
// the kept parses that are never used once their file has changed.
#include "tests/support/sim_fixture.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>
#include <tuple>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class ProfileTest : public test::SimTest {
 protected:
  std::string Inf(const std::string& text, const std::string& name = "t.inf") {
    WritePackageFile(name, text);
    return PackagePath(name);
  }
  // The lines of a section as GetPrivateProfileSectionA hands them out.
  Lines Section(const std::string& path, const char* name) {
    char buffer[10000];
    std::memset(buffer, 'X', sizeof buffer);
    GetPrivateProfileSectionA(name, buffer, sizeof buffer, path.c_str());
    Lines lines;
    for (const char* line = buffer; *line; line += std::strlen(line) + 1) lines.emplace_back(line);
    return lines;
  }
  std::string Value(const std::string& path, const char* section, const char* key, const char* fallback = nullptr) {
    char buffer[10000] = "garbage";
    GetPrivateProfileStringA(section, key, fallback, buffer, sizeof buffer, path.c_str());
    return buffer;
  }
};

// Names of any case, quotes, repeated keys and sections, nameless keys, cut
// reads, line ends, NUL bytes and UTF-16 under code page 1252 are held against
// Wine by the conformance probe and wine.profile_reader. Here what they cannot
// ask: code page 936, which neither runs under, and the answers where Wine
// departs from Windows (listed in their differences), which they only see differ.
TEST_F(ProfileTest, DoubleByteTextUnderCodePage936IsNeverSplit) {
  std::string utf16 = "\xFF\xFE";
  for (char16_t c : std::u16string(u"[Strings]\r\nName = \"Stra\u00dfe \u9a71\u52a8\"\r\n"))
    utf16 += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  const std::string wide = Inf(utf16, "wide.inf");
  sim::CurrentMachine().language = 0x0804;
  EXPECT_EQ(Value(wide, "Strings", "Name"), "Stra?e \xC7\xFD\xB6\xAF");  // 936 has no sharp s
  // \x81\x61 and \x81\x41 differ only in a second byte that looks like a letter;
  // \x81\x5D is one character whose second byte is "]".
  const std::string gbk =
      Inf("[Strings]\n\x81\x61=lower\n\x81\x41=upper\nName=\xC7\xFD\xB6\xAF\n[S\x81\x5D]\nk=v\n", "gbk.inf");
  EXPECT_EQ(Value(gbk, "Strings", "\x81\x61") + Value(gbk, "Strings", "\x81\x41"), "lowerupper");
  EXPECT_EQ(Section(gbk, "S\x81\x5D"), (Lines{"k=v"}));
  char buffer[8];
  EXPECT_EQ(GetPrivateProfileStringA("Strings", "Name", nullptr, buffer, 4, gbk.c_str()), 2u);
  EXPECT_STREQ(buffer, "\xC7\xFD");
}

// A list that just fills the buffer counts as cut, one stopped at a line's end
// does not; a cut value gives ERROR_MORE_DATA; a padded section name is
// trimmed; a UTF-8 byte-order mark is not understood and stays part of the
// first line. A missing file gives the fallback, which the probe never passes.
TEST_F(ProfileTest, WhereWineDepartsTheReaderAnswersAsWindows) {
  const std::string inf = Inf("[S]\nfirst=11111\nsecond=22222\n[ Padded Name ]\nk=v\n");
  const std::tuple<DWORD, std::string, DWORD> cases[] = {
      {26, std::string("first=11111\0second=22222\0\0", 26), ERROR_INSUFFICIENT_BUFFER},
      {14, std::string("first=11111\0\0X", 14), ERROR_SUCCESS},
  };
  for (const auto& [size, bytes, error] : cases) {
    char buffer[40];
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_RESULT_AND_ERROR(GetPrivateProfileSectionA("S", buffer, size, inf.c_str()), size - 2, error);
    EXPECT_EQ(std::string(buffer, size + 1), bytes + "X") << "size " << size;
  }
  char value[8];
  std::memset(value, 'X', sizeof value);
  EXPECT_RESULT_AND_ERROR(GetPrivateProfileStringA("S", "second", nullptr, value, 5, inf.c_str()), 4u, ERROR_MORE_DATA);
  EXPECT_EQ(std::string(value, 6), std::string("2222\0X", 6));
  EXPECT_EQ(Section(inf, " Padded Name\t"), (Lines{"k=v"}));
  EXPECT_EQ(Value(inf, " Padded Name ", "  k "), "v");
  const std::string marked = Inf("\xEF\xBB\xBF[Version]\nDriverVer=1.0\n[Strings]\nA=b\n", "marked.inf");
  EXPECT_EQ(Value(marked, "Version", "DriverVer", "none"), "none");
  const std::string missing = PackagePath("missing.inf");
  EXPECT_RESULT_AND_ERROR(GetPrivateProfileStringA("S", "k", "d", value, sizeof value, missing.c_str()), 1u,
                          ERROR_FILE_NOT_FOUND);
  EXPECT_STREQ(value, "d");
}

TEST_F(ProfileTest, AKeptParseIsNeverUsedOnceItsFileChanged) {
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
  auto write = [&](const fs::path& path, const char* bytes, bool putOldTimeBack = true) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    if (putOldTimeBack) fs::last_write_time(path, old);
  };
  // Every replacement keeps the size, and all but the first the modification
  // time. The first file is fresh, so its bytes tell; the others are left to
  // age past the time stamps' steps, so their stat alone tells.
  const std::pair<const char*, std::function<void(const fs::path&)>> cases[] = {
      {"rewritten at once", [&](const fs::path& d) { write(d / "sub/t.inf", "[S]\nk=2\n", false); }},
      {"rewritten, its old time put back", [&](const fs::path& d) { write(d / "sub/t.inf", "[S]\nk=2\n"); }},
      {"replaced by a name in other letters", [&](const fs::path& d) {
         fs::remove(d / "sub/t.inf");
         write(d / "sub/T.INF", "[S]\nk=2\n");
       }},
      {"deleted", [&](const fs::path& d) { fs::remove(d / "sub/t.inf"); }},
  };
  for (int n = 2; n <= 4; ++n) write(packageDir_ / std::to_string(n) / "sub/t.inf", "[S]\nk=1\n");
  std::this_thread::sleep_for(std::chrono::seconds(3));
  write(packageDir_ / "1/sub/t.inf", "[S]\nk=1\n", false);
  int n = 0;
  for (const auto& [what, replace] : cases) {
    const fs::path dir = packageDir_ / std::to_string(++n);
    const std::string path = sim::WindowsPathOf(dir) + "\\Sub\\T.inf";
    ASSERT_EQ(Value(path, "S", "k"), "1") << what;
    replace(dir);
    EXPECT_EQ(Value(path, "S", "k", "gone"), n == 4 ? "gone" : "2") << what;
  }
  // A file of 4 GiB or more is not read at all, never read in part.
  const fs::path huge = packageDir_ / "huge.inf";
  write(huge, "[S]\nk=v\n");
  if (::truncate(huge.c_str(), 0x100000000ll) != 0) GTEST_SKIP() << "no room for a sparse file of 4 GiB";
  EXPECT_EQ(Value(sim::WindowsPathOf(huge), "S", "k", "none"), "none");
}

}  // namespace
