// Numbers written as text: in the machine file, INF files, event lines,
// resource names and the command lines of the simulation's tools.
#pragma once

#include <optional>
#include <string_view>

namespace sim {

// A whole text read as a number: decimal digits, or hexadecimal digits after
// "0x" or "0X", after an optional '-'. nullopt for anything else (empty, blanks,
// '+', characters after the digits) and for a value outside [min, max].
std::optional<long long> ParseNumber(std::string_view text, long long min, long long max);

}  // namespace sim
