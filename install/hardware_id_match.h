// The whole-id, case-insensitive comparison of the reinstall marking.
#pragma once

#include <cstddef>

constexpr size_t kHardwareIdCapacity = 100;  // a given hardware id and its NUL

// The given id trimmed of blanks and tabs and in capitals, ready to compare.
// False when there is nothing to compare: no text, or an id of 100 characters
// or more, which is refused rather than cut into an id it does not name.
bool PrepareGivenId(const char* given, char (&prepared)[kHardwareIdCapacity]);
// True when the device's id (changed to capitals in place) equals the prepared id.
bool SameHardwareId(char* deviceId, const char* prepared);
