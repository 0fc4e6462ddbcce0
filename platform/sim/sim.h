// The simulated Windows machine behind platform/win32.h on Linux.
//
// This header is for the simulation itself and for what drives it from
// outside the program: tests, the winsim tool, benchmarks and fuzzers. The
// program's own code never includes it.
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace sim {

namespace fs = std::filesystem;

// ---- the machine --------------------------------------------------------

struct DriverRecord {
  std::string inf;      // file name in the Windows INF directory, e.g. "oem3.inf"
  std::string section;  // install section the driver was installed from
  bool operator==(const DriverRecord&) const = default;
};

struct Device {
  std::string instance_id;
  std::vector<std::string> hardware_ids;    // empty: the property is missing
  std::vector<std::string> compatible_ids;  // empty: the property is missing
  bool present = true;
  std::optional<DWORD> config_flags;  // nullopt: the property is missing
  std::string setup_class;
  std::optional<DriverRecord> driver;
  DWORD devnode = 0;
  bool operator==(const Device&) const = default;  // every field: the machine file's writer relies on it
};

struct FaultRule {
  std::string call;  // the platform function's name, e.g. "SetupOpenFileQueue"
  int nth = 0;       // which call fails, counting from 1 in each process; 0: every call
  std::optional<DWORD> error;  // the last-error code the failure leaves; nullopt: the call's own default
  // The failing call leaves the caller's output buffer as it was, which the
  // platform is free to do when it fails; otherwise it empties the buffer as
  // its own failures do. Only the profile readers look at this.
  bool buffer_untouched = false;
};

struct Machine {
  fs::path dir;  // the machine directory: machine.json, drive_c/, transcript.jsonl
  DWORD version = 0x4A65000A;  // what GetVersion returns (default: Windows 10, build 19045)
  std::string windows_directory = "C:\\WINDOWS";
  std::string system_directory = "C:\\WINDOWS\\system32";
  bool windows_directory_fails = false;  // GetWindowsDirectoryA returns 0
  LANGID language = 0x0409;
  std::optional<UINT> ansi_code_page;  // nullopt: 936 for language 0x0804, 1252 otherwise
  std::string architecture = "amd64";  // "amd64" or "x86"
  std::vector<Device> devices;
  DWORD next_devnode = 1;
  std::vector<FaultRule> faults;
  std::vector<std::string> baseline_files;  // files of a new machine under the Windows directory
  nlohmann::json extra = nlohmann::json::object();  // keys this version does not know, kept as they are

  UINT CodePage() const;
  bool IsNtFamily() const { return (version & 0x80000000u) == 0; }
};

struct NewMachineOptions {
  DWORD version = 0x4A65000A;
  LANGID language = 0x0409;
  std::string architecture = "amd64";
  bool with_default_devices = true;
};

// The machine every simulated call acts on. It is loaded on first use from the
// directory named by SETUP_MACHINE, or from a default machine directory that is
// created when it does not exist yet.
Machine& CurrentMachine();
// Switches to the machine in `dir` (tests and tools). Loads it; throws
// std::runtime_error with a one-line reason when it cannot be read.
void OpenMachine(const fs::path& dir);
// Writes a new machine into `dir` (which must not hold one) and opens it.
void CreateMachine(const fs::path& dir, const NewMachineOptions& options = {});
// Saves the current machine atomically: a temporary file, then a rename.
void SaveMachine();
// Reads a machine file without opening it; throws std::runtime_error on error.
Machine LoadMachineFile(const fs::path& dir);
// The default machine directory used when SETUP_MACHINE is not set.
fs::path DefaultMachineDir();
// Hook for the device services: fills a new machine's device tree and inbox
// INF files. Set by the part of the simulation that owns devices.
using MachinePopulator = void (*)(Machine&, const NewMachineOptions&);
void SetMachinePopulator(MachinePopulator populate);

// Forgets every per-process state: handles, call counts, faults added by a
// test, the last error, open windows, the in-memory transcript and the
// profile cache. The machine on disk is not touched.
void ResetProcessState();

// ---- the device tree (tests and tools) ----------------------------------

// Adds a device to the tree and returns its instance id: one is made from
// its first hardware id when it has none, and it gets a new device-node
// number. A present device without a driver is installed as Plug and Play
// installs a new device (see InstallBestDriver).
std::string AddDevice(Device device);
// The device with this instance id, or else the one device with this
// hardware id (whole id, letter case ignored). Null when there is none, and
// also when several devices have the hardware id (`ambiguous` is then set).
Device* FindDevice(std::string_view instanceOrHardwareId, bool* ambiguous = nullptr);
// Plugs a device in or out. Plugged in without a driver, or marked for
// reinstall, it gets the best driver of the Windows INF directory.
void SetDevicePresent(Device& device, bool present);
// What Plug and Play does for a device that needs a driver: the best driver
// among the INF files of the Windows INF directory (staged packages and the
// platform's own INF files), its files copied from where the INF's PNF says
// they are. Returns the INF's file name, or nullopt when no INF offers a
// driver or the install failed (the device is then marked as failed).
std::optional<std::string> InstallBestDriver(Device& device);

// A staged driver package: an oemN.inf of the Windows INF directory.
struct StagedInf {
  std::string inf;     // Windows path of the INF
  bool has_pnf = false;
  std::string source;  // where its PNF says the package's files are, or ""
};
std::vector<StagedInf> StagedInfFiles();
// Windows paths of the files under the Windows and system directories that a
// new machine does not have, and of the files of a new machine that are gone.
std::vector<std::string> FilesAddedSinceNew();
std::vector<std::string> FilesRemovedSinceNew();

// ---- Windows paths ------------------------------------------------------

struct HostPath {
  DWORD error = ERROR_SUCCESS;  // ERROR_SUCCESS, or why the path cannot be mapped
  std::string windows;          // the full, normalised Windows path
  fs::path host;                // the Linux path it maps to (existing components in their real case)
  bool ok() const { return error == ERROR_SUCCESS; }
};
// Maps a Windows path (ANSI bytes, absolute or relative to the current
// directory) to the Linux file system: C:\ is the machine's drive_c, Z:\ the
// Linux root. Look-ups are case-insensitive; "." and ".." are resolved first,
// so a path never leaves its drive. The last component need not exist.
HostPath MapWindowsPath(std::string_view windowsPath);
// The Windows form of a Linux path, as the current directory is shown.
std::string WindowsPathOf(const fs::path& hostPath);
// Windows path of the Windows directory, system directory and INF directory.
std::string WindowsDirectory();
std::string SystemDirectory();
std::string InfDirectory();
// The Linux path of a Windows path that must map (throws std::runtime_error otherwise).
fs::path HostPathOf(std::string_view windowsPath);

// ---- text ---------------------------------------------------------------

std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);  // characters the code page lacks become '?'
// The same in a code page named rather than the current machine's (a machine
// file is read and written in its own).
std::string AnsiToUtf8(std::string_view ansi, UINT codePage);
std::string Utf8ToAnsi(std::string_view utf8, UINT codePage);
std::string Utf16LeToAnsi(std::string_view utf16);
bool IsDbcsLeadByte(unsigned char byte);
// Case-insensitive comparison of ANSI texts, as the platform compares names.
bool EqualsNoCase(std::string_view a, std::string_view b);
std::string UpperAnsi(std::string_view text);

