// Deleting the driver files that the INF copies into the Windows directory
// (directory id 10) or the system directory (11).
#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/multi_string.h"
#include "inf/inf.h"
#include "uninstall/uninstall.h"

#include <cstring>

namespace {

constexpr size_t kInstallSectionCapacity = 200;
constexpr size_t kSectionLinesCapacity = 200;
constexpr size_t kCopyListCapacity = 100;
constexpr size_t kFileNameCapacity = 100;
constexpr size_t kDestinationCapacity = 50;

// A name from the INF must stay inside the directory it is put under: no ".."
// (or any element of dots only), no drive letter or stream (":"), no leading
// backslash, no forward slash. An empty name names the directory itself.
bool StaysInside(const char* name) {
  if (!*name || name[0] == '\\' || std::strpbrk(name, "/:")) return false;
  const char* element = name;
  for (;;) {
    const char* end = std::strchr(element, '\\');
    const size_t length = end ? static_cast<size_t>(end - element) : std::strlen(element);
    size_t dots = 0, blanks = 0;
    for (size_t i = 0; i < length; ++i) {
      if (element[i] == '.') ++dots;
      else if (element[i] == ' ') ++blanks;
    }
    // Windows drops trailing dots and blanks, so "..." and ". ." are ".." as well.
    if (length > 1 && dots + blanks == length && dots >= 2) return false;
    if (!end) return true;
    element = end + 1;
  }
}

// The directory a copy section's files went to, from its entry in
// "DestinationDirs": only the ids 10 and 11 are understood, followed by an
// optional subdirectory. False when the files are to stay.
bool TargetDirectory(const char* copySection, char (&target)[MAX_PATH]) {
  target[0] = '\0';
  char entry[kDestinationCapacity] = "";
  // An entry that fills the buffer may have been cut, and a cut subdirectory
  // names another directory: such an entry deletes nothing.
  if (GetPrivateProfileStringA("DestinationDirs", copySection, nullptr, entry, sizeof entry, AppState.InfPath) >=
      sizeof entry - 1)
    return false;
  char trimmed[kDestinationCapacity];
  if (TrimBlanks(entry, trimmed, sizeof trimmed) != Trimmed::Text) return false;
  // Only the first two characters count: "10,System32\Drivers" and "100" both give 10.
  const char id[3] = {trimmed[0], trimmed[1], '\0'};
  UINT n = 0;
  if (std::strcmp(id, "10") == 0) {
    n = GetWindowsDirectoryA(target, sizeof target);
  } else if (std::strcmp(id, "11") == 0) {
    n = GetSystemDirectoryA(target, sizeof target);
  } else {
    return false;
  }
  if (n == 0 || n >= sizeof target) {
    target[0] = '\0';
    return false;
  }
  char base[MAX_PATH];
  std::memcpy(base, target, n + 1);
  if (!JoinText(target, {base, "\\"})) return false;
  // A subdirectory after the entry's first ",", trimmed; a blank one adds nothing.
  const char* comma = std::strchr(entry, ',');
  char subdirectory[kDestinationCapacity];
  if (comma && TrimBlanks(comma + 1, subdirectory, sizeof subdirectory) == Trimmed::Text) {
    if (!StaysInside(subdirectory)) return false;
    std::memcpy(base, target, std::strlen(target) + 1);
    if (!JoinText(target, {base, subdirectory, "\\"})) return false;
  }
  return true;
}

// Reads a section's lines. A read that returns 0 leaves the buffer empty: the
// platform promises nothing about it then, and what it still holds would be
// the previous section's lines, whose files would be deleted again under this
// section's destination. A section longer than the buffer arrives with its
// last line cut, and the reader then returns the capacity less two, as it also
// does for a section that fills the buffer exactly. The two cannot be told
// apart, so the last line is dropped then: a cut file name names another file,
// and a cut CopyFiles value another section.
void ReadSectionLines(const char* section, char (&lines)[kSectionLinesCapacity]) {
  const DWORD read = GetPrivateProfileSectionA(section, lines, sizeof lines, AppState.InfPath);
  if (read == 0) {
    lines[0] = lines[1] = '\0';
    return;
  }
  if (read < sizeof lines - 2) return;
  size_t last = 0;
  ForEachString(lines, sizeof lines, [&](const char* line, size_t) {
    last = static_cast<size_t>(line - lines);
    return true;
  });
  lines[last] = '\0';
}

// Deletes the files of one copy section, line by line up to a line that begins with ";".
void DeleteCopySection(const char* copySection, char (&lines)[kSectionLinesCapacity]) {
  ReadSectionLines(copySection, lines);
  ForEachString(lines, sizeof lines, [&](const char* line, size_t length) {
    if (line[0] == ';') return false;
    // The file name is the text before the line's first ",", untrimmed.
    const char* comma = static_cast<const char*>(std::memchr(line, ',', length));
    const size_t nameLength = comma ? static_cast<size_t>(comma - line) : length;
    if (nameLength >= kFileNameCapacity) return true;  // refused, never cut into another name
    char fileName[kFileNameCapacity];
    std::memcpy(fileName, line, nameLength);
    fileName[nameLength] = '\0';
    // The destination is read again for each line; it is the same each time.
    char target[MAX_PATH];
    if (!TargetDirectory(copySection, target) || !StaysInside(fileName)) return true;
    char path[MAX_PATH];
    if (JoinText(path, {target, fileName})) DeleteFileA(path);
    return true;
  });
}

// The value of an install section's CopyFiles line, or false when it has none:
// the first line holding "CopyFiles" (this letter case) whose first "=" after
// that text is followed by something.
bool FindCopyFilesLine(const char (&lines)[kSectionLinesCapacity], const char*& line) {
  line = nullptr;
  ForEachString(lines, sizeof lines, [&](const char* text, size_t) {
    const char* at = std::strstr(text, "CopyFiles");
    const char* equals = at ? std::strchr(at, '=') : nullptr;
    if (equals && equals[1]) {
      line = text;
      return false;
    }
    return true;
  });
  return line != nullptr;
}

}  // namespace

