// Windows paths on the Linux file system: drive C is the machine's drive_c,
// drive Z the Linux root, as Wine maps them.
#include "platform/sim/machine/paths.h"

#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/machine.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <stdexcept>
#include <system_error>

namespace sim {
namespace {

bool InvalidNameChar(unsigned char c) {
  return c < 32 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' || c == '*';
}

// Windows drops trailing dots and blanks of every path component.
std::string_view StripTrailingDotsAndBlanks(std::string_view component) {
  if (component == "." || component == "..") return component;
  while (!component.empty() && (component.back() == '.' || component.back() == ' ')) component.remove_suffix(1);
  return component;
}

// Appends the Linux text of a drive's root to `out`; false for a drive the
// machine has not.
bool AppendDriveRoot(char drive, std::string& out) {
  switch (drive) {
    case 'C': {
      const std::string& dir = CurrentMachine().dir.native();
      out += dir;
      if (!dir.empty() && dir.back() != '/') out += '/';
      out += "drive_c";
      return true;
    }
    case 'Z': out += '/'; return true;
    default: return false;
  }
}

// The name in the directory `dir` that is `utf8Name` but for letter case, for
// a name the directory does not hold exactly (which is preferred).
std::optional<std::string> EntryInOtherCase(const std::string& dir, std::string_view utf8Name) {
  const std::string wanted = UpperAnsi(Utf8ToAnsi(utf8Name));
  // An ASCII name reads the same in UTF-8 and in both code pages, whose upper
  // case of ASCII is the ASCII one: it is compared in place, where
  // converting every name of a directory for every path cost most of a
  // package's copy.
  return FindInDirectory(dir, [&](const std::string& entry) {
    if (std::all_of(entry.begin(), entry.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
      return EqualsNoCase(entry, wanted);
    return UpperAnsi(Utf8ToAnsi(entry)) == wanted;
  });
}

}  // namespace

HostPath MapWindowsPath(std::string_view windowsPath) {
  HostPath result;
  if (windowsPath.empty()) {
    result.error = ERROR_PATH_NOT_FOUND;
    return result;
  }
  if (windowsPath.size() >= MAX_PATH) {
    result.error = ERROR_FILENAME_EXCED_RANGE;
    return result;
  }
  // Work on UTF-8 so that a trail byte of a double-byte character is never
  // taken for a backslash.
  std::string path = AnsiToUtf8(windowsPath);
  for (char& c : path)
    if (c == '/') c = '\\';

  // What follows the drive letter, split at backslashes below: a leading
  // backslash or none makes the same components.
  char drive = 0;
  std::string joined;  // a relative path after the current directory
  std::string_view rest;
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    rest = std::string_view(path).substr(2);
  } else if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    result.error = ERROR_BAD_NETPATH;
    return result;
  } else {
    char cwd[MAX_PATH];
    const DWORD n = GetCurrentDirectoryA(sizeof cwd, cwd);
    if (n == 0 || n >= sizeof cwd) {
      result.error = ERROR_PATH_NOT_FOUND;
      return result;
    }
    const std::string current = AnsiToUtf8(cwd);
    drive = current[0];
    joined = path[0] == '\\' ? path : current.substr(2) + "\\" + path;
    rest = joined;
  }

  // The components, as views of `rest`: a path is mapped for most calls the
  // simulation answers, and each copy of a component cost an allocation. A
  // component takes two characters at least with its backslash, and `rest`
  // (the current directory and a relative path) is shorter than 2 * MAX_PATH.
  std::array<std::string_view, MAX_PATH + 1> resolved;
  size_t count = 0;
  for (size_t at = 0; at <= rest.size();) {
    size_t end = rest.find('\\', at);
    if (end == std::string::npos) end = rest.size();
    const std::string_view part = StripTrailingDotsAndBlanks(rest.substr(at, end - at));
    at = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (count) --count;
      continue;
    }
    for (unsigned char c : part) {
      if (InvalidNameChar(c)) {
        result.error = ERROR_INVALID_NAME;
        return result;
      }
    }
    resolved[count++] = part;
  }

  std::string host;
  host.reserve(CurrentMachine().dir.native().size() + rest.size() + 9);
  if (!AppendDriveRoot(drive, host)) {
    result.error = ERROR_PATH_NOT_FOUND;
    return result;
  }
  std::string windows(1, drive);
  windows += ":\\";
  windows.reserve(rest.size() + 3);
  bool existing = true;
  for (size_t i = 0; i < count; ++i) {
    std::optional<std::string> found;
    if (existing && !HasEntry(host, resolved[i]) && !(found = EntryInOtherCase(host, resolved[i]))) existing = false;
    const std::string_view name = found ? std::string_view(*found) : resolved[i];
    if (host.back() != '/') host += '/';
    host += name;
    if (i) windows += '\\';
    windows += name;
  }
  result.host = std::move(host);
  const bool ascii = std::all_of(windows.begin(), windows.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  result.windows = ascii ? std::move(windows) : Utf8ToAnsi(windows);
  return result;
}

std::string WindowsPathOf(const fs::path& hostPath) {
  std::error_code ec;
  const fs::path real = fs::weakly_canonical(fs::absolute(hostPath), ec);
  const fs::path driveC = fs::weakly_canonical(CurrentMachine().dir / "drive_c", ec);
  std::string out;
  const std::string realText = real.string();
  const std::string driveText = driveC.string();
  if (realText == driveText || realText.rfind(driveText + "/", 0) == 0) {
    out = "C:\\" + realText.substr(std::min(realText.size(), driveText.size() + 1));
  } else {
    out = "Z:" + realText;
  }
  for (char& c : out)
    if (c == '/') c = '\\';
  if (out.size() > 3 && out.back() == '\\') out.pop_back();
  return Utf8ToAnsi(out);
}

std::string WindowsDirectory() { return CurrentMachine().windows_directory; }
std::string SystemDirectory() { return CurrentMachine().system_directory; }
std::string InfDirectory() { return CurrentMachine().windows_directory + "\\INF"; }

fs::path HostPathOf(std::string_view windowsPath) {
  HostPath mapped = MapWindowsPath(windowsPath);
  if (!mapped.ok()) throw std::runtime_error("cannot map Windows path " + std::string(windowsPath));
  return mapped.host;
}

}  // namespace sim
