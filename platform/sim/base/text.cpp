// ANSI code page handling: conversions for terminals and files, case mapping.
#include "platform/sim/base/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include <iconv.h>

namespace sim {
namespace {

const char* IconvName(UINT codePage) { return codePage == 936 ? "CP936" : "CP1252"; }

size_t Utf8SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;
}

size_t Utf16Unit(const char* p, size_t left);

// Converts with iconv; an input unit that has no counterpart becomes '?', as
// the platform's conversions use '?' as their default character.
std::string Convert(std::string_view input, const char* to, const char* from,
                    size_t (*unitLength)(const char*, size_t)) {
  // ASCII reads the same in every code page here and in UTF-8; most paths
  // and names are ASCII, and they are converted on every file call.
  if (unitLength != Utf16Unit &&
      std::all_of(input.begin(), input.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(input);
  // A descriptor is opened once for each pair of encodings and kept: opening
  // one costs more than most conversions. Each use starts from its initial state.
  static struct Opened : std::map<std::pair<std::string, std::string>, iconv_t> {
    ~Opened() {
      for (auto& [pair, cd] : *this)
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
  } opened;
  auto [at, added] = opened.try_emplace({to, from}, reinterpret_cast<iconv_t>(-1));
  if (added) at->second = iconv_open(to, from);
  iconv_t cd = at->second;
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(input);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string out;
  out.resize(input.size() * 4 + 16);
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &dst, &dstLeft) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      const size_t used = static_cast<size_t>(dst - out.data());
      out.resize(out.size() * 2);
      dst = out.data() + used;
      dstLeft = out.size() - used;
      continue;
    }
    // EILSEQ or EINVAL: replace one unit and go on.
    const size_t skip = std::min(inLeft, unitLength(in, inLeft));
    in += skip;
    inLeft -= skip;
    if (dstLeft == 0) {
      const size_t used = static_cast<size_t>(dst - out.data());
      out.resize(out.size() * 2);
      dst = out.data() + used;
      dstLeft = out.size() - used;
    }
    *dst++ = '?';
    --dstLeft;
  }
  out.resize(static_cast<size_t>(dst - out.data()));
  return out;
}

size_t Utf8Unit(const char* p, size_t) { return Utf8SequenceLength(static_cast<unsigned char>(*p)); }
size_t Utf16Unit(const char* p, size_t left) {
  if (left >= 4) {
    const unsigned unit = static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8);
    if (unit >= 0xD800 && unit < 0xDC00) return 4;
  }
  return 2;
}
// One character of code page 936 (a lead byte and the byte after it) or of 1252.
size_t Ansi936Unit(const char* p, size_t left) {
  return left >= 2 && static_cast<unsigned char>(*p) >= 0x81 && static_cast<unsigned char>(*p) <= 0xFE ? 2 : 1;
}
size_t Ansi1252Unit(const char*, size_t) { return 1; }

constexpr unsigned char Upper1252(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
  }
}

// Upper case by table, so that a comparison of names (the profile reader
// makes thousands an input under the fuzzers) costs one look-up a byte.
struct UpperTable {
  unsigned char of[256];
};
constexpr UpperTable MakeUpperTable(bool codePage1252) {
  UpperTable table{};
  for (unsigned c = 0; c < 256; ++c)
    table.of[c] = codePage1252 ? Upper1252(static_cast<unsigned char>(c))
                               : static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 0x20 : c);
  return table;
}
constexpr UpperTable kUpper1252 = MakeUpperTable(true);
constexpr UpperTable kUpperAscii = MakeUpperTable(false);

}  // namespace

namespace internal {
bool LeadByte(UINT codePage, unsigned char byte) { return codePage == 936 && byte >= 0x81 && byte <= 0xFE; }

SIM_BYTE_LOOP bool SameNoCase(UINT codePage, std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto* x = reinterpret_cast<const unsigned char*>(a.data());
  const auto* y = reinterpret_cast<const unsigned char*>(b.data());
  const size_t n = a.size();
  if (codePage != 936) {  // no double-byte characters
    for (size_t i = 0; i < n; ++i)
      if (kUpper1252.of[x[i]] != kUpper1252.of[y[i]]) return false;
    return true;
  }
  for (size_t i = 0; i < n; ++i) {
    if (LeadByte(codePage, x[i]) && i + 1 < n) {
      if (x[i] != y[i] || x[i + 1] != y[i + 1]) return false;
      ++i;
      continue;
    }
    if (kUpperAscii.of[x[i]] != kUpperAscii.of[y[i]]) return false;
  }
  return true;
}
}  // namespace internal

std::string CodePageToUtf8(std::string_view ansi, UINT codePage) {
  return Convert(ansi, "UTF-8", IconvName(codePage), codePage == 936 ? Ansi936Unit : Ansi1252Unit);
}

std::string Utf8ToCodePage(std::string_view utf8, UINT codePage) {
  return Convert(utf8, IconvName(codePage), "UTF-8", Utf8Unit);
}

