// Trimming of blanks and tabs, and walking multi-string lists.
#include "app/multi_string.h"
#include "inf/inf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TrimCase {
  const char* input;
  Trimmed outcome;
  const char* text;
  size_t capacity = 32;
};

// A result that does not fit is refused, never cut.
TEST(TrimBlanks, RemovesSpacesAndTabsAtBothEndsOnly) {
  const TrimCase cases[] = {
      {"", Trimmed::NoText, ""},
      {" \t  \t", Trimmed::NoText, ""},
      {"  a b\t", Trimmed::Text, "a b"},
      {"x", Trimmed::Text, "x"},
      {"\ta\t\tb ", Trimmed::Text, "a\t\tb"},
      {" value\r\n", Trimmed::Text, "value\r\n"},  // CR and LF are ordinary characters
      {"  \xB0\xB2 ", Trimmed::Text, "\xB0\xB2"},  // a double-byte character stays whole
      {"  abcd  ", Trimmed::TooLong, "", 4},
      {"  abc  ", Trimmed::Text, "abc", 4},
  };
  for (const TrimCase& c : cases) {
    char out[32] = "garbage";
    EXPECT_EQ(TrimBlanks(c.input, out, c.capacity), c.outcome) << '"' << c.input << '"';
    EXPECT_STREQ(out, c.text) << '"' << c.input << '"';
  }
}

std::vector<std::string> Walk(const char* list, size_t capacity) {
  std::vector<std::string> seen;
  ForEachString(list, capacity, [&](const char* s, size_t n) {
    seen.emplace_back(s, n);
    return true;
  });
  return seen;
}

TEST(MultiStringList, WalksUpToTheEmptyStringAndNeverPastItsBuffer) {
  EXPECT_EQ(Walk("a\0b\0\0", 5), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Walk("one\0\0two\0\0", 10), (std::vector<std::string>{"one"}));
  const char unterminated[] = {'a', '\0', 'b', 'c'};
  EXPECT_EQ(Walk(unterminated, sizeof unterminated), (std::vector<std::string>{"a"}));
}

}  // namespace
