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
// the same INF many times in one action.
#include "platform/sim/sim_internal.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <unordered_map>

#include <sys/stat.h>

namespace sim {
namespace {

struct Line {
  std::string key;
  bool hasValue = false;
  std::string value;
};

struct Section {
  std::string name;
  std::vector<Line> lines;
};

struct ParsedFile {
  struct stat info {};
  std::string bytes;  // the file as read, kept while its time stamps are too fresh to tell a rewrite
  UINT codePage = 0;
  std::vector<Section> sections;
  std::unordered_map<std::string, size_t> firstSection;  // upper-case name -> index
};

std::unordered_map<std::string, ParsedFile> g_cache;

internal::ResetHook g_reset([] { g_cache.clear(); });
internal::MachineChangeHook g_changed([] { g_cache.clear(); });

bool IsSpace(unsigned char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && IsSpace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// A NUL byte in the file ends the text it stands in, as the strings handed
// out are C strings: "a\0b=c" is the key "a" with the value "c".
std::string CString(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

// Position of the last "]" that is a character of its own (not the second
// byte of a double-byte character), or npos.
size_t LastCloseBracket(std::string_view line, UINT codePage) {
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
  std::string text;
  const std::string& raw = file.bytes;
  if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF && static_cast<unsigned char>(raw[1]) == 0xFE)
    text = Utf16LeToAnsi(std::string_view(raw).substr(2));
  else
    text = raw;

  file.sections.clear();
  file.firstSection.clear();
  // The lines before the first header form a section without a name, which
  // is what an empty section name finds (before any "[]" header).
  file.sections.push_back(Section{});
  file.firstSection.emplace(std::string(), 0);
  std::string_view rest(text);
  while (!rest.empty()) {
    size_t end = 0;
    while (end < rest.size() && rest[end] != '\n' && rest[end] != '\r') ++end;
    std::string_view line = Trim(rest.substr(0, end));
    while (end < rest.size() && (rest[end] == '\n' || rest[end] == '\r')) ++end;
    rest.remove_prefix(end);
    if (line.empty() || line.front() == ';') continue;

    if (line.front() == '[') {
      const size_t close = LastCloseBracket(line, file.codePage);
      if (close != std::string_view::npos) {
        Section section;
        section.name = CString(Trim(line.substr(1, close - 1)));
        const std::string upper = UpperAnsi(section.name);
        file.firstSection.emplace(upper, file.sections.size());
        file.sections.push_back(std::move(section));
        continue;
      }
      // A "[" without a closing "]" is an ordinary line.
    }

    Line entry;
    const size_t equals = line.find('=');  // "=" is never the second byte of a character
    if (equals != std::string_view::npos) {
      entry.key = CString(Trim(line.substr(0, equals)));
      entry.hasValue = true;
      entry.value = CString(Trim(line.substr(equals + 1)));
    } else {
      entry.key = CString(line);
    }
    // Consecutive lines with no name ("=value") are kept only once.
    std::vector<Line>& lines = file.sections.back().lines;
    if (!entry.key.empty() || lines.empty() || !lines.back().key.empty()) lines.push_back(std::move(entry));
  }
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

bool ReadAll(const fs::path& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  out.resize(static_cast<size_t>(size));
  in.seekg(0);
  in.read(out.data(), size);
  return static_cast<bool>(in) || in.gcount() == size;
}

// The parsed file for a profile path, or null when the file cannot be read.
const ParsedFile* Load(LPCSTR path) {
  std::string windowsPath = path ? path : "win.ini";
  // A bare file name is looked for in the Windows directory.
  if (windowsPath.find_first_of("\\/") == std::string::npos &&
      !(windowsPath.size() >= 2 && windowsPath[1] == ':'))
    windowsPath = WindowsDirectory() + "\\" + windowsPath;
  const HostPath mapped = MapWindowsPath(windowsPath);
  if (!mapped.ok()) return nullptr;
  struct stat info;
  if (::stat(mapped.host.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;

  const std::string key = mapped.host.string();
  const UINT codePage = CurrentMachine().CodePage();
  auto it = g_cache.find(key);
  if (it != g_cache.end() && it->second.codePage == codePage && SameFile(it->second.info, info)) {
    // Time stamps only change in steps of a few milliseconds: a file written
    // in the last two seconds is compared byte for byte before it is trusted.
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto written = std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec);
    if (now - written > std::chrono::seconds(2)) return &it->second;
    std::string bytes;
    if (ReadAll(mapped.host, bytes) && bytes == it->second.bytes) return &it->second;
  }
  ParsedFile parsed;
  parsed.info = info;
  parsed.codePage = codePage;
  if (!ReadAll(mapped.host, parsed.bytes)) return nullptr;
  Parse(parsed);
  // The bytes are only needed while the time stamps are too fresh to trust:
  // any later change of an older file changes its time stamps.
  const auto age = std::chrono::system_clock::now().time_since_epoch() -
                   (std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec));
  if (age > std::chrono::seconds(2)) std::string().swap(parsed.bytes);
  return &(g_cache[key] = std::move(parsed));
}

const Section* FindSection(const ParsedFile& file, std::string_view name) {
  auto it = file.firstSection.find(UpperAnsi(name));
  return it == file.firstSection.end() ? nullptr : &file.sections[it->second];
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
  if (auto error = FaultFor("GetPrivateProfileSectionA", ERROR_FILE_NOT_FOUND)) {
    if (buffer && size >= 2) buffer[0] = buffer[1] = '\0';
    SetLastError(*error);
    return 0;
  }
  if (!section || !buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
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
    if (!file) SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  const UINT cp = file->codePage;
  // Lines are copied while more than two bytes are left; a line that does
  // not fit is cut, and the list still ends with two NULs.
  char* out = buffer;
  DWORD left = size;
  for (const Line& line : found->lines) {
    if (left <= 2) break;
    if (line.key.empty() && !line.hasValue) continue;  // a line that held nothing but a NUL
    size_t n = FitLength(line.key, left - 2, cp);
    std::memcpy(out, line.key.data(), n);
    out[n] = '\0';
    out += n + 1;
    left -= static_cast<DWORD>(n + 1);
    if (left < 2) break;
    if (line.hasValue) {
      out[-1] = '=';
      n = FitLength(line.value, left - 2, cp);
      std::memcpy(out, line.value.data(), n);
      out[n] = '\0';
      out += n + 1;
      left -= static_cast<DWORD>(n + 1);
    }
  }
  *out = '\0';
  if (left <= 1) {
    out[-1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size - 2;
  }
  return size - left;
}

DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR buffer, DWORD size,
                                      LPCSTR path) {
  if (auto error = FaultFor("GetPrivateProfileStringA", ERROR_FILE_NOT_FOUND)) {
    if (buffer && size) buffer[0] = '\0';
    SetLastError(*error);
    return 0;
  }
  if (!buffer || size == 0) return 0;
  if (!section || !key) {
    // Listing section or key names is not something the program asks for.
    buffer[0] = '\0';
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const ParsedFile* file = Load(path);
  // A missing key without a default gives an empty text; the view must still
  // point somewhere, since memcpy may not be handed a null source even for no bytes.
  std::string_view value = fallback ? std::string_view(fallback) : std::string_view("");
  if (file) {
    if (const Section* found = FindSection(*file, Trim(section))) {
      const std::string_view wanted = Trim(key);
      for (const Line& line : found->lines) {
        if (internal::SameNoCase(file->codePage, line.key, wanted)) {
          if (line.hasValue) value = line.value;
          break;
        }
      }
    }
  } else {
    SetLastError(ERROR_FILE_NOT_FOUND);
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
