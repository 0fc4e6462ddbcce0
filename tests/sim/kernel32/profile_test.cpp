// Reading INF files as profile files, with the rules the readers rely on.
#include "tests/support/sim_fixture.h"
#include "platform/sim/machine/machine.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

namespace {

// The lines of a section as GetPrivateProfileSectionA hands them out.
std::vector<std::string> Lines(const char* buffer, size_t size) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < size && buffer[i];) {
    const size_t n = strnlen(buffer + i, size - i);
    lines.emplace_back(buffer + i, n);
    i += n + 1;
  }
  return lines;
}

class ProfileTest : public test::SimTest {
 protected:
  std::string Inf(const std::string& text, const std::string& name = "t.inf") {
    WritePackageFile(name, text);
    return PackagePath(name);
  }
  std::vector<std::string> Section(const std::string& path, const char* name, DWORD* result = nullptr) {
    char buffer[10000];
    std::memset(buffer, 'X', sizeof buffer);
    const DWORD n = GetPrivateProfileSectionA(name, buffer, sizeof buffer, path.c_str());
    if (result) *result = n;
    return Lines(buffer, sizeof buffer);
  }
  std::string Value(const std::string& path, const char* section, const char* key, const char* fallback = nullptr) {
    char buffer[10000] = "garbage";
    GetPrivateProfileStringA(section, key, fallback, buffer, sizeof buffer, path.c_str());
    return buffer;
  }
  using Lines_ = std::vector<std::string>;
};

TEST_F(ProfileTest, SectionLinesKeepTheirFormWithBlanksAroundEqualsRemoved) {
  const std::string inf = Inf(
      "; a comment before anything\n"
      "stray=before the first section\n"
      "[Models]\n"
      "%Dev% = Install , USB\\VID_1234&PID_0001\n"
      "   ; an indented comment\n"
      "\n"
      "\t%Other%\t=\tInstall2,ID2   \n"
      "line without equals\n"
      "=novalue\n"
      "key;semi = v ; trailing\n"
      "Quoted = \"  spaced value  \"\n"
      "empty =\n");
  DWORD n = 0;
  const Lines_ expected{"%Dev%=Install , USB\\VID_1234&PID_0001", "%Other%=Install2,ID2", "line without equals",
                        "=novalue", "key;semi=v ; trailing", "Quoted=\"  spaced value  \"", "empty="};
  EXPECT_EQ(Section(inf, "Models", &n), expected);
  // The count covers every line and its NUL, not the final NUL of the list.
  size_t bytes = 0;
  for (const std::string& line : expected) bytes += line.size() + 1;
  EXPECT_EQ(n, bytes);
}

TEST_F(ProfileTest, NamesIgnoreLetterCaseAndTheFirstOfRepeatedSectionsCounts) {
  const std::string inf = Inf(
      "[Strings]\nMaker = \"First Maker\"\nmaker = Second\n"
      "[STRINGS]\nOnly = in the repeat\n"
      "[ Padded Name ]\nk=v\n");
  EXPECT_EQ(Value(inf, "strings", "MAKER"), "First Maker");
  EXPECT_EQ(Value(inf, "Strings", "Only", "fallback"), "fallback");
  // A line with no name is found under the empty name.
  const std::string unnamed = Inf("[DestinationDirs]\n= 10\n", "unnamed.inf");
  EXPECT_EQ(Value(unnamed, "DestinationDirs", ""), "10");
  EXPECT_EQ(Section(inf, "sTrInGs"), (Lines_{"Maker=\"First Maker\"", "maker=Second"}));
  EXPECT_EQ(Section(inf, "Padded Name"), (Lines_{"k=v"}));
  // Both readers trim the names they are given, as Windows does.
  EXPECT_EQ(Section(inf, " Padded Name\t"), (Lines_{"k=v"}));
  EXPECT_EQ(Value(inf, " Padded Name ", "  k "), "v");
}

TEST_F(ProfileTest, ValueReaderRemovesOnePairOfQuotesAroundTheWholeValue) {
  const std::string inf = Inf(
      "[Strings]\n"
      "a = \"quoted\"\nb = 'single'\nc = \"unbalanced\nd = \"a\" \"b\"\ne = \"\"\nf = plain ; not a comment\n"
      "g = \"'mixed\"'\nh=\"\n");
  const std::pair<const char*, const char*> cases[] = {
      {"a", "quoted"}, {"b", "single"}, {"c", "\"unbalanced"}, {"d", "a\" \"b"},
      {"e", ""},       {"f", "plain ; not a comment"},          {"g", "\"'mixed\"'"}, {"h", "\""},
  };
  for (const auto& [key, expected] : cases) EXPECT_EQ(Value(inf, "Strings", key), expected) << key;
}

