// The one number parser, the one UTF-8 decoder and the one whole-file reader of the simulation.
#include "platform/sim/base/file_bytes.h"
#include "platform/sim/base/numbers.h"
#include "platform/sim/base/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>
#include <vector>

#include <unistd.h>

namespace {

TEST(ParseNumber, ReadsWholeDecimalAndHexTextsWithinTheirRange) {
  const std::tuple<const char*, long long, long long, std::optional<long long>> cases[] = {
      {"0", 0, 10, 0},          {"010", 0, 100, 10},  // a leading zero is no octal
      {"0x4A65000A", 0, 0xFFFFFFFF, 0x4A65000A},      {"0XfF", 0, 255, 255},
      {"-0x10", -16, 0, -16},   {"-9223372036854775808", LLONG_MIN, LLONG_MAX, LLONG_MIN},
      {"9223372036854775808", LLONG_MIN, LLONG_MAX, std::nullopt},  // one past, never wrapped
      {"0x1FFFFFFFF", 0, 0xFFFFFFFF, std::nullopt},  {"256", 0, 255, std::nullopt}, {"-1", 0, 255, std::nullopt},
      {"", 0, 10, std::nullopt}, {"0x", 0, 10, std::nullopt}, {"-", 0, 10, std::nullopt}, {"+1", 0, 10, std::nullopt},
      {" 1", 0, 10, std::nullopt}, {"1 ", 0, 10, std::nullopt}, {"0x1g", 0, 1000, std::nullopt},
  };
  for (const auto& [text, min, max, value] : cases) EXPECT_EQ(sim::ParseNumber(text, min, max), value) << text;
}

TEST(DecodeUtf8, GivesEachCharacterOrOneReplacementPerBrokenByte) {
  const std::pair<std::string, std::vector<char32_t>> cases[] = {
      {"a\x7F", {U'a', 0x7F}},
      {"\xC3\xA9\xE9\xA9\xB1\xF0\x9F\x98\x80", {0xE9, 0x9A71, 0x1F600}},
      {"\xC3", {0xFFFD}},                             // cut at the end
      {"\xC3(", {0xFFFD, U'('}},                      // no continuation byte
      {"\xA9x", {0xFFFD, U'x'}},                      // a continuation byte alone
      {"\xC0\xAF", {0xFFFD, 0xFFFD}},                 // over-long "/"
      {"\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},     // a surrogate
      {"\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},  // past U+10FFFF
      {"\xFF", {0xFFFD}},
  };
  for (const auto& [utf8, expected] : cases) {
    std::vector<char32_t> decoded;
    for (size_t at = 0; at < utf8.size();) decoded.push_back(sim::DecodeUtf8(utf8, at));
    EXPECT_EQ(decoded, expected) << testing::PrintToString(utf8);
  }
  EXPECT_EQ(sim::DisplayWidth("a\xE9\xA9\xB1\xCC\x81"), 3u);  // narrow, wide, and a combining mark
}

}  // namespace

// A file is read whole up to its limit, a file of exactly the limit included,
// and refused beyond it.
TEST(ReadWholeFile, ReadsUpToItsLimitAndNeverInPart) {
  char pattern[] = "/tmp/setup-bytes-XXXXXX";
  const int fd = mkstemp(pattern);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "12345678", 8), 8);
  close(fd);
  const std::pair<size_t, bool> cases[] = {{SIZE_MAX, true}, {9, true}, {8, true}, {7, false}, {0, false}};
  for (const auto& [limit, read] : cases) {
    std::string bytes = "old";
    EXPECT_EQ(sim::ReadWholeFile(pattern, bytes, nullptr, limit), read) << limit;
    EXPECT_EQ(bytes, read ? "12345678" : "") << limit;
  }
  unlink(pattern);
}
