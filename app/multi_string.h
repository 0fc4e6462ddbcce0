// Walking a MultiStringList: strings one after another, each ended by NUL,
// the whole ended by an empty string.
#pragma once

#include <cstddef>
#include <cstring>

// Calls `use(text, length)` for each string of the list held in `capacity`
// bytes at `list`, in order, until the empty string that ends the list. A
// string that would run past the buffer ends the walk, so a list that lacks
// its terminator is never read beyond its buffer. `use` returns false to stop.
template <typename Use>
void ForEachString(const char* list, size_t capacity, Use use) {
  size_t offset = 0;
  while (offset < capacity && list[offset] != '\0') {
    const void* end = std::memchr(list + offset, '\0', capacity - offset);
    if (!end) return;
    const size_t length = static_cast<size_t>(static_cast<const char*>(end) - (list + offset));
    if (!use(list + offset, length)) return;
    offset += length + 1;
  }
}

// Appends `text` (of `length` bytes, possibly none) with its NUL at `used`, keeping room for
// the list's final empty string. False, and nothing written, when it does not fit.
inline bool AppendString(char* list, size_t capacity, size_t& used, const char* text, size_t length) {
  if (used + length + 1 >= capacity) return false;
  std::memcpy(list + used, text, length);
  list[used + length] = '\0';
  used += length + 1;
  list[used] = '\0';
  return true;
}
