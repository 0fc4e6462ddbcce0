// INF files as the setup library reads them: SetupOpenInfFileA,
// SetupCloseInfFile, SetupDiGetActualSectionToInstallA, and the parser that
// the driver search, file queues and staging share.
//
// The reading rules differ from the profile functions: ";" starts a comment
// anywhere outside quotes, "..." quotes (with "" for a quote), a backslash at
// the end of a line continues it, fields are cut at commas, blanks around
// fields and keys go, repeated sections are joined, and %strkey% is replaced
// from [Strings] when a field is read. Text is compared in the ANSI code page,
// double-byte characters whole, as the platform compares the Unicode text.
#include "platform/sim/setupapi/inf_files.h"

#include "platform/sim/base/numbers.h"
#include "platform/sim/base/text.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/paths.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include <sys/stat.h>

namespace sim::internal {
namespace {

constexpr size_t kMaxSectionName = 255;

bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

class Parser {
 public:
  Parser(std::string_view text, UINT codePage, InfContent& out) : text_(text), cp_(codePage), out_(out) {}

  DWORD Run() {
    bool garbage = false;  // a line before any section
    int current = -1;
    while (pos_ < text_.size()) {
      const unsigned char c = static_cast<unsigned char>(text_[pos_]);
      if (c == '\n' || IsBlank(c)) {
        ++pos_;
      } else if (c == ';') {
        SkipToLineEnd();
      } else if (c == '[') {
        const size_t start = pos_ + 1;
        size_t close = std::string_view::npos;
        for (size_t i = start; i < text_.size() && text_[i] != '\n'; i += CharLength(i)) {
          if (text_[i] == ']') {
            close = i;
            break;
          }
        }
        if (close == std::string_view::npos) return ERROR_BAD_SECTION_NAME_LINE;
        const std::string name(text_.substr(start, close - start));
        if (name.size() > kMaxSectionName) return ERROR_SECTION_NAME_TOO_LONG;
        current = static_cast<int>(SectionIndex(name));
        pos_ = close + 1;
        SkipToLineEnd();  // anything after "]" is ignored
      } else {
        InfLine parsed = ParseLine();
        if (current < 0)
          garbage = true;
        else
          out_.sections[static_cast<size_t>(current)].lines.push_back(std::move(parsed));
      }
    }
    // Lines before the first section are tolerated only in a file that has
    // string sections, as the platform does.
    return garbage && !out_.Section("Strings") ? ERROR_EXPECTED_SECTION_NAME : ERROR_SUCCESS;
  }

 private:
  // A character that the line's reading above treats as more than text.
  static bool Delimits(unsigned char c) {
    return c == '\n' || c == '"' || c == ';' || c == '=' || c == ',' || c == '\\' || IsBlank(c);
  }

  size_t CharLength(size_t i) const {
    return LeadByte(cp_, static_cast<unsigned char>(text_[i])) && i + 1 < text_.size() && text_[i + 1] != '\n' ? 2 : 1;
  }

  void SkipToLineEnd() {
    while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
  }

  size_t SectionIndex(const std::string& name) {
    const std::string upper = UpperAnsi(name);
    auto it = out_.byName.find(upper);
    if (it != out_.byName.end()) return it->second;  // repeated sections are joined
    out_.sections.push_back(InfSection{name, {}});
    out_.byName.emplace(upper, out_.sections.size() - 1);
    return out_.sections.size() - 1;
  }

