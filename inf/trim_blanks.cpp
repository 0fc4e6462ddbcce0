#include "inf/inf.h"

#include <cstring>

namespace {
// Only the space and the tab count as blanks. Neither can be the second byte
// of a double-byte character, so trimming byte by byte never cuts one.
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

Trimmed TrimBlanks(const char* text, char* result, size_t capacity) {
  if (capacity > 0) result[0] = '\0';
  const char* first = text;
  while (*first && IsBlank(*first)) ++first;
  if (!*first) return Trimmed::NoText;
  const char* last = first + std::strlen(first) - 1;
  while (last > first && IsBlank(*last)) --last;
  const size_t length = static_cast<size_t>(last - first) + 1;
  if (length >= capacity) return Trimmed::TooLong;
  std::memcpy(result, first, length);
  result[length] = '\0';
  return Trimmed::Text;
}
