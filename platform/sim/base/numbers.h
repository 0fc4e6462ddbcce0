// Numbers written as text: in the machine file, INF files, event lines,
// resource names and the command lines of the simulation's tools.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

// A whole text read as a number: decimal digits, or hexadecimal digits after
// "0x" or "0X", after an optional '-'. nullopt for anything else (empty, blanks,
// '+', characters after the digits) and for a value outside [min, max].
std::optional<long long> ParseNumber(std::string_view text, long long min, long long max);

// "0x" and the value in upper-case hex digits, at least `digits` of them: the
// form versions, languages, flags and error codes are shown and written in.
std::string HexNumber(uint32_t value, int digits);

}  // namespace sim
