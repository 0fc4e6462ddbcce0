// What the program learns from the INF file.
#pragma once

#include <cstddef>

enum class Trimmed {
  Text,     // the result holds a text without blanks or tabs at either end
  NoText,   // the input held nothing but blanks and tabs, or nothing at all
  TooLong,  // the trimmed text does not fit the result; the result is left empty
};

// Removes spaces and tabs at both ends of `text` into `result` (a buffer of
// `capacity` bytes, NUL included). The input is never changed.
Trimmed TrimBlanks(const char* text, char* result, size_t capacity);
