// One reading of numbers for the whole simulation, so that the machine file,
// INF files and event lines never disagree on what "0x10" or "010" means.
#include "platform/sim/base/numbers.h"

#include <cstdio>

namespace sim {

std::optional<long long> ParseNumber(std::string_view text, long long min, long long max) {
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  unsigned base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  // Accumulated as a magnitude that may not pass 2^63, so nothing overflows.
  constexpr unsigned long long kLimit = 1ull << 63;
  unsigned long long magnitude = 0;
  for (const char c : text) {
    unsigned digit;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    else return std::nullopt;
    if (magnitude > (kLimit - digit) / base) return std::nullopt;
    magnitude = magnitude * base + digit;
  }
  if (!negative && magnitude == kLimit) return std::nullopt;
  const long long value = negative ? (magnitude == kLimit ? -static_cast<long long>(kLimit - 1) - 1
                                                          : -static_cast<long long>(magnitude))
                                   : static_cast<long long>(magnitude);
  if (value < min || value > max) return std::nullopt;
  return value;
}

std::string HexNumber(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
  return text;
}

}  // namespace sim
