// SetupCopyOEMInfA: a driver package's INF staged in the Windows INF
// directory as oemN.inf (the lowest free N), with a PNF beside it that
// records where the package's files are. The same content staged again keeps
// the name it has.
#include "platform/sim/kernel32/kernel32.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/setupapi/setupapi.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace sim::internal {
namespace {

constexpr char kPnfMagic[8] = {'S', 'I', 'M', 'P', 'N', 'F', '0', '1'};
constexpr DWORD kOemInfCatalogOnly = 0x00040000;  // SP_COPY_OEMINF_CATALOG_ONLY
constexpr DWORD kKnownStyles = SP_COPY_DELETESOURCE | SP_COPY_REPLACEONLY | SP_COPY_NOOVERWRITE | kOemInfCatalogOnly;

bool ReadWhole(const fs::path& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// "oem" digits ".inf", any letter case.
std::optional<unsigned> OemNumber(const std::string& name) {
  if (name.size() < 8 || !EqualsNoCase(name.substr(0, 3), "oem") || !EqualsNoCase(name.substr(name.size() - 4), ".inf"))
    return std::nullopt;
  const std::string digits = name.substr(3, name.size() - 7);
  if (digits.empty() || digits.size() > 6) return std::nullopt;
  for (char c : digits)
    if (c < '0' || c > '9') return std::nullopt;
  return static_cast<unsigned>(std::stoul(digits));
}

}  // namespace

std::string PnfPathOf(const std::string& infWindowsPath) {
  return infWindowsPath.size() >= 3 ? infWindowsPath.substr(0, infWindowsPath.size() - 3) + "PNF" : infWindowsPath;
}

bool WritePnf(const std::string& pnfWindowsPath, const std::string& sourceLocation, DWORD mediaType) {
  const HostPath p = MapWindowsPath(pnfWindowsPath);
  if (!p.ok()) return false;
  std::string bytes(kPnfMagic, sizeof kPnfMagic);
  const DWORD length = static_cast<DWORD>(sourceLocation.size());
  bytes.append(reinterpret_cast<const char*>(&mediaType), 4);
  bytes.append(reinterpret_cast<const char*>(&length), 4);
  bytes += sourceLocation;
  std::ofstream out(p.host, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

std::optional<std::string> PnfSourcePath(const std::string& pnfWindowsPath) {
  const HostPath p = MapWindowsPath(pnfWindowsPath);
  std::string bytes;
  if (!p.ok() || !ReadWhole(p.host, bytes) || bytes.size() < 16 || bytes.compare(0, 8, kPnfMagic, 8) != 0)
    return std::nullopt;
  DWORD mediaType = 0, length = 0;
  std::memcpy(&mediaType, bytes.data() + 8, 4);
  std::memcpy(&length, bytes.data() + 12, 4);
  if (mediaType != SPOST_PATH || length == 0 || bytes.size() - 16 < length) return std::nullopt;
  return bytes.substr(16, length);
}

DWORD StageInf(const char* source, const char* mediaLocation, DWORD mediaType, DWORD copyStyle, std::string& staged) {
  if (!source) return ERROR_INVALID_PARAMETER;
  if (copyStyle & ~kKnownStyles) return ERROR_INVALID_FLAGS;
  if (mediaType > SPOST_URL) return ERROR_INVALID_PARAMETER;
  // The platform wants the full path of the INF; a relative one is not looked for.
  const std::string path(source);
  if (!IsFullWindowsPath(path) || path.size() >= MAX_PATH) return ERROR_FILE_NOT_FOUND;
  const HostPath mapped = MapWindowsPath(path);
  std::string bytes;
  std::error_code ec;
  if (!mapped.ok() || !fs::is_regular_file(mapped.host, ec) || !ReadWhole(mapped.host, bytes)) return ERROR_FILE_NOT_FOUND;
  const InfLoad load = LoadInf(mapped.windows, true);
  if (!load.inf) return load.error;

  const std::string infDir = InfDirectory();
  const fs::path infHost = HostPathOf(infDir);
  std::optional<std::string> existing;
  if (fs::equivalent(mapped.host.parent_path(), infHost, ec)) existing = mapped.windows;
  std::vector<unsigned> taken;
  for (auto it = fs::directory_iterator(infHost, ec); !existing && !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    const std::string name = Utf8ToAnsi(it->path().filename().string());
    const auto number = OemNumber(name);
    if (!number) continue;
    taken.push_back(*number);
    std::string other;
    if (ReadWhole(it->path(), other) && other == bytes) existing = infDir + "\\" + name;
  }

  std::string location;
  if (mediaType == SPOST_PATH)
    location = mediaLocation ? std::string(mediaLocation) : mapped.windows.substr(0, mapped.windows.find_last_of('\\'));
  else if (mediaType == SPOST_URL && mediaLocation)
    location = mediaLocation;

  bool reused = false;
  if (existing) {
    staged = *existing;
    if (copyStyle & SP_COPY_NOOVERWRITE) return ERROR_FILE_EXISTS;
    reused = true;
  } else {
    if (copyStyle & SP_COPY_REPLACEONLY) return ERROR_FILE_NOT_FOUND;
    unsigned n = 0;
    while (std::find(taken.begin(), taken.end(), n) != taken.end()) ++n;
    staged = infDir + "\\oem" + std::to_string(n) + ".inf";
    if (!CopyFileNoFault(mapped.windows.c_str(), staged.c_str(), TRUE)) return GetLastError();
  }
  if (!WritePnf(PnfPathOf(staged), location, mediaType)) return ERROR_ACCESS_DENIED;
  if (copyStyle & SP_COPY_DELETESOURCE) DeleteFileNoFault(mapped.windows.c_str());
  Record({{"event", "inf_staged"},
          {"source", AnsiToUtf8(mapped.windows)},
          {"staged", AnsiToUtf8(staged)},
          {"pnf", AnsiToUtf8(PnfPathOf(staged))},
          {"reused", reused},
          {"summary", (reused ? "already staged " : "staged ") + AnsiToUtf8(mapped.windows) + " as " + AnsiToUtf8(staged)}});
  return ERROR_SUCCESS;
}

}  // namespace sim::internal

using namespace sim;
using namespace sim::internal;

BOOL WINAPI SetupCopyOEMInfA(PCSTR source, PCSTR mediaLocation, DWORD mediaType, DWORD copyStyle, PSTR destination,
                             DWORD destinationSize, PDWORD required, PSTR* component) {
  if (auto error = FaultFor("SetupCopyOEMInfA", ERROR_ACCESS_DENIED)) {
    SetLastError(*error);
    return FALSE;
  }
  if (!destination && destinationSize != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string staged;
  const DWORD error = StageInf(source, mediaLocation, mediaType, copyStyle, staged);
  if (error != ERROR_SUCCESS && error != ERROR_FILE_EXISTS) {
    SetLastError(error);
    return FALSE;
  }
  // The name is reported also when the INF was already there (ERROR_FILE_EXISTS).
  const DWORD needed = static_cast<DWORD>(staged.size() + 1);
  if (required) *required = needed;
  if (destination) {
    if (destinationSize < needed) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);  // the INF is staged all the same
      return FALSE;
    }
    std::memcpy(destination, staged.c_str(), needed);
    if (component) *component = destination + staged.find_last_of('\\') + 1;
  }
  SetLastError(error);
  return error == ERROR_SUCCESS;
}
