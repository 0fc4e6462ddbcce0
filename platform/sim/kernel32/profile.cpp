// GetPrivateProfileSectionA and GetPrivateProfileStringA over real files.
//
// The rules are those of the platform's profile reader: a line is trimmed of
// white space; "[name]" starts a section (up to the last "]"); lines beginning
// with ";" are comments and are never delivered or found; "key = value" loses
// the blanks around "="; names compare without letter case; of repeated
// sections and keys the first counts. Lines are ended by CR, LF or both. A file
// that begins with the UTF-16LE byte-order mark is read as UTF-16 and handed out
// in the ANSI code page; a UTF-8 byte-order mark is not understood (its bytes
// stay part of the first line), as on Windows.
//
// A file is parsed once and kept until it changes, because the program reads
// the same INF many times in one action (the copied-file deletion reads
// "DestinationDirs" once per line). The parse keeps the file's text and
// points into it: no line is copied. Whether a kept parse still holds is the
// simulation's one freshness rule (machine/drive.h).
#include "platform/sim/base/text.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"

#include <cstring>
#include <memory>
#include <unordered_map>

namespace sim {
namespace {

// Files are read whole; lines and names are kept as 32-bit offsets into the
// text, the largest kept free to mean "no value", so a file of 4 GiB or more
// is not read at all (it is refused, never read in part).
constexpr uint32_t kNoValue = UINT32_MAX;

// A text of the file: offset and length in ParsedFile::text.
struct Span {
  uint32_t at = 0;
  uint32_t size = 0;
};

struct Line {
  Span key;
  uint32_t valueAt = kNoValue;  // kNoValue: a line without "="
  uint32_t valueSize = 0;
  bool HasValue() const { return valueAt != kNoValue; }
};

// Names compare as the platform compares them, without letter case in the
// file's code page. The hash folds ASCII letters and gives every other byte
// one value, so that names equal without case always hash alike.
// The folding is a table, so that hashing costs no comparison a byte.
struct HashFold {
  unsigned char of[256];
};
constexpr HashFold MakeHashFold() {
  HashFold fold{};
  for (unsigned c = 0; c < 256; ++c) fold.of[c] = static_cast<unsigned char>(c >= 0x80 ? 0x80 : (c >= 'a' && c <= 'z' ? c - 0x20 : c));
  return fold;
}
constexpr HashFold kHashFold = MakeHashFold();

SIM_BYTE_LOOP uint32_t NameHash(std::string_view name) {
  uint32_t h = 2166136261u;
  for (unsigned char c : name) h = (h ^ kHashFold.of[c]) * 16777619u;
  return h;
}

// Entries by name, the first of equal names kept: open addressing over one
// table, so that building it allocates once.
class NameIndex {
 public:
  template <typename NameOf>
  void Build(size_t count, UINT codePage, NameOf nameOf) {
    size_t capacity = 16;
    while (capacity < count * 2) capacity *= 2;
    slots_.assign(capacity, Slot{});
    for (size_t i = 0; i < count; ++i) {
      const std::string_view name = nameOf(i);
      const uint32_t hash = NameHash(name);
      for (size_t at = hash & (capacity - 1);; at = (at + 1) & (capacity - 1)) {
        Slot& slot = slots_[at];
        if (slot.entry == 0) {
          slot = Slot{static_cast<uint32_t>(i + 1), hash};
          break;
        }
        if (slot.hash == hash && internal::SameNoCase(codePage, nameOf(slot.entry - 1), name)) break;
      }
    }
  }
  // The entry of this name, or -1.
  template <typename NameOf>
  long long Find(std::string_view name, UINT codePage, NameOf nameOf) const {
    if (slots_.empty()) return -1;
    const uint32_t hash = NameHash(name);
    const size_t mask = slots_.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots_[at];
      if (slot.entry == 0) return -1;
      if (slot.hash == hash && internal::SameNoCase(codePage, nameOf(slot.entry - 1), name)) return slot.entry - 1;
    }
  }

