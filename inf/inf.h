// What the program learns from the INF file.
#pragma once

#include <cstddef>

// Capacities of the INF readers' fixed buffers, each counting the terminating NUL.
constexpr size_t kSectionCapacity = 10000;      // one whole section, or one looked-up value
constexpr size_t kWorkingLineCapacity = 100;    // a line or a text cut out of one
constexpr size_t kDriverSummaryCapacity = 100;  // the summary shown in the main dialog

enum class Trimmed {
  Text,     // the result holds a text without blanks or tabs at either end
  NoText,   // the input held nothing but blanks and tabs, or nothing at all
  TooLong,  // the trimmed text does not fit the result; the result is left empty
};

// Removes spaces and tabs at both ends of `text` into `result` (a buffer of
// `capacity` bytes, NUL included). The input is never changed.
Trimmed TrimBlanks(const char* text, char* result, size_t capacity);

// Empties AppState.HardwareIdList and AppState.InstallSectionList, then fills
// them from the model section that the "Manufacturer" section of the INF file
// at `infPath` names: one install-section name and one hardware id for each
// model entry, entry n of one list belonging with entry n of the other. Both
// lists stay empty when the file cannot be read that far.
void ScanInfModels(const char* infPath);

// Builds the three-line summary of the INF file at `infPath` (manufacturer,
// first device, driver version) into `result`. False, with `result` empty,
// when the file's shape gives no summary; a file without a readable
// "Manufacturer" section also shows MsgNoInstallInfo with no owner.
bool BuildDriverSummary(const char* infPath, char (&result)[kDriverSummaryCapacity]);