// ---- calls, faults and the handle ledger --------------------------------

// Counts a call of `name` and tells whether this occurrence is to fail, and
// with which last-error code (`defaultError` when the rule names none).
// `bufferUntouched`, when given, receives the failing rule's buffer_untouched.
std::optional<DWORD> FaultFor(const char* name, DWORD defaultError, bool* bufferUntouched = nullptr);
void AddFault(const FaultRule& rule);  // for this process only
void ClearFaults();                    // this process's rules and the machine's
const std::map<std::string, int>& CallCounts();

enum class HandleKind { DeviceList, DriverList, InfFile, FileQueue, QueueContext, Find, LocalMemory, Module, Window, File };
const char* HandleKindName(HandleKind kind);
// Handle values for objects the simulation keeps itself: never reused in a process.
void* NewHandleValue(HandleKind kind);
void LedgerOpen(HandleKind kind, const void* handle);
bool LedgerIsOpen(HandleKind kind, const void* handle);
// Closes a handle; a handle that is not open is recorded as a violation and false is returned.
bool LedgerClose(HandleKind kind, const void* handle, const char* call);
// Records every handle still open (modules excepted: a loaded library may stay
// loaded until the process ends) as a leak. Returns the number of leaks.
size_t LedgerCheckLeaks();
const std::vector<std::string>& LedgerViolations();
size_t LedgerOpenCount(HandleKind kind);

// ---- transcript ---------------------------------------------------------