namespace {

// What one UTF-16 code unit outside the surrogates becomes in a code page:
// one or two bytes, or '?' for a character the code page lacks (size 0: an
// answer of another length, which iconv gives at every use).
struct UnitBytes {
  unsigned char size = 0;
  char bytes[2] = {};
};

// The units' bytes in one code page, filled in by iconv 256 units at a time
// as they are first met. iconv converts a text until the first character the
// code page lacks and is then called again for the rest, which for a file of
// such characters meant a restart for every one of them.
class Utf16Units {
 public:
  explicit Utf16Units(UINT codePage) : codePage_(codePage) {}
  const UnitBytes& Of(unsigned unit) {
    // The table is made whole at the first use, so that filling a page later
    // keeps no memory: the fuzzers look again at an input that ends holding
    // more memory than it started with.
    if (!units_) units_.reset(new UnitBytes[65536]);
    UnitBytes* page = units_.get() + (unit & 0xFF00);
    if (!filled_[unit >> 8]) {
      filled_[unit >> 8] = true;
      for (unsigned low = 0; low < 256; ++low) {
        const char pair[2] = {static_cast<char>(low), static_cast<char>(unit >> 8)};
        const std::string bytes = Convert(std::string_view(pair, 2), IconvName(codePage_), "UTF-16LE", Utf16Unit);
        UnitBytes& entry = page[low];
        if (bytes.empty() || bytes.size() > sizeof entry.bytes) continue;  // left to iconv at every use
        entry.size = static_cast<unsigned char>(bytes.size());
        std::memcpy(entry.bytes, bytes.data(), bytes.size());
      }
    }
    return page[unit & 0xFF];
  }

 private:
  UINT codePage_;
  std::unique_ptr<UnitBytes[]> units_;
  bool filled_[256] = {};
};

}  // namespace

// A surrogate (with the unit after a high one), and an odd last byte, are
// converted by iconv, on exactly the bytes that iconv would have taken as one
// unit of the whole text, so that their answers are iconv's as well.
SIM_BYTE_LOOP std::string Utf16LeToCodePage(std::string_view utf16, UINT codePage) {
  static Utf16Units doubleByte(936), singleByte(1252);
  Utf16Units& units = codePage == 936 ? doubleByte : singleByte;
  // Two bytes at most for each unit from the table; what iconv gives is
  // appended with room made for it.
  std::string out(utf16.size() + 2, '\0');
  size_t used = 0;
  auto put = [&](std::string_view piece) {
    if (out.size() - used < piece.size()) out.resize(used + piece.size() + utf16.size());
    std::memcpy(out.data() + used, piece.data(), piece.size());
    used += piece.size();
  };
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf16.data());
  const size_t size = utf16.size();
  size_t at = 0;
  while (size - at >= 2) {
    const unsigned unit = bytes[at] | (bytes[at + 1] << 8);
    if (unit >= 0xD800 && unit < 0xE000) {
      const size_t length = Utf16Unit(utf16.data() + at, size - at);
      put(Convert(utf16.substr(at, length), IconvName(codePage), "UTF-16LE", Utf16Unit));
      at += length;
      continue;
    }
    const UnitBytes& entry = units.Of(unit);
    if (entry.size == 1 && used < out.size()) {
      out[used++] = entry.bytes[0];
    } else if (entry.size) {
      put(std::string_view(entry.bytes, entry.size));
    } else {
      put(Convert(utf16.substr(at, 2), IconvName(codePage), "UTF-16LE", Utf16Unit));
    }
    at += 2;
  }
  if (at < size) put(Convert(utf16.substr(at), IconvName(codePage), "UTF-16LE", Utf16Unit));
  out.resize(used);
  return out;
}

std::string UpperInCodePage(std::string_view text, UINT codePage) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    if (internal::LeadByte(codePage, c) && i + 1 < out.size()) {
      ++i;  // a double-byte character is left as it is
      continue;
    }
    out[i] = static_cast<char>(codePage == 936 ? (c >= 'a' && c <= 'z' ? c - 0x20 : c) : Upper1252(c));
  }
  return out;
}

char32_t DecodeUtf8(std::string_view utf8, size_t& at) {
  const unsigned char lead = static_cast<unsigned char>(utf8[at]);
  const size_t length = Utf8SequenceLength(lead);
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  char32_t c = length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
  bool wellFormed = length > 1 && at + length <= utf8.size();
  for (size_t k = 1; wellFormed && k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(utf8[at + k]);
    wellFormed = (next & 0xC0) == 0x80;
    c = (c << 6) | (next & 0x3F);
  }
  // Over-long forms, surrogates and values past U+10FFFF are not characters.
  static const char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (!wellFormed || c < kSmallest[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
    ++at;
    return 0xFFFD;
  }
  at += length;
  return c;
}

int CharWidth(char32_t c) {
  if (c == 0 || c < 0x20 || (c >= 0x7F && c < 0xA0)) return 0;
  // Combining marks take no column of their own.
  if ((c >= 0x0300 && c <= 0x036F) || (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE20 && c <= 0xFE2F)) return 0;
  const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
                    (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
                    (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
                    (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) ||
                    (c >= 0x1F300 && c <= 0x1F64F) || (c >= 0x20000 && c <= 0x3FFFD);
  return wide ? 2 : 1;
}

size_t DisplayWidth(std::string_view utf8) {
  size_t width = 0;
  for (size_t at = 0; at < utf8.size();) width += static_cast<size_t>(CharWidth(DecodeUtf8(utf8, at)));
  return width;
}

std::string HexBytes(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string BytesFromHex(std::string_view hex) {
  std::string out;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    const int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
    if (hi < 0 || lo < 0) break;
    out += static_cast<char>(hi * 16 + lo);
  }
  return out;
}

}  // namespace sim
