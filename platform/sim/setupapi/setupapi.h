// What the parts of the setup library share, and what Plug and Play and
// newdev.DLL use of it: the INF model, the driver search, file queues, staging,
// device information sets and installing a driver on a device.
#pragma once

#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/machine.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sim::internal {

// ---- INF files ----------------------------------------------------------

// One line of a section as the setup library reads it: an optional key and
// the fields after it, all as written (quotes resolved, %strings% not yet
// replaced). A line of one field and no "=" is its own key.
struct InfLine {
  bool hasKey = false;
  std::string key;
  std::vector<std::string> fields;
  unsigned number = 0;  // line of the file, from 1
};

struct InfSection {
  std::string name;
  std::vector<InfLine> lines;
};

struct InfData {
  std::string path;       // full Windows path of the file
  std::string directory;  // its directory, without a trailing backslash
  UINT codePage = 1252;
  std::vector<InfSection> sections;
  std::unordered_map<std::string, size_t> byName;  // upper-case name -> index
  std::vector<size_t> stringSections;              // [Strings.<lang>], [Strings.<primary>], [Strings]

  const InfSection* Section(std::string_view name) const;
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
  UINT errorLine = 0;
};
// Parses INF bytes (ANSI of `codePage`, or UTF-16LE with its byte-order mark).
InfLoad ParseInf(std::string_view bytes, const std::string& windowsPath, UINT codePage, LANGID language);
// Reads and parses an INF file by its Windows path; a file that has not
// changed is parsed once. With `requireWin4` a file without the signature of
// a Windows 4 INF is refused (ERROR_WRONG_INF_STYLE).
InfLoad LoadInf(const std::string& windowsPath, bool requireWin4);

// The file an open INF handle holds, or null for a handle that is not open.
std::shared_ptr<const InfData> OpenInfOf(HINF inf);

// The name of an install section decorated for the running platform:
// .NT<arch> then .NT on the NT family, when the INF has that section; the
// name itself otherwise. `extensionAt` receives the offset of the decoration.
std::string ActualInstallSection(const InfData& inf, std::string_view name, size_t* extensionAt = nullptr);

// The directory of a directory id (10, 11, 12, 17, 01, ...), or nullopt.
std::optional<std::string> DirectoryOfId(const InfData& inf, long id);

// Joins path pieces with single backslashes.
std::string JoinWindowsPath(std::string_view a, std::string_view b);
// A drive-absolute path ("C:\...") or a UNC path.
bool IsFullWindowsPath(std::string_view path);

// ---- models and drivers -------------------------------------------------

struct ModelEntry {
  std::string manufacturer;    // expanded key of the [Manufacturer] line
  std::string modelsSection;   // the models section used, decorated as found
  std::string description;     // expanded key of the model line
  std::string installSection;  // as the model line names it (undecorated)
  std::vector<std::string> ids;  // [0] the hardware id (may be empty), then compatible ids
};
// The model lines of the models sections that [Manufacturer] names, with
// the decorations of the running platform.
std::vector<ModelEntry> ModelEntries(const InfData& inf);

// How well a model entry fits a device: lower is better; nullopt when none of
// the entry's ids is one of the device's hardware or compatible ids.
std::optional<DWORD> MatchRank(const Device& device, const ModelEntry& model);

struct DriverCandidate {
  std::string infPath;  // full Windows path in the INF directory
  ModelEntry model;
  DWORD rank = 0;
  std::string provider;
  FILETIME date{};
  DWORDLONG version = 0;
  FILETIME infDate{};
};
// The compatible drivers of a device: every model entry of the INF files of
// the Windows INF directory that names one of its ids, in file order.
std::vector<DriverCandidate> CompatibleDrivers(const Device& device);
// The candidate Plug and Play would choose: best rank, then newest date and version.
const DriverCandidate* BestDriver(const std::vector<DriverCandidate>& candidates);
// True when `a` would be chosen over `b`.
bool BetterDriver(const DriverCandidate& a, const DriverCandidate& b);
// Date and version of [Version] DriverVer.
void DriverVersionOf(const InfData& inf, FILETIME& date, DWORDLONG& version);