 private:
  struct Slot {
    uint32_t entry = 0;  // entry number + 1; 0: free
    uint32_t hash = 0;
  };
  std::vector<Slot> slots_;
};

struct Section {
  Span name;
  size_t first = 0;  // its lines are lines[first, first + count)
  size_t count = 0;
  // Built on the first key look-up in a long section.
  mutable std::unique_ptr<NameIndex> keys;
};

struct ParsedFile {
  FileSnapshot snapshot;
  UINT codePage = 0;
  std::string text;  // what the lines point into: the file's bytes, or their ANSI form for UTF-16
  std::vector<Line> lines;
  std::vector<Section> sections;
  NameIndex firstSection;

  std::string_view Text(Span span) const { return std::string_view(text).substr(span.at, span.size); }
  std::string_view Key(const Line& line) const { return Text(line.key); }
  std::string_view Value(const Line& line) const {
    return line.HasValue() ? std::string_view(text).substr(line.valueAt, line.valueSize) : std::string_view();
  }
};

// Parses by the Linux path of the file, and the Linux path each Windows path
// mapped to: mapping looks up every component of a path in its directory,
// which costs more than the one stat that tells that a kept parse still holds.
// A remembered path is used only while the kept parse holds, so a file
// replaced by one whose name differs in letter case is mapped afresh. Like
// the setup library's parsed INF files they stay for later processes: every
// use checks them, and the fuzzers read one INF in three processes an input.
std::unordered_map<std::string, std::unique_ptr<ParsedFile>> g_cache;
std::unordered_map<std::string, std::string> g_mapped;
// The last file found and the Windows path it was found by. A file of a
// memory drive that has not changed since it was read is found again with
// one comparison of the path, without mapping it or making a string: the
// fuzzers read one INF thousands of times an input.
struct LastFound {
  LastFound() { windowsPath.reserve(MAX_PATH); }  // so that a new path seldom keeps more memory
  std::string windowsPath;
  const ParsedFile* file = nullptr;
} g_last;

void Forget() {
  g_last.file = nullptr;
  g_cache.clear();
  g_mapped.clear();
}
internal::MachineChangeHook g_changed(Forget);

bool IsSpace(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && IsSpace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// A NUL byte in the file ends the text it stands in, as the strings handed
// out are C strings: "a\0b=c" is the key "a" with the value "c".
std::string_view CString(std::string_view text) { return text.substr(0, text.find('\0')); }

// Position of the last "]" that is a character of its own (not the second
// byte of a double-byte character), or npos.
size_t LastCloseBracket(std::string_view line, UINT codePage) {
  if (codePage != 936) return line.rfind(']');  // no double-byte characters
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < line.size(); ++i) {
    if (internal::LeadByte(codePage, static_cast<unsigned char>(line[i])) && i + 1 < line.size()) {
      ++i;
      continue;
    }
    if (line[i] == ']') found = i;
  }
  return found;
}

void Parse(ParsedFile& file) {
  const std::string_view text(file.text);
  auto span = [&](std::string_view part) {
    return Span{static_cast<uint32_t>(part.data() - text.data()), static_cast<uint32_t>(part.size())};
  };
  file.lines.clear();
  file.sections.clear();
  // Most lines of an INF file are longer than this, so the list of lines is
  // rarely moved while it grows.
  file.lines.reserve(text.size() / 32);
  // The lines before the first header form a section without a name, which
  // is what an empty section name finds (before any "[]" header).
  file.sections.emplace_back();
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (!lf) lf = end;
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(lf - p)));
    const char* stop = cr ? cr : lf;
    std::string_view line = Trim(std::string_view(p, static_cast<size_t>(stop - p)));
    p = stop;
    while (p < end && (*p == '\n' || *p == '\r')) ++p;
    if (line.empty() || line.front() == ';') continue;

    if (line.front() == '[') {
      const size_t close = LastCloseBracket(line, file.codePage);
      if (close != std::string_view::npos) {
        Section section;
        section.name = span(CString(Trim(line.substr(1, close - 1))));
        section.first = file.lines.size();
        file.sections.push_back(std::move(section));
        continue;
      }
      // A "[" without a closing "]" is an ordinary line.
    }

    Line entry;
    const size_t equals = line.find('=');  // "=" is never the second byte of a character
    if (equals != std::string_view::npos) {
      entry.key = span(CString(Trim(line.substr(0, equals))));
      const Span value = span(CString(Trim(line.substr(equals + 1))));
      entry.valueAt = value.at;
      entry.valueSize = value.size;
    } else {
      entry.key = span(CString(line));
    }
    // Consecutive lines with no name ("=value") are kept only once.
    Section& current = file.sections.back();
    if (entry.key.size || current.count == 0 || file.lines.back().key.size) {
      file.lines.push_back(entry);
      ++current.count;
    }
  }
  file.firstSection.Build(file.sections.size(), file.codePage,
                          [&](size_t i) { return file.Text(file.sections[i].name); });
}

