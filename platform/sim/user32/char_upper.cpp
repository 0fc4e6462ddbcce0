// CharUpperA: letter case as the ANSI code page of the machine maps it.
#include "platform/sim/machine/machine.h"

#include <cstdint>
#include <cstring>

LPSTR WINAPI CharUpperA(LPSTR text) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(text);
  if ((value >> 16) == 0) {
    // A single character passed in the low word of the pointer.
    const std::string one(1, static_cast<char>(value & 0xFF));
    return reinterpret_cast<LPSTR>(static_cast<uintptr_t>(static_cast<unsigned char>(sim::UpperAnsi(one)[0])));
  }
  // In place, as the program calls it for every id it compares; the length
  // does not change, a double-byte character is left as it is.
  const std::string upper = sim::UpperAnsi(text);
  std::memcpy(text, upper.data(), upper.size());
  return text;
}
