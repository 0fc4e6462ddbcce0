// The model scan: the hardware ids and install sections that an INF file serves.
#include "inf/inf.h"

#include "app/app_state.h"
#include "app/multi_string.h"
#include "platform/win32.h"

#include <cstring>

namespace {

// A text joined from section lines with nothing between them. A line that no
// longer fits marks the whole text as too long instead of being cut: a
// shortened hardware id could match, update or remove a device that the
// package does not name.
struct WorkingLine {
  char text[kWorkingLineCapacity];
  size_t length;
  bool tooLong;
};

void Start(WorkingLine& line) {
  line.text[0] = '\0';
  line.length = 0;
  line.tooLong = false;
}

void Join(WorkingLine& line, const char* piece, size_t length) {
  if (line.tooLong) return;
  if (length >= kWorkingLineCapacity - line.length) {
    line.tooLong = true;
    return;
  }
  std::memcpy(line.text + line.length, piece, length);
  line.length += length;
  line.text[line.length] = '\0';
}

// "=", "," and "%" lie below 0x40, so none of them is ever the second byte of
// a double-byte character: searching byte by byte finds only real ones.
const char* Find(const WorkingLine& line, char c) {
  return static_cast<const char*>(std::memchr(line.text, c, line.length));
}

// Where the next entry of each list goes: just past the last entry's NUL.
struct ListEnds {
  size_t hardwareIds = 0;
  size_t installSections = 0;
};

// Cuts one model entry into its install-section name (between the first "="
// and the first ",", verbatim) and its hardware id (everything after that
// ",", trimmed), and appends both or neither, so that entry n of one list
// always belongs with entry n of the other.
void StoreModelEntry(const WorkingLine& entry, ListEnds& ends) {
  if (entry.tooLong) return;
  const char* equals = Find(entry, '=');
  const char* comma = Find(entry, ',');
  if (!equals || !comma || comma < equals) return;
  // An empty id would end HardwareIdList early and hide every id after it.
  char hardwareId[kWorkingLineCapacity];
  if (TrimBlanks(comma + 1, hardwareId, sizeof hardwareId) != Trimmed::Text) return;
  const size_t nameLength = static_cast<size_t>(comma - equals) - 1;
  const size_t idLength = std::strlen(hardwareId);
  // Each entry is shorter than the section text it comes from, so this never
  // refuses one; it is checked so that the lists can never fall out of step.
  if (ends.installSections + nameLength + 2 > kListCapacity || ends.hardwareIds + idLength + 2 > kListCapacity) return;
  AppendString(AppState.InstallSectionList, kListCapacity, ends.installSections, equals + 1, nameLength);
  AppendString(AppState.HardwareIdList, kListCapacity, ends.hardwareIds, hardwareId, idLength);
}

}  // namespace

void ScanInfModels(const char* infPath) {
  // Every byte, not just the first: readers walk the lists by offset, and a
  // rescan of a shorter file must leave nothing of a longer one behind.
  std::memset(AppState.HardwareIdList, 0, kListCapacity);
  std::memset(AppState.InstallSectionList, 0, kListCapacity);

  char section[kSectionCapacity];
  if (GetPrivateProfileSectionA("Manufacturer", section, kSectionCapacity, infPath) == 0) return;

  // All lines of "Manufacturer" are joined; with more than one entry the name
  // becomes one that no section has, and the lists stay empty.
  WorkingLine line;
  Start(line);
  ForEachString(section, kSectionCapacity, [&](const char* text, size_t length) {
    Join(line, text, length);
    return !line.tooLong;
  });
  if (line.tooLong) return;
  const char* equals = Find(line, '=');
  if (!equals) return;

  // The name is used verbatim: blanks, and a platform decoration after a ","
  // stay part of it.
  const DWORD read = GetPrivateProfileSectionA(equals + 1, section, kSectionCapacity, infPath);
  if (read == 0) return;
  // A section longer than the buffer arrives cut at its end, and the reader
  // then returns the capacity less two (as it also does for a section that
  // fills the buffer exactly; the two cannot be told apart). The last model
  // entry may have lost the end of its text, so it is left out.
  const bool endMayBeCut = read >= kSectionCapacity - 2;

  // A model entry is a line beginning with "%" (or the section's first line,
  // whatever it begins with) and the lines after it up to the next such line.
  ListEnds ends;
  bool entryOpen = false;
  ForEachString(section, kSectionCapacity, [&](const char* text, size_t length) {
    if (entryOpen && text[0] == '%') {
      StoreModelEntry(line, ends);
      entryOpen = false;
    }
    if (!entryOpen) {
      Start(line);
      entryOpen = true;
    }
    Join(line, text, length);
    return true;
  });
  if (entryOpen && !endMayBeCut) StoreModelEntry(line, ends);
}