TEST_F(ProfileTest, AnEmptySectionNameFindsTheLinesBeforeTheFirstHeader) {
  const std::string inf = Inf("early=1\n[]\nlate=2\n[Next]\nx=y\n");
  EXPECT_EQ(Section(inf, ""), (Lines_{"early=1"}));
  EXPECT_EQ(Value(inf, "", "early"), "1");
  EXPECT_EQ(Value(inf, "", "late", "none"), "none");
}

TEST_F(ProfileTest, MissingPiecesGiveTheDefaultOrNothing) {
  const std::string inf = Inf("[Version]\nDriverVer=01/02/2024,1.2.3.4\nNoEquals\n[Empty]\n");
  EXPECT_EQ(Value(inf, "Version", "Missing"), "");
  EXPECT_EQ(Value(inf, "Version", "Missing", "dflt"), "dflt");
  EXPECT_EQ(Value(inf, "Nowhere", "DriverVer", "dflt"), "dflt");
  EXPECT_EQ(Value(inf, "Version", "NoEquals", "dflt"), "dflt");
  EXPECT_EQ(Value(inf, "Version", "", "dflt"), "dflt");

  char buffer[16];
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(GetPrivateProfileSectionA("Empty", buffer, sizeof buffer, inf.c_str()), 0u);
  EXPECT_EQ(buffer[0], '\0');
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(GetPrivateProfileSectionA("Absent", buffer, sizeof buffer, inf.c_str()), 0u);
  EXPECT_EQ(std::string(buffer, 2), std::string("\0\0", 2));

  const std::string missing = PackagePath("missing.inf");
  EXPECT_RESULT_AND_ERROR(GetPrivateProfileSectionA("Version", buffer, sizeof buffer, missing.c_str()), 0u,
                          ERROR_FILE_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(
      GetPrivateProfileStringA("Version", "DriverVer", "d", buffer, sizeof buffer, missing.c_str()), 1u,
      ERROR_FILE_NOT_FOUND);
  EXPECT_STREQ(buffer, "d");
}

TEST_F(ProfileTest, ASectionLongerThanTheBufferIsCutAndStillEndsAsAList) {
  const std::string inf = Inf("[S]\nfirst=11111\nsecond=22222\n");
  // "first=11111\0" is 12 bytes, "second=22222\0" 13, then the final NUL: 26
  // bytes. A buffer that is just full counts as cut (size - 2), as on Windows.
  struct Case {
    DWORD size;
    DWORD result;
    std::string bytes;  // the buffer afterwards; X: not written
  };
  const Case cases[] = {
      {27, 25, std::string("first=11111\0second=22222\0\0X", 27)},
      {26, 24, std::string("first=11111\0second=22222\0\0", 26)},
      {25, 23, std::string("first=11111\0second=2222\0\0", 25)},
      {20, 18, std::string("first=11111\0second\0\0", 20)},
      {14, 12, std::string("first=11111\0\0X", 14)},
      {13, 11, std::string("first=11111\0\0", 13)},
      {8, 6, std::string("first=\0\0", 8)},
      {3, 1, std::string("f\0\0", 3)},
  };
  for (const Case& c : cases) {
    char buffer[40];
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileSectionA("S", buffer, c.size, inf.c_str()), c.result) << "size " << c.size;
    EXPECT_EQ(std::string(buffer, c.size), c.bytes) << "size " << c.size;
    EXPECT_EQ(buffer[c.size], 'X') << "wrote past the buffer at size " << c.size;
  }
}

TEST_F(ProfileTest, AValueLongerThanTheBufferIsCutWithItsLengthReturned) {
  const std::string inf = Inf("[DestinationDirs]\nDrv = 10,System32\\Drivers\n");
  char buffer[8];
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_RESULT_AND_ERROR(GetPrivateProfileStringA("DestinationDirs", "Drv", nullptr, buffer, 6, inf.c_str()), 5u,
                          ERROR_MORE_DATA);
  EXPECT_EQ(std::string(buffer, 7), std::string("10,Sy\0X", 7));
}

TEST_F(ProfileTest, LineEndsOfEveryKindReadAlike) {
  for (const char* eol : {"\r\n", "\n", "\r"}) {
    std::string text;
    for (const char* line : {"[Version]", "Signature=\"$Windows NT$\"", "DriverVer = 1.0", "[Next]", "a=b"})
      text += std::string(line) + eol;
    const std::string inf = Inf(text);
    EXPECT_EQ(Value(inf, "Version", "DriverVer"), "1.0") << "line end " << (eol[0] == '\r' ? eol[1] ? "CRLF" : "CR" : "LF");
    EXPECT_EQ(Section(inf, "Next"), (Lines_{"a=b"}));
  }
}

