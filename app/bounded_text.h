// Texts in fixed buffers: a text that does not fit is refused, never cut.
#pragma once

#include <cstddef>
#include <cstring>
#include <initializer_list>

// Copies the pieces one after another into `out` (capacity bytes, NUL
// included). When the whole does not fit, `out` is left empty and false is
// returned.
inline bool JoinText(char* out, size_t capacity, std::initializer_list<const char*> pieces) {
  size_t total = 0;
  for (const char* piece : pieces) total += std::strlen(piece);
  if (capacity == 0) return false;
  out[0] = '\0';
  if (total >= capacity) return false;
  size_t used = 0;
  for (const char* piece : pieces) {
    const size_t n = std::strlen(piece);
    std::memcpy(out + used, piece, n);
    used += n;
  }
  out[used] = '\0';
  return true;
}

template <size_t N>
bool JoinText(char (&out)[N], std::initializer_list<const char*> pieces) {
  return JoinText(out, N, pieces);
}
