// The program's resources as the Windows build has them: res/setup.rc is
// compiled to a .res file at build time and embedded; this reads its entries
// and the classic dialog templates in them, so that the simulated dialogs are
// made from the very bytes the Windows resource compiler produced.
#include "platform/sim/user32/resources.h"

#include <cstdint>
#include <map>

// The compiled resources of the program (res/setup.rc), embedded at build time.
namespace sim::internal {
extern const unsigned char kProgramResourceBytes[];
extern const size_t kProgramResourceSize;
}  // namespace sim::internal

namespace sim {
namespace {

constexpr WORD kDialogResourceType = 5;  // RT_DIALOG

// Reads little-endian values and UTF-16 strings; any read past the end marks
// the whole reading as failed.
class Reader {
 public:
  Reader(std::string_view bytes, size_t at = 0) : bytes_(bytes), at_(at) {}

  bool ok() const { return ok_; }
  size_t at() const { return at_; }
  void Seek(size_t at) {
    if (at > bytes_.size()) ok_ = false;
    else at_ = at;
  }
  void AlignTo4(size_t base) { Seek(base + ((at_ - base + 3) & ~static_cast<size_t>(3))); }

  WORD Word() {
    if (!ok_ || at_ + 2 > bytes_.size()) {
      ok_ = false;
      return 0;
    }
    const WORD v = static_cast<WORD>(Byte(at_) | (Byte(at_ + 1) << 8));
    at_ += 2;
    return v;
  }
  DWORD Dword() {
    const DWORD lo = Word();
    const DWORD hi = Word();
    return lo | (hi << 16);
  }
  std::u16string String() {
    std::u16string s;
    for (;;) {
      const WORD c = Word();
      if (!ok_ || c == 0) return s;
      s += static_cast<char16_t>(c);
    }
  }
  // An ordinal (0xFFFF then the number) or a string.
  void OrdinalOrString(std::optional<WORD>& ordinal, std::u16string& name) {
    if (Peek() == 0xFFFF) {
      Word();
      ordinal = Word();
    } else {
      name = String();
    }
  }
  std::string Bytes(size_t n) {
    if (!ok_ || at_ + n > bytes_.size()) {
      ok_ = false;
      return {};
    }
    std::string out(bytes_.substr(at_, n));
    at_ += n;
    return out;
  }

 private:
  unsigned Byte(size_t i) const { return static_cast<unsigned char>(bytes_[i]); }
  WORD Peek() const {
    if (at_ + 2 > bytes_.size()) return 0;
    return static_cast<WORD>(Byte(at_) | (Byte(at_ + 1) << 8));
  }

  std::string_view bytes_;
  size_t at_;
  bool ok_ = true;
};

}  // namespace

std::optional<std::vector<ResourceEntry>> ParseResourceFile(std::string_view bytes) {
  std::vector<ResourceEntry> entries;
  size_t at = 0;
  while (at < bytes.size()) {
    Reader r(bytes, at);
    const DWORD dataSize = r.Dword();
    const DWORD headerSize = r.Dword();
    ResourceEntry e;
    r.OrdinalOrString(e.typeId, e.typeName);
    r.OrdinalOrString(e.nameId, e.name);
    r.AlignTo4(at);
    r.Dword();  // DataVersion
    r.Word();   // MemoryFlags
    e.language = r.Word();
    r.Dword();  // Version
    r.Dword();  // Characteristics
    if (!r.ok() || headerSize < 32 || r.at() > at + headerSize) return std::nullopt;
    r.Seek(at + headerSize);
    e.data = r.Bytes(dataSize);
    if (!r.ok()) return std::nullopt;
    // The next entry starts on a DWORD boundary.
    at = std::min(bytes.size(), (r.at() + 3) & ~static_cast<size_t>(3));
    // The file begins with an empty entry that only marks the format.
    if (e.typeId == 0 && e.nameId == 0 && dataSize == 0) continue;
    entries.push_back(std::move(e));
  }
  return entries;
}

const std::vector<ResourceEntry>& ProgramResources() {
  static const std::vector<ResourceEntry> resources = [] {
    const std::string_view bytes(reinterpret_cast<const char*>(internal::kProgramResourceBytes),
                                 internal::kProgramResourceSize);
    // The bytes come from our own build; if they cannot be read the program has no resources.
    return ParseResourceFile(bytes).value_or(std::vector<ResourceEntry>{});
  }();
  return resources;
}

std::optional<DialogTemplate> ParseDialogTemplate(std::string_view bytes) {
  Reader r(bytes);
  DialogTemplate t;
  t.style = r.Dword();
  if (t.style == 0xFFFF0001u) return std::nullopt;  // DLGTEMPLATEEX
  t.exStyle = r.Dword();
  const WORD count = r.Word();
  t.x = static_cast<short>(r.Word());
  t.y = static_cast<short>(r.Word());
  t.cx = static_cast<short>(r.Word());
  t.cy = static_cast<short>(r.Word());
  // The menu and the class are each none (an empty name), an ordinal or a name.
  r.OrdinalOrString(t.menuId, t.menuName);
  r.OrdinalOrString(t.classId, t.className);
  t.caption = r.String();
  if (t.style & DS_SETFONT) {
    t.pointSize = r.Word();
    t.faceName = r.String();
  }
  for (WORD i = 0; i < count && r.ok(); ++i) {
    r.AlignTo4(0);
    DialogItemTemplate item;
    item.style = r.Dword();
    item.exStyle = r.Dword();
    item.x = static_cast<short>(r.Word());
    item.y = static_cast<short>(r.Word());
    item.cx = static_cast<short>(r.Word());
    item.cy = static_cast<short>(r.Word());
    item.id = r.Word();
    std::optional<WORD> classOrdinal;
    r.OrdinalOrString(classOrdinal, item.className);
    item.classOrdinal = classOrdinal.value_or(0);
    r.OrdinalOrString(item.textOrdinal, item.text);
    const WORD extra = r.Word();
    item.creationData = r.Bytes(extra);
    t.items.push_back(std::move(item));
  }
  if (!r.ok()) return std::nullopt;
  return t;
}

const DialogTemplate* FindDialogTemplate(int id) {
  static const std::map<int, DialogTemplate> templates = [] {
    std::map<int, DialogTemplate> out;
    for (const ResourceEntry& e : ProgramResources()) {
      if (e.typeId != kDialogResourceType || !e.nameId) continue;
      if (auto t = ParseDialogTemplate(e.data)) out.emplace(*e.nameId, std::move(*t));
    }
    return out;
  }();
  auto it = templates.find(id);
  return it == templates.end() ? nullptr : &it->second;
}

HINSTANCE ProgramInstance() {
  // Where Windows loads an executable; the value only has to be the program's own.
  return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));
}

}  // namespace sim
