// Text in the ANSI code pages the simulated machines use (1252 and 936):
// conversions, double-byte lead bytes, letter case, and the hex form in which
// the transcript and the machine file keep exact bytes. Nothing here knows a
// machine: the code page is always given.
#pragma once

#include "platform/win32.h"

#include <string>
#include <string_view>

// Marks a loop over bytes that the fuzzing build's coverage need not see: a
// hash, a comparison, a conversion by table, whose branches tell nothing of
// the paths the program takes and whose comparison hooks, called for every
// byte, cost more than the loop. The sanitizers still check every access.
#if defined(__clang__)
#define SIM_BYTE_LOOP __attribute__((no_sanitize("coverage")))
#else
#define SIM_BYTE_LOOP
#endif

namespace sim {

std::string CodePageToUtf8(std::string_view ansi, UINT codePage);
std::string Utf8ToCodePage(std::string_view utf8, UINT codePage);  // characters the code page lacks become '?'
std::string Utf16LeToCodePage(std::string_view utf16, UINT codePage);
// Upper case as the platform maps it: ASCII and the Latin-1 letters of 1252;
// a double-byte character of 936 is left as it is.
std::string UpperInCodePage(std::string_view text, UINT codePage);

// The code point that starts at `at` in UTF-8 text, with `at` moved past it.
// A byte that does not start a well-formed sequence gives U+FFFD and moves one
// byte on, so that every text decodes to its end.
char32_t DecodeUtf8(std::string_view utf8, size_t& at);
// Columns a character takes on a terminal: 2 for East Asian wide and
// full-width characters, 0 for combining marks and controls, 1 otherwise.
int CharWidth(char32_t c);
// The columns of a UTF-8 text.
size_t DisplayWidth(std::string_view utf8);

// Lower-case hex of bytes, as the transcript stores exact texts.
std::string HexBytes(std::string_view bytes);
std::string BytesFromHex(std::string_view hex);

namespace internal {
// True for the byte ranges of the ANSI code page's lead bytes (936 only).
bool LeadByte(UINT codePage, unsigned char byte);
// Case-insensitive equality of ANSI texts without allocating (a double-byte
// character compares as it is).
bool SameNoCase(UINT codePage, std::string_view a, std::string_view b);
}  // namespace internal

}  // namespace sim