void DeleteCopiedFiles() {
  // The same INF: the lists come back as they were, so that the device walk
  // that called this goes on over the same entries.
  ScanInfModels(AppState.InfPath);
  HINF inf = SetupOpenInfFileA(AppState.InfPath, nullptr, INF_STYLE_WIN4, nullptr);

  ForEachString(AppState.InstallSectionList, kListCapacity, [&](const char* name, size_t length) {
    char installSection[kInstallSectionCapacity];
    if (length >= sizeof installSection) return true;
    std::memcpy(installSection, name, length + 1);
    if (inf != INVALID_HANDLE_VALUE)
      SetupDiGetActualSectionToInstallA(inf, installSection, installSection, sizeof installSection, nullptr, nullptr);

    char lines[kSectionLinesCapacity] = "";  // the install section's lines, later each copy section's
    ReadSectionLines(installSection, lines);
    const char* copyFiles = nullptr;
    // Without a CopyFiles line the deletion ends: the install sections after
    // this one are not looked at.
    if (!FindCopyFilesLine(lines, copyFiles)) return false;
    char copyList[kCopyListCapacity];
    if (!JoinText(copyList, {std::strchr(copyFiles, '=') + 1})) return true;  // too long: refused
    // Copy-section names are cut at commas and used untrimmed.
    char* rest = copyList;
    while (*rest) {
      char copySection[kCopyListCapacity];
      char* comma = std::strchr(rest, ',');
      const size_t n = comma ? static_cast<size_t>(comma - rest) : std::strlen(rest);
      std::memcpy(copySection, rest, n);
      copySection[n] = '\0';
      rest = comma ? comma + 1 : rest + n;
      DeleteCopySection(copySection, lines);
    }
    return true;
  });
  if (inf != INVALID_HANDLE_VALUE) SetupCloseInfFile(inf);
}
