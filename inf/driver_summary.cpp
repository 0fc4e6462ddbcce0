// The driver summary: manufacturer, first device and driver version of an INF file.
#include "inf/inf.h"

#include "app/messages.h"
#include "platform/win32.h"

#include <cstring>

namespace {

constexpr char kDeviceMark[] = "\r\n    |__ ";
constexpr char kVersionMark[] = "\r\n        |__ ";

// The summary is display text built from values of any length, so unlike the
// names it is looked up with it may be shown cut: it stops at 99 characters,
// and never inside a double-byte character.
void AppendShown(char (&summary)[kDriverSummaryCapacity], size_t& used, const char* piece) {
  const size_t room = kDriverSummaryCapacity - 1 - used;
  size_t length = 0;
  while (piece[length]) {
    const size_t step = IsDBCSLeadByte(static_cast<BYTE>(piece[length])) && piece[length + 1] ? 2 : 1;
    if (length + step > room) break;
    length += step;
  }
  std::memcpy(summary + used, piece, length);
  used += length;
  summary[used] = '\0';
}

// A key the file lacks gives an empty value, and so an empty piece.
void AppendValue(char (&summary)[kDriverSummaryCapacity], size_t& used, char (&value)[kSectionCapacity],
                 const char* section, const char* key, const char* infPath) {
  value[0] = '\0';
  GetPrivateProfileStringA(section, key, nullptr, value, kSectionCapacity, infPath);
  AppendShown(summary, used, value);
}

}  // namespace

bool BuildDriverSummary(const char* infPath, char (&result)[kDriverSummaryCapacity]) {
  result[0] = '\0';
  char buffer[kSectionCapacity];
  if (GetPrivateProfileSectionA("Manufacturer", buffer, kSectionCapacity, infPath) == 0) {
    // Never owned by the main dialog, so that a silent run shows it as well.
    ShowMessage(MsgNoInstallInfo, nullptr);
    return false;
  }

  // Only the first line counts. One longer than the working text is refused
  // rather than cut into a key or a section name that the file does not hold.
  char firstLine[kWorkingLineCapacity];
  const size_t lineLength = std::strlen(buffer);
  if (lineLength >= sizeof firstLine) return false;
  std::memcpy(firstLine, buffer, lineLength + 1);

  // "=" and "%" lie below 0x40 and are never the second byte of a double-byte
  // character, so byte searches find only real ones.
  const char* equals = std::strchr(firstLine, '=');
  if (!equals || equals - firstLine < 3) return false;
  // The key without its first and last character: the "%" signs of a token
  // such as %MfgName%, whatever the two characters are. Not trimmed.
  char manufacturerKey[kWorkingLineCapacity];
  const size_t keyLength = static_cast<size_t>(equals - firstLine) - 2;
  std::memcpy(manufacturerKey, firstLine + 1, keyLength);
  manufacturerKey[keyLength] = '\0';

  // The model-section name, trimmed; later the device key.
  char name[kWorkingLineCapacity];
  if (TrimBlanks(equals + 1, name, sizeof name) != Trimmed::Text) return false;
  if (GetPrivateProfileSectionA(name, buffer, kSectionCapacity, infPath) == 0) return false;

  // The device key lies between the first two "%" of the model section's first line.
  char* open = std::strchr(buffer, '%');
  if (!open) return false;
  char* close = std::strchr(open + 1, '%');
  if (!close || close == open + 1) return false;
  *close = '\0';  // the buffer is emptied before its next use anyway
  if (TrimBlanks(open + 1, name, sizeof name) != Trimmed::Text) return false;

  size_t used = 0;
  AppendValue(result, used, buffer, "Strings", manufacturerKey, infPath);
  AppendShown(result, used, kDeviceMark);
  AppendValue(result, used, buffer, "Strings", name, infPath);
  AppendShown(result, used, kVersionMark);
  AppendValue(result, used, buffer, "Version", "DriverVer", infPath);
  return true;
}