std::string Utf16Le(const std::u16string& text) {
  std::string out = "\xFF\xFE";
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

TEST_F(ProfileTest, Utf16FilesAreReadInTheAnsiCodePage) {
  const std::string inf = Inf(Utf16Le(u"[Strings]\r\nName = \"Stra\u00dfe \u9a71\u52a8\"\r\n"));
  // Code page 1252 has the sharp s but no Chinese characters; 936 the other way round.
  EXPECT_EQ(Value(inf, "Strings", "Name"), "Stra\xDF" "e ??");
  sim::CurrentMachine().language = 0x0804;
  EXPECT_EQ(Value(inf, "Strings", "Name"), "Stra?e \xC7\xFD\xB6\xAF");
}

TEST_F(ProfileTest, Utf8ByteOrderMarkIsNotUnderstood) {
  // As on Windows the mark stays part of the first line, so a header on that
  // line is no header; a header on a later line is unaffected.
  const std::string first = Inf("\xEF\xBB\xBF[Version]\nDriverVer=1.0\n[Strings]\nA=b\n");
  EXPECT_EQ(Value(first, "Version", "DriverVer", "none"), "none");
  EXPECT_EQ(Value(first, "Strings", "A"), "b");
  const std::string later = Inf("\xEF\xBB\xBF; comment\n[Version]\nDriverVer=1.0\n");
  EXPECT_EQ(Value(later, "Version", "DriverVer"), "1.0");
}

TEST_F(ProfileTest, DoubleByteTextIsNeverCutInsideACharacter) {
  sim::CurrentMachine().language = 0x0804;
  // \x81\x5D is one character whose second byte is "]".
  const std::string inf = Inf("[Strings]\nName=\xC7\xFD\xB6\xAF\n[S\x81\x5D]\nk=v\n");
  char buffer[8];
  EXPECT_EQ(GetPrivateProfileStringA("Strings", "Name", nullptr, buffer, 4, inf.c_str()), 2u);
  EXPECT_STREQ(buffer, "\xC7\xFD");
  EXPECT_EQ(Section(inf, "S\x81\x5D"), (Lines_{"k=v"}));
}

TEST_F(ProfileTest, ANulByteEndsTheTextItStandsIn) {
  static const char text[] = "[S]\nab\0cd=ef\nkey=va\0lue\n\0lead=x\nplain\0tail\n\0\nlast\n";
  const std::string inf = Inf(std::string(text, sizeof text - 1));
  DWORD n = 0;
  EXPECT_EQ(Section(inf, "S", &n), (Lines_{"ab=ef", "key=va", "=x", "plain", "last"}));
  EXPECT_EQ(n, 6u + 7 + 3 + 6 + 5);
  EXPECT_EQ(Value(inf, "S", "ab"), "ef");
  EXPECT_EQ(Value(inf, "S", "key"), "va");
}

TEST_F(ProfileTest, TheReaderSeesAFileThatChanged) {
  const std::string inf = Inf("[Version]\nDriverVer=1.0\n");
  EXPECT_EQ(Value(inf, "Version", "DriverVer"), "1.0");
  // Same size, same second: only the content tells the files apart.
  Inf("[Version]\nDriverVer=2.0\n");
  EXPECT_EQ(Value(inf, "Version", "DriverVer"), "2.0");
  Inf("[Version]\nDriverVer=3.0.1\n");
  EXPECT_EQ(Value(inf, "Version", "DriverVer"), "3.0.1");
}

TEST_F(ProfileTest, ABareFileNameIsLookedForInTheWindowsDirectory) {
  WriteMachineFile("C:\\WINDOWS\\setup.ini", "[Options]\nMode=quiet\n");
  WritePackageFile("setup.ini", "[Options]\nMode=package\n");
  EXPECT_EQ(Value("setup.ini", "Options", "Mode"), "quiet");
  EXPECT_EQ(Value(".\\setup.ini", "Options", "Mode"), "package");
}

TEST_F(ProfileTest, BadArgumentsAreRefused) {
  const std::string inf = Inf("[S]\na=b\n");
  char buffer[8] = "XXXXXXX";
  EXPECT_RESULT_AND_ERROR(GetPrivateProfileSectionA(nullptr, buffer, sizeof buffer, inf.c_str()), 0u,
                          ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetPrivateProfileSectionA("S", buffer, 0, inf.c_str()), 0u);
  EXPECT_EQ(buffer[0], 'X');
  EXPECT_EQ(GetPrivateProfileSectionA("S", buffer, 1, inf.c_str()), 0u);
  EXPECT_EQ(buffer[0], '\0');
}

}  // namespace