bool IsUtf16(std::string_view bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE;
}

// The parsed file at an absolute Windows path, found by its path, or null
// when it cannot be read.
const ParsedFile* LoadAfresh(LPCSTR windowsPath, UINT codePage) {
  auto kept = [&](const std::string& host) -> const ParsedFile* {
    auto it = g_cache.find(host);
    if (it == g_cache.end() || it->second->codePage != codePage || !Unchanged(host, it->second->snapshot)) return nullptr;
    return it->second.get();
  };
  if (auto known = g_mapped.find(windowsPath); known != g_mapped.end())
    if (const ParsedFile* file = kept(known->second)) return file;
  const HostPath mapped = MapWindowsPath(windowsPath);
  if (!mapped.ok()) return nullptr;
  const std::string host = mapped.host.string();
  g_mapped[windowsPath] = host;
  if (const ParsedFile* file = kept(host)) return file;
  g_cache.erase(host);
  auto parsed = std::make_unique<ParsedFile>();
  parsed->codePage = codePage;
  std::string bytes;
  if (!ReadSnapshot(mapped.host, bytes, parsed->snapshot, kNoValue - 1)) return nullptr;
  if (IsUtf16(bytes)) parsed->text = Utf16LeToAnsi(std::string_view(bytes).substr(2));
  else parsed->text = std::move(bytes);
  Parse(*parsed);
  return (g_cache[host] = std::move(parsed)).get();
}

// The parsed file at an absolute Windows path, or null when it cannot be read.
const ParsedFile* Load(LPCSTR windowsPath) {
  const UINT codePage = CurrentMachine().CodePage();
  if (g_last.file && g_last.file->codePage == codePage && UnchangedSinceSnapshot(g_last.file->snapshot) &&
      g_last.windowsPath == windowsPath)
    return g_last.file;
  g_last.file = nullptr;
  const ParsedFile* found = LoadAfresh(windowsPath, codePage);
  if (found) {
    g_last.windowsPath = windowsPath;
    g_last.file = found;
  }
  return found;
}

// The program reads INF files by their full paths; a bare name (looked for in
// the Windows directory), a relative path or none (win.ini) it never gives.
bool AbsolutePath(LPCSTR path) { return path && path[0] && path[1] == ':' && (path[2] == '\\' || path[2] == '/'); }

const Section* FindSection(const ParsedFile& file, std::string_view name) {
  const long long i =
      file.firstSection.Find(name, file.codePage, [&](size_t n) { return file.Text(file.sections[n].name); });
  return i < 0 ? nullptr : &file.sections[static_cast<size_t>(i)];
}

// The first line of a section with this key, or null.
const Line* FindKey(const ParsedFile& file, const Section& section, std::string_view key) {
  const Line* lines = file.lines.data() + section.first;
  // A short section is searched line by line; a long one gets an index once.
  if (section.count <= 16) {
    for (size_t i = 0; i < section.count; ++i)
      if (internal::SameNoCase(file.codePage, file.Key(lines[i]), key)) return &lines[i];
    return nullptr;
  }
  auto keyOf = [&](size_t n) { return file.Key(lines[n]); };
  if (!section.keys) {
    section.keys = std::make_unique<NameIndex>();
    section.keys->Build(section.count, file.codePage, keyOf);
  }
  const long long i = section.keys->Find(key, file.codePage, keyOf);
  return i < 0 ? nullptr : &lines[i];
}