// ---- file queues --------------------------------------------------------

struct QueuedCopy {
  std::string source;  // full source path
  std::string target;  // full target path
  DWORD style = 0;     // SP_COPY_* flags
};
struct QueuedDelete {
  std::string target;
};
struct QueuedRename {
  std::string source;
  std::string target;
};
struct FileQueueData {
  std::vector<QueuedCopy> copies;
  std::vector<QueuedDelete> deletes;
  std::vector<QueuedRename> renames;
  bool Empty() const { return copies.empty() && deletes.empty() && renames.empty(); }
};
// Queues the CopyFiles, DelFiles and RenFiles of an install section; on
// failure nothing is added and the error is returned.
DWORD QueueInstallSection(FileQueueData& queue, const InfData& inf, const InfData& layout, std::string_view section,
                          const std::string& sourceRoot, DWORD copyFlags);
using QueueHandler = std::function<UINT(UINT notification, UINT_PTR param1, UINT_PTR param2)>;
// Carries out a queue with the notifications of SetupCommitFileQueueA;
// false, with the last error set, when it was aborted.
bool CommitQueue(const FileQueueData& queue, HWND owner, const QueueHandler& handler);
// What the default queue callback answers when no window can prompt the user.
// With `recordPrompts` every question it would have asked is recorded.
UINT DefaultQueueAnswer(UINT notification, UINT_PTR param1, UINT_PTR param2, bool recordPrompts);

// ---- staging ------------------------------------------------------------

// Copies an INF into the Windows INF directory as oemN.inf with a PNF beside
// it, or finds the copy that is there already. `staged` receives the full path
// (also with ERROR_FILE_EXISTS); the error, or ERROR_SUCCESS, is returned.
DWORD StageInf(const char* source, const char* mediaLocation, DWORD mediaType, DWORD copyStyle, std::string& staged);
// Writes the precompiled companion of an INF: where its files come from.
bool WritePnf(const std::string& pnfWindowsPath, const std::string& sourceLocation, DWORD mediaType);
// The source directory a PNF records (media type SPOST_PATH), or nullopt.
std::optional<std::string> PnfSourcePath(const std::string& pnfWindowsPath);
// "C:\...\oem3.inf" -> "C:\...\oem3.PNF".
std::string PnfPathOf(const std::string& infWindowsPath);

// ---- installing a driver on a device ------------------------------------

// Installs a model of an INF on a device: queues and copies the files of its
// decorated install section from `sourceRoot`, records the driver (`infName`
// in the INF directory) and clears the reinstall and failed-install marks. A
// failed copy marks the device as failed. Returns the error, or ERROR_SUCCESS.
DWORD InstallDriver(Device& device, const InfData& inf, const std::string& infName, const ModelEntry& model,
                    const std::string& sourceRoot, const char* via);

// ---- device information sets --------------------------------------------

struct DriverNode {
  uint64_t serial = 0;  // what SP_DRVINFO_DATA.Reserved holds
  DriverCandidate candidate;
};
struct DriverList {
  void* ledgerHandle = nullptr;  // the list as the handle ledger counts it
  std::vector<DriverNode> nodes;
};
struct DeviceElement {
  uint64_t serial = 0;  // what SP_DEVINFO_DATA.Reserved holds
  std::string instanceId;
  DWORD devnode = 0;
  GUID classGuid{};
  std::optional<DriverList> compatible;
  size_t position = 0;  // where the device stood in the tree when the set was made
};
struct DeviceSet {
  std::vector<DeviceElement> elements;
};
// The open set of a handle, or null.
DeviceSet* FindDeviceSet(HDEVINFO set);
// The device of an element, or null when it is no longer in the tree.
Device* DeviceOf(const DeviceElement& element);
// Checks a set handle and a caller's SP_DEVINFO_DATA: ERROR_INVALID_HANDLE for
// a set that is not open, ERROR_INVALID_PARAMETER for a record that is
// missing, of the wrong size or not of this set.
DWORD ResolveElement(HDEVINFO set, const SP_DEVINFO_DATA* data, DeviceElement*& element);

}  // namespace sim::internal