  void SkipLeadingBlanks() {
    while (pos_ < text_.size() && IsBlank(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }

  // One logical line from pos_ (its first character is not blank, ";" or
  // "["), continuation lines included; pos_ is left at its final line end.
  InfLine ParseLine() {
    InfLine line;
    line.fields.reserve(4);  // most lines have fewer fields: one allocation, not three
    std::string field;
    std::string pending;  // blanks after the field's text: kept only if more text follows
    bool inKey = true;    // no "=" or "," seen yet
    auto finish = [&] {
      line.fields.push_back(field);
      field.clear();
      pending.clear();
    };
    for (;;) {
      if (pos_ >= text_.size() || text_[pos_] == '\n') {
        finish();
        break;
      }
      const char c = text_[pos_];
      if (c == '"') {
        field += pending;
        pending.clear();
        ++pos_;
        while (pos_ < text_.size() && text_[pos_] != '\n') {
          if (text_[pos_] == '"') {
            if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
              field += '"';
              pos_ += 2;
              continue;
            }
            ++pos_;
            break;
          }
          const size_t n = CharLength(pos_);
          field.append(text_.substr(pos_, n));
          pos_ += n;
        }
      } else if (c == ';') {
        finish();
        SkipToLineEnd();
        break;
      } else if (c == '=' && inKey) {
        line.hasKey = true;
        line.key = field;
        field.clear();
        pending.clear();
        inKey = false;
        ++pos_;
        SkipLeadingBlanks();
      } else if (c == ',') {
        finish();
        inKey = false;
        ++pos_;
        SkipLeadingBlanks();
      } else if (c == '\\') {
        // A run of backslashes and blanks (and a comment) up to the line end
        // continues the line; followed by other text it is text itself.
        size_t q = pos_;
        bool continues = false;
        while (q < text_.size()) {
          const unsigned char t = static_cast<unsigned char>(text_[q]);
          if (t == '\n') {
            continues = true;
            break;
          }
          if (t == '\\' || IsBlank(t)) {
            ++q;
            continue;
          }
          if (t == ';') {
            while (q < text_.size() && text_[q] != '\n') ++q;
            continues = q < text_.size();
            break;
          }
          break;
        }
        if (q >= text_.size()) {  // at the end of the file the run is dropped
          pos_ = q;
          pending.clear();
          continue;
        }
        if (continues) {
          pos_ = q + 1;
          pending.clear();
          SkipLeadingBlanks();
          continue;
        }
        field += pending;
        pending.clear();
        field.append(text_.substr(pos_, q - pos_));
        pos_ = q;
      } else if (IsBlank(static_cast<unsigned char>(c))) {
        pending += c;
        ++pos_;
      } else {
        // A run of ordinary characters is taken at once, character by
        // character as above (a double-byte character whole, whatever its
        // second byte); the character that ends it is handled as above.
        field += pending;
        pending.clear();
        size_t end = pos_;
        do {
          end += CharLength(end);
        } while (end < text_.size() && !Delimits(static_cast<unsigned char>(text_[end])));
        field.append(text_.substr(pos_, end - pos_));
        pos_ = end;
      }
    }
    if (!line.hasKey && line.fields.size() == 1) {
      line.hasKey = true;
      line.key = line.fields[0];
    }
    return line;
  }

  std::string_view text_;
  UINT cp_;
  InfContent& out_;
  size_t pos_ = 0;
};

bool SignatureIsWin4(const InfData& inf) {
  const InfLine* line = inf.FindLine("Version", "Signature");
  if (!line || line->fields.empty()) return false;
  const std::string& value = line->fields[0];
  return EqualsNoCase(value, "$Chicago$") || EqualsNoCase(value, "$Windows NT$") ||
         EqualsNoCase(value, "$Windows 95$");
}

// ---- directory ids ----

std::string DriveRoot(const std::string& windowsDirectory) {
  return windowsDirectory.size() >= 2 && windowsDirectory[1] == ':' ? windowsDirectory.substr(0, 2) + "\\" : "C:\\";
}

std::string ProgramFiles(const Machine& m) { return DriveRoot(m.windows_directory) + "Program Files"; }

// The INF handles of the process and the file each one holds.
std::unordered_map<const void*, std::shared_ptr<const InfData>> g_handles;
ResetHook g_reset([] { g_handles.clear(); });

// Parses kept while their file is unchanged, by the simulation's one
// freshness rule, so that what is kept is never seen (Windows keeps a
// precompiled form of its INF directory's files for later processes). The program opens its INF once for every hardware
// id it tries to update, and a vendor INF lists hundreds: without them the
// whole-program fuzzer spent two fifths of its time parsing the same file
// again. A new process keeps them too: the uninstall, and every driver search,
// reads the INF files the install left.
struct KeptInf {
  FileSnapshot snapshot;
  UINT codePage = 0;
  LANGID language = 0;
  InfLoad load;
  std::string bytes;  // as read, so that a copy of the file is known
};
// By Linux path and device: the machines held in memory share their paths,
// and the fuzzers switch between two of them, each keeping its own parses.
std::unordered_map<std::string, KeptInf> g_kept;

}  // namespace

// ---- InfData ----

const InfSection* InfContent::Section(std::string_view name) const {
  auto it = byName.find(UpperAnsi(name));
  return it == byName.end() ? nullptr : &sections[it->second];
}

std::string InfData::Expand(std::string_view raw) const {
  std::string out;
  size_t i = 0;
  auto nextPercent = [&](size_t from) {
    for (size_t k = from; k < raw.size(); ++k) {
      if (LeadByte(content->codePage, static_cast<unsigned char>(raw[k])) && k + 1 < raw.size()) {
        ++k;
        continue;
      }
      if (raw[k] == '%') return k;
    }
    return std::string_view::npos;
  };
  while (i < raw.size()) {
    const size_t open = nextPercent(i);
    if (open == std::string_view::npos) {
      out.append(raw.substr(i));
      break;
    }
    out.append(raw.substr(i, open - i));
    const size_t close = nextPercent(open + 1);
    if (close == std::string_view::npos) {  // an unfinished token is text
      out.append(raw.substr(open));
      break;
    }
    const std::string_view token = raw.substr(open + 1, close - open - 1);
    bool replaced = false;
    if (token.empty()) {
      out += '%';
      replaced = true;
    }
    for (size_t s = 0; !replaced && s < content->stringSections.size(); ++s) {
      for (const InfLine& line : content->sections[content->stringSections[s]].lines) {
        if (line.hasKey && !line.fields.empty() && SameNoCase(content->codePage, line.key, token)) {
          out += line.fields[0];
          replaced = true;
          break;
        }
      }
    }
    // A directory id is written in decimal digits only.
    const bool digits = !token.empty() && token.find_first_not_of("0123456789") == std::string_view::npos;
    if (!replaced && digits) {
      const auto id = ParseNumber(token, 0, INT32_MAX);
      if (auto dir = id ? DirectoryOfId(*this, *id) : std::nullopt) {
        std::string text = *dir;
        // "%24%\file" must not give a doubled backslash after a drive root.
        if (close + 1 < raw.size() && raw[close + 1] == '\\' && !text.empty() && text.back() == '\\') text.pop_back();
        out += text;
        replaced = true;
      }
    }
    if (!replaced) out.append(raw.substr(open, close - open + 1));
    i = close + 1;
  }
  return out;
}

std::optional<std::string> InfData::Field(const InfLine& line, size_t index) const {
  if (index == 0) return line.hasKey ? std::optional<std::string>(Expand(line.key)) : std::nullopt;
  if (index > line.fields.size()) return std::nullopt;
  return Expand(line.fields[index - 1]);
}

const InfLine* InfData::FindLine(std::string_view section, std::string_view key) const {
  const InfSection* s = Section(section);
  if (!s) return nullptr;
  for (const InfLine& line : s->lines)
    if (line.hasKey && SameNoCase(content->codePage, Expand(line.key), key)) return &line;
  return nullptr;
}

std::string InfData::Value(std::string_view section, std::string_view key) const {
  const InfLine* line = FindLine(section, key);
  if (!line || line->fields.empty()) return std::string();
  return Expand(line->fields[0]);
}

// ---- parsing and loading ----

namespace {

// The file at `windowsPath` holding `content`.
std::shared_ptr<const InfData> FileOf(std::shared_ptr<const InfContent> content, const std::string& windowsPath) {
  auto inf = std::make_shared<InfData>();
  inf->path = windowsPath;
  const size_t slash = windowsPath.find_last_of('\\');
  inf->directory = slash == std::string::npos ? std::string() : windowsPath.substr(0, slash);
  if (inf->directory.size() == 2 && inf->directory[1] == ':') inf->directory += '\\';
  inf->content = std::move(content);
  inf->win4 = SignatureIsWin4(*inf);
  return inf;
}

}  // namespace

InfLoad ParseInf(std::string_view bytes, const std::string& windowsPath, UINT codePage, LANGID language) {
  auto content = std::make_shared<InfContent>();
  content->codePage = codePage;

  std::string text;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
    text = Utf16LeToAnsi(bytes.substr(2));
  else
    text = std::string(bytes);
  // Control-Z ends the file; a NUL reads as a blank.
  if (const size_t eof = text.find('\x1A'); eof != std::string::npos) text.resize(eof);
  for (char& c : text)
    if (c == '\0') c = ' ';

  InfLoad result;
  result.error = Parser(text, codePage, *content).Run();
  if (result.error != ERROR_SUCCESS) return result;

  char localized[32];
  std::snprintf(localized, sizeof localized, "Strings.%04x", static_cast<unsigned>(language));
  char primary[32];
  std::snprintf(primary, sizeof primary, "Strings.%04x", static_cast<unsigned>(language & 0x3FF));
  for (const char* name : {static_cast<const char*>(localized), static_cast<const char*>(primary), "Strings"}) {
    auto it = content->byName.find(UpperAnsi(name));
    if (it == content->byName.end()) continue;
    bool seen = false;
    for (size_t index : content->stringSections) seen = seen || index == it->second;
    if (!seen) content->stringSections.push_back(it->second);
  }
  result.inf = FileOf(std::move(content), windowsPath);
  return result;
}

InfLoad LoadInf(const std::string& windowsPath) {
  const HostPath mapped = MapWindowsPath(windowsPath);
  auto failed = [](DWORD error) { return InfLoad{nullptr, error}; };
  if (!mapped.ok()) return failed(mapped.error == ERROR_FILENAME_EXCED_RANGE ? ERROR_FILE_NOT_FOUND : mapped.error);
  struct stat info;
  if (!StatPath(mapped.host, info))
    return failed(IsDirectoryPath(mapped.host.parent_path()) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
  if (!S_ISREG(info.st_mode)) return failed(ERROR_ACCESS_DENIED);
  const Machine& m = CurrentMachine();
  const std::string key = mapped.host.string() + '\n' + std::to_string(info.st_dev);
  if (auto it = g_kept.find(key); it != g_kept.end()) {
    const KeptInf& kept = it->second;
    if (kept.codePage == m.CodePage() && kept.language == m.language && kept.load.inf->path == mapped.windows &&
        Unchanged(mapped.host, kept.snapshot))
      return kept.load.inf->win4 ? kept.load : failed(ERROR_WRONG_INF_STYLE);
    g_kept.erase(it);
  }
  KeptInf kept{{}, m.CodePage(), m.language, {}, {}};
  if (!ReadSnapshot(mapped.host, kept.bytes, kept.snapshot)) return failed(ERROR_ACCESS_DENIED);
  // A copy of a file read before (a staged INF) shares its parse.
  for (const auto& [otherKey, other] : g_kept) {
    if (other.codePage == kept.codePage && other.language == kept.language && other.bytes == kept.bytes) {
      kept.load.inf = FileOf(other.load.inf->content, mapped.windows);
      break;
    }
  }
  if (!kept.load.inf) kept.load = ParseInf(kept.bytes, mapped.windows, m.CodePage(), m.language);
  if (!kept.load.inf) return kept.load;  // a broken file is read again next time
  const InfLoad load = kept.load;
  g_kept.emplace(key, std::move(kept));
  return load.inf->win4 ? load : failed(ERROR_WRONG_INF_STYLE);
}

// ---- paths and directory ids ----

std::string JoinWindowsPath(std::string_view a, std::string_view b) {
  while (!b.empty() && b.front() == '\\') b.remove_prefix(1);
  if (a.empty()) return std::string(b);
  if (b.empty()) return std::string(a);
  std::string out(a);
  if (out.back() != '\\') out += '\\';
  out.append(b);
  return out;
}

bool IsFullWindowsPath(std::string_view path) {
  if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) return true;
  return path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
}

std::optional<std::string> DirectoryOfId(const InfData& inf, long long id) {
  const Machine& m = CurrentMachine();
  const std::string& windows = m.windows_directory;
  const std::string& system = m.system_directory;
  switch (id) {
    case 1: return inf.directory;
    case 10: return windows;
    case 11: return system;
    case 12: return system + "\\drivers";
    case 17: return windows + "\\INF";
    case 18: return windows + "\\Help";
    case 20: return windows + "\\Fonts";
    case 24:
    case 30: return DriveRoot(windows);
    case 50: return windows + "\\system";
    case 51: return system + "\\spool";
    case 52: return system + "\\spool\\drivers";
    case 16420: return windows;  // the shell folders, as CSIDL + 16384
    case 16421: return system;
    case 16422: return ProgramFiles(m);
    case 16425: return m.architecture == "amd64" ? windows + "\\SysWOW64" : system;
    case 16426: return m.architecture == "amd64" ? ProgramFiles(m) + " (x86)" : ProgramFiles(m);
    case 16427: return ProgramFiles(m) + "\\Common Files";
    default: return std::nullopt;
  }
}

std::string ActualInstallSection(const InfData& inf, std::string_view name) {
  if (CurrentMachine().IsNtFamily()) {
    const std::string arch = CurrentMachine().architecture == "amd64" ? ".NTamd64" : ".NTx86";
    for (const std::string& decoration : {arch, std::string(".NT")}) {
      const std::string decorated = std::string(name) + decoration;
      if (inf.Section(decorated)) return decorated;
    }
  }
  return std::string(name);
}

std::shared_ptr<const InfData> OpenInfOf(HINF inf) {
  auto it = g_handles.find(inf);
  if (it == g_handles.end() || !LedgerIsOpen(HandleKind::InfFile, inf)) return nullptr;
  return it->second;
}

}  // namespace sim::internal

using namespace sim;
using namespace sim::internal;

HINF WINAPI SetupOpenInfFileA(PCSTR path, PCSTR infClass, DWORD style, PUINT errorLine) {
  constexpr const char* kCall = "SetupOpenInfFileA";
  if (auto error = FaultFor(kCall, ERROR_FILE_NOT_FOUND)) return Fail(*error, INVALID_HANDLE_VALUE);
  // The program opens its own INF by its full path as a Windows 4 INF, and
  // asks neither for a class to match nor for the line of an error.
  if (!path || !IsFullWindowsPath(path))
    return Unmodelled(kCall, "an INF not named by its full path", ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  if (style != INF_STYLE_WIN4)
    return Unmodelled(kCall, "a style other than INF_STYLE_WIN4", ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  if (infClass || errorLine)
    return Unmodelled(kCall, "a class to match or the line of an error", ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  const InfLoad load = LoadInf(path);
  if (!load.inf) return Fail(load.error, INVALID_HANDLE_VALUE);
  void* handle = NewHandleValue(HandleKind::InfFile);
  g_handles[handle] = load.inf;
  LedgerOpen(HandleKind::InfFile, handle);
  SetLastError(ERROR_SUCCESS);
  return handle;
}

void WINAPI SetupCloseInfFile(HINF inf) {
  // A void call cannot fail; a planned fault only leaves its error code.
  const DWORD before = GetLastError();
  const auto error = FaultFor("SetupCloseInfFile", ERROR_INVALID_HANDLE);
  if (LedgerClose(HandleKind::InfFile, inf, "SetupCloseInfFile")) g_handles.erase(inf);
  SetLastError(error ? *error : before);
}

BOOL WINAPI SetupDiGetActualSectionToInstallA(HINF inf, PCSTR section, PSTR actual, DWORD size, PDWORD required,
                                              PSTR* extension) {
  constexpr const char* kCall = "SetupDiGetActualSectionToInstallA";
  if (auto error = FaultFor(kCall, ERROR_GEN_FAILURE)) return Fail(*error, FALSE);
  const auto data = OpenInfOf(inf);
  if (!data) return Fail(ERROR_INVALID_HANDLE, FALSE);
  // The program passes a name and a buffer for the result (the same one), and
  // asks neither for the size needed nor for where the decoration starts.
  if (!section || !actual || required || extension)
    return Unmodelled(kCall, "a call without a name and a buffer, or with a size or extension pointer",
                      ERROR_INVALID_PARAMETER, FALSE);
  const std::string name = ActualInstallSection(*data, section);
  if (size <= name.size()) return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
  std::memcpy(actual, name.c_str(), name.size() + 1);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