// The longest prefix of `text` of at most `limit` bytes that does not cut a
// double-byte character.
size_t FitLength(std::string_view text, size_t limit, UINT codePage) {
  if (text.size() <= limit) return text.size();
  size_t i = 0;
  while (i < limit) {
    const size_t step = internal::LeadByte(codePage, static_cast<unsigned char>(text[i])) ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return i;
}

}  // namespace
}  // namespace sim

using namespace sim;

DWORD WINAPI GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR path) {
  bool untouched = false;
  if (auto error = FaultFor("GetPrivateProfileSectionA", ERROR_FILE_NOT_FOUND, &untouched)) {
    if (!untouched && buffer && size >= 2) buffer[0] = buffer[1] = '\0';
    return Fail(*error, DWORD{0});
  }
  if (!section || !buffer || !AbsolutePath(path))
    return Unmodelled("GetPrivateProfileSectionA", "a read without a section, a buffer or a full file path",
                      ERROR_INVALID_PARAMETER, DWORD{0});
  if (size == 0) return 0;
  if (size == 1) {
    buffer[0] = '\0';
    return 0;
  }
  const ParsedFile* file = Load(path);
  // Windows trims the name it is given; Wine does not (a listed difference).
  const Section* found = file ? FindSection(*file, Trim(section)) : nullptr;
  if (!found) {
    buffer[0] = buffer[1] = '\0';
    return file ? 0 : Fail(ERROR_FILE_NOT_FOUND, DWORD{0});
  }
  const UINT cp = file->codePage;
  // Lines are copied while more than two bytes are left; a line that does
  // not fit is cut, and the list still ends with two NULs.
  char* out = buffer;
  DWORD left = size;
  for (size_t i = 0; i < found->count; ++i) {
    const Line& line = file->lines[found->first + i];
    if (left <= 2) break;
    if (line.key.size == 0 && !line.HasValue()) continue;  // a line that held nothing but a NUL
    const std::string_view key = file->Key(line);
    size_t n = FitLength(key, left - 2, cp);
    if (n) std::memcpy(out, key.data(), n);
    out[n] = '\0';
    out += n + 1;
    left -= static_cast<DWORD>(n + 1);
    if (left < 2) break;
    if (line.HasValue()) {
      out[-1] = '=';
      const std::string_view value = file->Value(line);
      n = FitLength(value, left - 2, cp);
      if (n) std::memcpy(out, value.data(), n);
      out[n] = '\0';
      out += n + 1;
      left -= static_cast<DWORD>(n + 1);
    }
  }
  *out = '\0';
  if (left <= 1) {
    out[-1] = '\0';
    return Fail(ERROR_INSUFFICIENT_BUFFER, size - 2);
  }
  // A whole section read clears the last error, as Windows does (Wine's
  // profile tests assert it).
  SetLastError(ERROR_SUCCESS);
  return size - left;
}

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR buffer, DWORD size,
                                      LPCSTR path) {
  bool untouched = false;
  if (auto error = FaultFor("GetPrivateProfileStringA", ERROR_FILE_NOT_FOUND, &untouched)) {
    if (!untouched && buffer && size) buffer[0] = '\0';
    return Fail(*error, DWORD{0});
  }
  // Listing the section or key names is not something the program asks for.
  if (!section || !key || !buffer || !AbsolutePath(path))
    return Unmodelled("GetPrivateProfileStringA", "a read without a section, a key, a buffer or a full file path",
                      ERROR_INVALID_PARAMETER, DWORD{0});
  if (size == 0) return 0;
  const ParsedFile* file = Load(path);
  // A missing key without a default gives an empty text; the view must still
  // point somewhere, since memcpy may not be handed a null source even for no bytes.
  std::string_view value = fallback ? std::string_view(fallback) : std::string_view("");
  if (!file) {
    SetLastError(ERROR_FILE_NOT_FOUND);
  } else if (const Section* found = FindSection(*file, Trim(section))) {
    if (const Line* line = FindKey(*file, *found, Trim(key)); line && line->HasValue()) value = file->Value(*line);
  }
  // One pair of matching quotes around the whole value is removed.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  const UINT cp = file ? file->codePage : CurrentMachine().CodePage();
  const size_t n = FitLength(value, size - 1, cp);
  if (n) std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  if (n < value.size()) SetLastError(ERROR_MORE_DATA);
  return static_cast<DWORD>(n);
}
