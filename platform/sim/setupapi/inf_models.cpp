// The models of INF files and the driver search of Plug and Play: which
// model lines a platform reads, how well one fits a device, and which INF
// files of the Windows INF directory offer a driver for it.
#include "platform/sim/setupapi/inf_models.h"

#include "platform/sim/base/numbers.h"
#include "platform/sim/machine/drive.h"
#include "platform/sim/machine/paths.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <tuple>

#include <sys/stat.h>

namespace sim::internal {
namespace {

struct OsDecoration {
  bool applies = false;
  bool architectureSpecific = false;
  long long major = 0, minor = 0, build = 0;
};

// A TargetOSVersion decoration: NT[Architecture][.Major[.Minor[.ProductType[.SuiteMask[.Build]]]]].
OsDecoration ReadDecoration(std::string_view decoration) {
  OsDecoration d;
  const Machine& m = CurrentMachine();
  if (decoration.size() < 2 || !EqualsNoCase(decoration.substr(0, 2), "NT")) return d;
  std::string_view rest = decoration.substr(2);
  const size_t dot = rest.find('.');
  const std::string_view arch = rest.substr(0, dot);
  if (!arch.empty()) {
    if (!EqualsNoCase(arch, m.architecture)) return d;
    d.architectureSpecific = true;
  }
  std::vector<std::string_view> parts;
  if (dot != std::string_view::npos) {
    std::string_view tail = rest.substr(dot + 1);
    for (;;) {
      const size_t next = tail.find('.');
      parts.push_back(tail.substr(0, next));
      if (next == std::string_view::npos) break;
      tail = tail.substr(next + 1);
    }
  }
  // A part left out counts as its default; one that is not a number spoils the decoration.
  auto part = [&](size_t i, long long fallback) -> long long {
    if (i >= parts.size() || parts[i].empty()) return fallback;
    return ParseNumber(parts[i], 0, INT32_MAX).value_or(-1);
  };
  d.major = part(0, 0);
  d.minor = part(1, 0);
  const long long productType = part(2, 1);
  d.build = part(4, 0);
  if (d.major < 0 || d.minor < 0 || d.build < 0) return d;
  const long long osMajor = m.version & 0xFF, osMinor = (m.version >> 8) & 0xFF, osBuild = (m.version >> 16) & 0x7FFF;
  // A desktop Windows is a workstation (product type 1).
  d.applies = std::make_pair(d.major, d.minor) <= std::make_pair(osMajor, osMinor) && d.build <= osBuild &&
              productType == 1;
  return d;
}

// The models section a [Manufacturer] entry sends this platform to.
const InfSection* ChooseModelsSection(const InfData& inf, const std::string& base,
                                      const std::vector<std::string>& decorations, std::string& name) {
  if (CurrentMachine().IsNtFamily()) {
    const std::string* best = nullptr;
    OsDecoration bestScore;
    for (const std::string& decoration : decorations) {
      const OsDecoration d = ReadDecoration(decoration);
      if (!d.applies) continue;
      if (!best || std::make_tuple(d.architectureSpecific, d.major, d.minor, d.build) >
                       std::make_tuple(bestScore.architectureSpecific, bestScore.major, bestScore.minor, bestScore.build)) {
        best = &decoration;
        bestScore = d;
      }
    }
    if (best) {
      name = base + "." + *best;
      if (const InfSection* s = inf.Section(name)) return s;
    }
  }
  // Known departure, kept: x64 Windows (since Server 2003 SP1) takes no driver
  // from an undecorated models section, so an amd64 machine there finds no
  // driver where this falls back to [base]. Wine 8.0 falls back as this does,
  // and the Wine runs are what the simulation is held against.
  name = base;
  return inf.Section(base);
}

uint64_t Ticks(const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

FILETIME FromTicks(uint64_t ticks) { return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}; }

// Days from 1601-01-01 to a civil date (proleptic Gregorian).
int64_t DaysSince1601(int64_t y, unsigned mo, unsigned d) {
  y -= mo <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t daysSince1970 = era * 146097 + static_cast<int64_t>(doe) - 719468;
  return daysSince1970 + 134774;
}

// Date and version of [Version] DriverVer.
void DriverVersionOf(const InfData& inf, FILETIME& date, DWORDLONG& version) {
  date = FILETIME{};
  version = 0;
  const InfLine* line = inf.FindLine("Version", "DriverVer");
  if (!line) return;
  if (auto text = inf.Field(*line, 1)) {
    unsigned mo = 0, d = 0;
    int y = 0;
    if (std::sscanf(text->c_str(), "%u/%u/%d", &mo, &d, &y) == 3 && mo >= 1 && mo <= 12 && d >= 1 && d <= 31 &&
        y >= 1601 && y <= 9999)
      date = FromTicks(static_cast<uint64_t>(DaysSince1601(y, mo, d)) * 864000000000ull);
  }
  if (auto text = inf.Field(*line, 2)) {
    unsigned a = 0, b = 0, c = 0, e = 0;
    const int n = std::sscanf(text->c_str(), "%u.%u.%u.%u", &a, &b, &c, &e);
    if (n >= 1 && a <= 0xFFFF && b <= 0xFFFF && c <= 0xFFFF && e <= 0xFFFF)
      version = (static_cast<DWORDLONG>(a) << 48) | (static_cast<DWORDLONG>(b) << 32) |
                (static_cast<DWORDLONG>(c) << 16) | e;
  }
}

// True when `a` would be chosen over `b`.
bool BetterDriver(const DriverCandidate& a, const DriverCandidate& b) {
  if (a.rank != b.rank) return a.rank < b.rank;
  if (Ticks(a.date) != Ticks(b.date)) return Ticks(a.date) > Ticks(b.date);
  return a.version > b.version;
}

}  // namespace

std::vector<ModelEntry> ModelEntries(const InfData& inf) {
  std::vector<ModelEntry> out;
  const InfSection* manufacturers = inf.Section("Manufacturer");
  if (!manufacturers) return out;
  for (const InfLine& mfg : manufacturers->lines) {
    if (mfg.fields.empty()) continue;
    const std::string manufacturer = mfg.hasKey ? inf.Expand(mfg.key) : std::string();
    const std::string base = inf.Expand(mfg.fields[0]);
    std::vector<std::string> decorations;
    for (size_t i = 1; i < mfg.fields.size(); ++i) decorations.push_back(inf.Expand(mfg.fields[i]));
    std::string sectionName;
    const InfSection* models = ChooseModelsSection(inf, base, decorations, sectionName);
    if (!models) continue;
    for (const InfLine& line : models->lines) {
      // description = install-section, hardware-id [, compatible-id ...]
      if (!line.hasKey || line.fields.size() < 2) continue;
      ModelEntry entry;
      entry.manufacturer = manufacturer;
      entry.modelsSection = sectionName;
      entry.description = inf.Expand(line.key);
      entry.installSection = inf.Expand(line.fields[0]);
      bool anyId = false;
      for (size_t i = 1; i < line.fields.size(); ++i) {
        entry.ids.push_back(inf.Expand(line.fields[i]));
        anyId = anyId || !entry.ids.back().empty();
      }
      if (anyId && !entry.installSection.empty()) out.push_back(std::move(entry));
    }
  }
  return out;
}

std::optional<DWORD> MatchRank(const Device& device, const ModelEntry& model) {
  // Like Plug and Play's rank: a device hardware id on the model's hardware
  // id is best, then on its compatible ids, then the device's compatible ids;
  // within each, earlier ids on both sides are better.
  std::optional<DWORD> best;
  auto consider = [&](const std::vector<std::string>& deviceIds, DWORD kindBase) {
    for (size_t d = 0; d < deviceIds.size(); ++d) {
      for (size_t m = 0; m < model.ids.size(); ++m) {
        if (model.ids[m].empty() || !EqualsNoCase(model.ids[m], deviceIds[d])) continue;
        const DWORD rank = (kindBase + (m == 0 ? 0u : 1u)) * 0x1000 +
                           static_cast<DWORD>(std::min<size_t>(d, 0xF)) * 0x100 + static_cast<DWORD>(std::min<size_t>(m, 0xFF));
        if (!best || rank < *best) best = rank;
      }
    }
  };
  consider(device.hardware_ids, 0);
  consider(device.compatible_ids, 2);
  return best;
}

std::vector<DriverCandidate> CompatibleDrivers(const Device& device) {
  std::vector<DriverCandidate> out;
  const fs::path dir = HostPathOf(InfDirectory());
  std::vector<std::string> names, listed;
  ListDirectory(dir, listed);
  for (const std::string& hostName : listed) {
    const std::string name = Utf8ToAnsi(hostName);
    struct stat info;
    if (name.size() > 4 && EqualsNoCase(name.substr(name.size() - 4), ".inf") && StatPath(dir / hostName, info) &&
        S_ISREG(info.st_mode))
      names.push_back(name);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return UpperAnsi(a) < UpperAnsi(b); });
  for (const std::string& name : names) {
    const InfLoad load = LoadInf(InfDirectory() + "\\" + name);
    if (!load.inf) continue;  // files the platform cannot read offer no driver
    FILETIME date;
    DWORDLONG version;
    DriverVersionOf(*load.inf, date, version);
    FILETIME infDate{};
    struct stat info;
    if (StatPath(HostPathOf(load.inf->path), info))
      infDate = FromTicks((static_cast<uint64_t>(info.st_mtim.tv_sec) + 11644473600ull) * 10000000ull +
                          static_cast<uint64_t>(info.st_mtim.tv_nsec) / 100u);
    const std::string provider = load.inf->Value("Version", "Provider");
    for (ModelEntry& model : ModelEntries(*load.inf)) {
      const auto rank = MatchRank(device, model);
      if (!rank) continue;
      DriverCandidate c;
      c.infPath = load.inf->path;
      c.model = std::move(model);
      c.rank = *rank;
      c.provider = provider;
      c.date = date;
      c.version = version;
      c.infDate = infDate;
      out.push_back(std::move(c));
    }
  }
  return out;
}

const DriverCandidate* BestDriver(const std::vector<DriverCandidate>& candidates) {
  const DriverCandidate* best = nullptr;
  for (const DriverCandidate& c : candidates)
    if (!best || BetterDriver(c, *best)) best = &c;
  return best;
}

}  // namespace sim::internal
