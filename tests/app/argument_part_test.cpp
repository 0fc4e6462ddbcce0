// The argument part of a command line, the text WinMain receives: what follows
// the program's own name and the characters of code 1 to 32 after it.
#include "app/entry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  const char* name;
  std::string commandLine;
  std::string argumentPart;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kCases[] = {
    {"QuotedNameWithBlanksThenUninstall", "\"C:\\Program Files\\Example Setup\\setup.exe\" /U", "/U"},
    {"QuotedNameEndsAtItsClosingQuote", "\"C:\\Program Files\\setup.exe\"/S", "/S"},
    {"QuotedNameThenOnlyBlanks", "\"C:\\Program Files\\setup.exe\"   ", ""},
    {"EmptyQuotedName", "\"\" /S", "/S"},
    // Only a leading quote makes a quoted name; any other ends at a blank.
    {"QuoteInsideAnUnquotedName", "C:\\a\"b c\" /S", "c\" /S"},
    {"QuoteNeverClosed", "\"C:\\Program Files\\setup.exe /U", ""},
    {"UnquotedName", "setup.exe /S", "/S"},
    {"UnquotedNameAlone", "setup.exe", ""},
    {"UnquotedNameThenBlanks", "setup.exe    ", ""},
    {"TabAfterTheName", "setup.exe\t/S", "/S"},
    {"UnquotedNameEndsAtAControlCharacter", "C:\\tools\\setup\x01/U", "/U"},
    {"EveryCode1To32IsSkippedAfterTheName", std::string("setup \x01\x02\t\n\v\f\r\x1b\x1f ") + "/s /u  ", "/s /u  "},
    {"Code127IsNotSkipped", "setup \x7f/S", "\x7f/S"},
    // Bytes over 127 are characters of the code page (here GBK), not blanks.
    {"BytesOver127InAnUnquotedName", "C:\\\xb0\xb2\xd7\xb0\\setup.exe /S", "/S"},
    {"BytesOver127InAQuotedName", "\"C:\\\xb0\xb2 \xd7\xb0\\setup.exe\" /U", "/U"},
    {"ByteOver127AfterTheNameIsKept", "setup.exe \xa0/S", "\xa0/S"},
    {"EmptyCommandLine", "", ""},
};

class ArgumentPartRule : public ::testing::TestWithParam<Case> {};

TEST_P(ArgumentPartRule, Gives) {
  const Case& c = GetParam();
  EXPECT_EQ(std::string(ArgumentPart(c.commandLine.c_str())), c.argumentPart);
  // It is a tail of the command line itself, as WinMain's argument is.
  const char* part = ArgumentPart(c.commandLine.c_str());
  EXPECT_EQ(part, c.commandLine.c_str() + (c.commandLine.size() - c.argumentPart.size()));
}

INSTANTIATE_TEST_SUITE_P(CommandLines, ArgumentPartRule, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(ArgumentPart, OfNoCommandLineIsEmpty) { EXPECT_STREQ(ArgumentPart(nullptr), ""); }

}  // namespace
