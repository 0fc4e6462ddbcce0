#include "install/hardware_id_match.h"

#include "inf/inf.h"
#include "platform/win32.h"

#include <cstring>

bool PrepareGivenId(const char* given, char (&prepared)[kHardwareIdCapacity]) {
  prepared[0] = '\0';
  if (std::strlen(given) >= kHardwareIdCapacity) return false;
  char copy[kHardwareIdCapacity];
  std::memcpy(copy, given, std::strlen(given) + 1);
  if (TrimBlanks(copy, prepared, sizeof prepared) != Trimmed::Text) return false;
  CharUpperA(prepared);
  return true;
}

bool SameHardwareId(char* deviceId, const char* prepared) {
  CharUpperA(deviceId);
  return std::strcmp(deviceId, prepared) == 0;
}