// Appends an entry to the machine's transcript.jsonl and to the in-memory list.
// `entry` must hold "event"; "seq" and "pid" are added.
void Record(nlohmann::json entry);
const std::vector<nlohmann::json>& Transcript();
// The entries of one event kind, in order.
std::vector<nlohmann::json> TranscriptOf(std::string_view event);
// Lower-case hex of bytes, as the transcript stores exact texts.
std::string HexBytes(std::string_view bytes);
std::string BytesFromHex(std::string_view hex);
// One line on standard error for each recorded change, unless SETUP_SIM_ECHO=0.
bool EchoEnabled();
// Where those lines go instead of standard error (the terminal dialog shows
// them in its own log); null restores standard error.
using EchoSink = void (*)(const std::string& summary);
void SetEchoSink(EchoSink sink);

// ---- windows and message boxes ------------------------------------------

// The user interface of the simulation keeps its windows in one table; this is
// what the rest of the simulation needs of it.
bool IsWindowHandle(HWND window);
std::string WindowName(HWND window);  // "dialog 129", or "" for null
// A modeless dialog window without a dialog procedure (tests): it has the
// controls of the program's template `templateId` when there is one, and none
// otherwise. It is not run by a modal loop and is never destroyed.
HWND NewTestDialog(int templateId, HWND owner = nullptr);
struct DialogEnd {
  bool ended = false;
  INT_PTR result = 0;
};
DialogEnd DialogEndOf(HWND dialog);

// How a message box is answered: the user interface of the simulation can
// replace the terminal answer (scripted runs, the terminal dialog).
using MessageBoxPresenter = int (*)(HWND owner, std::string_view text, std::string_view caption, UINT type);
void SetMessageBoxPresenter(MessageBoxPresenter presenter);
// The framed box written to a terminal for a message box (UTF-8).
std::string FrameMessageBox(HWND owner, std::string_view text, std::string_view caption, UINT type);

// ---- dialog resources ---------------------------------------------------

// The instance handle of the program's module, the one that holds its
// resources (the value Windows loads an executable at).
HINSTANCE ProgramInstance();

// One entry of a compiled resource file (.res): type and name are either an
// ordinal or a UTF-16 name.
struct ResourceEntry {
  std::optional<WORD> typeId;
  std::u16string typeName;
  std::optional<WORD> nameId;
  std::u16string name;
  WORD language = 0;
  std::string data;
};
// Reads a .res file; nullopt when it is malformed anywhere.
std::optional<std::vector<ResourceEntry>> ParseResourceFile(std::string_view bytes);
// The program's own resources, compiled from res/setup.rc at build time.
const std::vector<ResourceEntry>& ProgramResources();

struct DialogItemTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  WORD id = 0;
  WORD classOrdinal = 0;        // 0x80 button, 0x81 edit, 0x82 static, 0x83 list box, 0x85 combo box; 0: named
  std::u16string className;     // when the class is named
  std::optional<WORD> textOrdinal;  // a resource ordinal instead of a text (icons of static controls)
  std::u16string text;
  std::string creationData;
};
struct DialogTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  std::optional<WORD> menuId;
  std::u16string menuName;
  std::optional<WORD> classId;
  std::u16string className;
  std::u16string caption;
  WORD pointSize = 0;  // with DS_SETFONT
  std::u16string faceName;
  std::vector<DialogItemTemplate> items;
};
// Reads a classic dialog template (DLGTEMPLATE and its items). An extended
// template (DLGTEMPLATEEX) or a malformed one gives nullopt.
std::optional<DialogTemplate> ParseDialogTemplate(std::string_view bytes);
// The program's dialog resource `id`, or null when there is none.
const DialogTemplate* FindDialogTemplate(int id);

// ---- the user's side of the dialogs ----------------------------------------

// Where the user's actions come from and where what they see goes. The
// program's dialogs take events one a line:
//   select N | select ID N     pick item N of the (first, or ID) combo box
//   press ID                   click control ID
//   check ID | uncheck ID      click a check box so that it ends (un)ticked
//   type TEXT                  type into the focused combo box or edit field
//   close                      the caption's close box
//   key enter|esc|tab|shift-tab|space|up|down|left|right
// `next` returns the next line, or nullopt when there are no more: then every
// open message box and dialog is answered as Esc answers it. With `out`, a
// text snapshot of the top dialog follows each event there.
using UiEventSource = std::function<std::optional<std::string>()>;
void UseScriptedUi(UiEventSource next, std::ostream* out);
void UseScriptedUi(std::istream& events, std::ostream& out);
// The interactive terminal (ncurses) front end.
void UseTerminalUi();
// Without either, the first dialog chooses: SETUP_UI=script, or standard
// input not being a terminal, gives the scripted one on standard input and
// output; otherwise the terminal one.

// The scripted front end's snapshot of the current dialogs and message boxes.
std::string UiSnapshot();

}  // namespace sim
