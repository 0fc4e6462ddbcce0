// SetupCopyOEMInfA: a driver package's INF staged in the Windows INF
// directory as oemN.inf (the lowest free N), with a PNF beside it that
// records where the package's files are, and the catalog the INF names
// installed in the catalog root as oemN.cat. The same content (INF and
// catalog) staged again keeps the name it has.
#include "platform/sim/setupapi/oem_staging.h"

#include "platform/sim/base/numbers.h"
#include "platform/sim/kernel32/kernel32.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/setupapi/inf_files.h"

#include <algorithm>
#include <cstring>

namespace sim::internal {
namespace {

constexpr char kPnfMagic[8] = {'S', 'I', 'M', 'P', 'N', 'F', '0', '1'};
constexpr DWORD kPathMedia = SPOST_PATH;  // the one kind of source a PNF of this simulation records

// "oem" digits ".inf", any letter case.
std::optional<unsigned> OemNumber(const std::string& name) {
  if (name.size() < 8 || !EqualsNoCase(name.substr(0, 3), "oem") || !EqualsNoCase(name.substr(name.size() - 4), ".inf"))
    return std::nullopt;
  const std::string digits = name.substr(3, name.size() - 7);
  if (digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  const auto number = ParseNumber(digits, 0, 999999);
  return number ? std::optional<unsigned>(static_cast<unsigned>(*number)) : std::nullopt;
}

// The catalog file the INF names for the running platform, as Windows picks
// it: the key decorated for the architecture, then ".NT", then the plain key.
std::string CatalogNameOf(const InfData& inf) {
  const std::string arch = CurrentMachine().architecture == "amd64" ? "CatalogFile.NTamd64" : "CatalogFile.NTx86";
  for (const char* key : {arch.c_str(), "CatalogFile.NT", "CatalogFile"}) {
    std::string name = inf.Value("Version", key);
    if (!name.empty()) return name;
  }
  return std::string();
}

// The staged INF's primary name (up to its last dot) with ".cat", in the catalog root.
std::string CatalogPathFor(const std::string& stagedInf) {
  const std::string name = stagedInf.substr(stagedInf.find_last_of('\\') + 1);
  return CatalogRoot() + "\\" + name.substr(0, name.find_last_of('.')) + ".cat";
}

bool SameBytes(const fs::path& a, const std::string& bytes) {
  std::string other;
  return ReadFileBytes(a, other) && other == bytes;
}

}  // namespace

std::string CatalogRoot() {
  return CurrentMachine().system_directory + "\\CatRoot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}";
}

std::string PnfPathOf(const std::string& infWindowsPath) {
  return infWindowsPath.size() >= 3 ? infWindowsPath.substr(0, infWindowsPath.size() - 3) + "PNF" : infWindowsPath;
}

bool WritePnf(const std::string& pnfWindowsPath, const std::string& sourceDirectory) {
  const HostPath p = MapWindowsPath(pnfWindowsPath);
  if (!p.ok()) return false;
  std::string bytes(kPnfMagic, sizeof kPnfMagic);
  const DWORD length = static_cast<DWORD>(sourceDirectory.size());
  bytes.append(reinterpret_cast<const char*>(&kPathMedia), 4);
  bytes.append(reinterpret_cast<const char*>(&length), 4);
  bytes += sourceDirectory;
  return WriteFileBytes(p.host, bytes);
}

std::optional<std::string> PnfSourcePath(const std::string& pnfWindowsPath) {
  const HostPath p = MapWindowsPath(pnfWindowsPath);
  std::string bytes;
  if (!p.ok() || !ReadFileBytes(p.host, bytes) || bytes.size() < 16 || bytes.compare(0, 8, kPnfMagic, 8) != 0)
    return std::nullopt;
  DWORD mediaType = 0, length = 0;
  std::memcpy(&mediaType, bytes.data() + 8, 4);
  std::memcpy(&length, bytes.data() + 12, 4);
  if (mediaType != kPathMedia || length == 0 || bytes.size() - 16 < length) return std::nullopt;
  return bytes.substr(16, length);
}

DWORD StageInf(const std::string& source, std::string& staged) {
  // The platform wants the full path of the INF; a relative one is not looked for.
  if (!IsFullWindowsPath(source) || source.size() >= MAX_PATH) return ERROR_FILE_NOT_FOUND;
  const HostPath mapped = MapWindowsPath(source);
  std::string bytes;
  if (!mapped.ok() || !ReadFileBytes(mapped.host, bytes)) return ERROR_FILE_NOT_FOUND;
  const InfLoad load = LoadInf(mapped.windows);
  if (!load.inf) return load.error;

  // The catalog travels with the INF: a package whose catalog is missing is
  // not staged at all (the driver store copies it as one of the package's
  // files, and a missing source file fails that copy).
  const std::string catalogName = CatalogNameOf(*load.inf);
  std::string catalogSource, catalogBytes;
  if (!catalogName.empty()) {
    if (catalogName.find_first_of("\\/:") != std::string::npos)
      return Unmodelled("SetupCopyOEMInfA", "a catalog named with a path (" + AnsiToUtf8(catalogName) + ")",
                        ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER);
    catalogSource = load.inf->directory + "\\" + catalogName;
    const HostPath catalog = MapWindowsPath(catalogSource);
    if (!catalog.ok() || !ReadFileBytes(catalog.host, catalogBytes)) return ERROR_FILE_NOT_FOUND;
  }
  // A staged INF matches when its bytes do and, for a package with a
  // catalog, the catalog installed under its name holds the same bytes.
  auto catalogMatches = [&](const std::string& stagedInf) {
    if (catalogName.empty()) return true;
    const HostPath installed = MapWindowsPath(CatalogPathFor(stagedInf));
    return installed.ok() && SameBytes(installed.host, catalogBytes);
  };

  const std::string infDir = InfDirectory();
  const fs::path infHost = HostPathOf(infDir);
  std::optional<std::string> existing;
  if (SameDirectory(mapped.host.parent_path(), infHost)) existing = mapped.windows;
  std::vector<unsigned> taken;
  std::vector<std::string> names;
  if (!existing) ListDirectory(infHost, names);
  for (const std::string& hostName : names) {
    const std::string name = Utf8ToAnsi(hostName);
    const auto number = OemNumber(name);
    if (!number) continue;
    taken.push_back(*number);
    if (SameBytes(infHost / hostName, bytes) && catalogMatches(infDir + "\\" + name)) {
      existing = infDir + "\\" + name;
      break;
    }
  }
  const bool installCatalog = !catalogName.empty() && (!existing || !catalogMatches(*existing));
  if (existing) {
    staged = *existing;
  } else {
    unsigned n = 0;
    while (std::find(taken.begin(), taken.end(), n) != taken.end()) ++n;
    staged = infDir + "\\oem" + std::to_string(n) + ".inf";
    if (!CopyFileNoFault(mapped.windows.c_str(), staged.c_str(), TRUE)) return GetLastError();
  }
  if (installCatalog) {
    // A catalog left behind by an uninstall of an earlier oemN is replaced.
    const std::string target = CatalogPathFor(staged);
    const HostPath root = MapWindowsPath(CatalogRoot());
    if (!root.ok() || !MakeDirectories(root.host) || !CopyFileNoFault(catalogSource.c_str(), target.c_str(), FALSE)) {
      const DWORD error = root.ok() ? GetLastError() : ERROR_PATH_NOT_FOUND;
      if (!existing) DeleteFileNoFault(staged.c_str());
      return error;
    }
    Record({{"event", "catalog_installed"},
            {"source", AnsiToUtf8(catalogSource)},
            {"catalog", AnsiToUtf8(target)},
            {"summary", "installed the catalog " + AnsiToUtf8(catalogSource) + " as " + AnsiToUtf8(target)}});
  }
  // The package's files are where its INF is.
  if (!WritePnf(PnfPathOf(staged), load.inf->directory)) return ERROR_ACCESS_DENIED;
  Record({{"event", "inf_staged"},
          {"source", AnsiToUtf8(mapped.windows)},
          {"staged", AnsiToUtf8(staged)},
          {"pnf", AnsiToUtf8(PnfPathOf(staged))},
          {"reused", existing.has_value()},
          {"summary", (existing ? "already staged " : "staged ") + AnsiToUtf8(mapped.windows) + " as " + AnsiToUtf8(staged)}});
  return ERROR_SUCCESS;
}

}  // namespace sim::internal

using namespace sim;
using namespace sim::internal;

BOOL WINAPI SetupCopyOEMInfA(PCSTR source, PCSTR mediaLocation, DWORD mediaType, DWORD copyStyle, PSTR destination,
                             DWORD destinationSize, PDWORD required, PSTR* component) {
  constexpr const char* kCall = "SetupCopyOEMInfA";
  if (auto error = FaultFor(kCall, ERROR_ACCESS_DENIED)) return Fail(*error, FALSE);
  // The program stages its INF from where it is, with no copy style, and
  // asks for the staged name in its buffer at most.
  if (!source || mediaLocation || mediaType != SPOST_PATH || required || component || (!destination && destinationSize))
    return Unmodelled(kCall, "a media location or type other than the INF's own path, or a size or component pointer",
                      ERROR_INVALID_PARAMETER, FALSE);
  if (copyStyle) return Unmodelled(kCall, "a copy style", ERROR_INVALID_FLAGS, FALSE);
  std::string staged;
  if (DWORD error = StageInf(source, staged)) return Fail(error, FALSE);
  if (destination) {
    if (destinationSize <= staged.size()) return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);  // the INF is staged all the same
    std::memcpy(destination, staged.c_str(), staged.size() + 1);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
