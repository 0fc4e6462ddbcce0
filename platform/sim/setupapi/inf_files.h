// INF files as the setup library reads them: the parsed file that the driver
// search, file queues and staging share, the open INF handles, directory ids
// and the decorated install sections.
#pragma once

#include "platform/sim/machine/machine.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sim::internal {

// One line of a section as the setup library reads it: an optional key and
// the fields after it, all as written (quotes resolved, %strings% not yet
// replaced). A line of one field and no "=" is its own key.
struct InfLine {
  bool hasKey = false;
  std::string key;
  std::vector<std::string> fields;
};

struct InfSection {
  std::string name;
  std::vector<InfLine> lines;
};

// An INF file's sections as its bytes give them, whatever path the file is
// read by: a package's INF and its staged copy share one parse.
struct InfContent {
  UINT codePage = 1252;
  std::vector<InfSection> sections;
  std::unordered_map<std::string, size_t> byName;  // upper-case name -> index
  std::vector<size_t> stringSections;              // [Strings.<lang>], [Strings.<primary>], [Strings]

  const InfSection* Section(std::string_view name) const;
};

struct InfData {
  std::string path;       // full Windows path of the file
  std::string directory;  // its directory, without a trailing backslash
  std::shared_ptr<const InfContent> content;
  bool win4 = false;      // [Version] Signature names a Windows 4 INF

  const InfSection* Section(std::string_view name) const { return content->Section(name); }
  // A text with %strkey% replaced from the string sections and %dirid% by its
  // directory; %% gives %, an unknown token stays as it is.
  std::string Expand(std::string_view raw) const;
  // Field `index` of a line, expanded: 0 is the key, 1 the first field.
  std::optional<std::string> Field(const InfLine& line, size_t index) const;
  // The first line of `section` whose expanded key is `key` (letter case ignored).
  const InfLine* FindLine(std::string_view section, std::string_view key) const;
  // The expanded first field of FindLine(section, key), or "".
  std::string Value(std::string_view section, std::string_view key) const;
};

struct InfLoad {
  std::shared_ptr<const InfData> inf;  // null on failure
  DWORD error = ERROR_SUCCESS;
};
// Parses INF bytes (ANSI of `codePage`, or UTF-16LE with its byte-order mark).
InfLoad ParseInf(std::string_view bytes, const std::string& windowsPath, UINT codePage, LANGID language);
// Reads and parses a Windows 4 INF by its full Windows path; a file without
// the signature of one is refused (ERROR_WRONG_INF_STYLE).
InfLoad LoadInf(const std::string& windowsPath);

// The file an open INF handle holds, or null for a handle that is not open.
std::shared_ptr<const InfData> OpenInfOf(HINF inf);

// The name of an install section decorated for the running platform:
// .NT<arch> then .NT on the NT family, when the INF has that section; the
// name itself otherwise.
std::string ActualInstallSection(const InfData& inf, std::string_view name);

// The directory of a directory id (10, 11, 12, 17, 01, ...), or nullopt.
std::optional<std::string> DirectoryOfId(const InfData& inf, long long id);

// Joins path pieces with single backslashes.
std::string JoinWindowsPath(std::string_view a, std::string_view b);
// A drive-absolute path ("C:\...") or a UNC path.
bool IsFullWindowsPath(std::string_view path);

}  // namespace sim::internal
