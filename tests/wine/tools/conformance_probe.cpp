// Runs call sequences written as data against the platform it is built for,
// and prints each call in one canonical form, so that the simulation and
// Wine can be compared case by case.
//
//   conformance_probe SCRATCH CASES      both Windows paths (Z:\... on Linux)
//   conformance_probe --profiles LIST    the profile reads of each INF file LIST names
//
// A case file holds lines of whitespace-separated tokens ("..." quotes a
// token with blanks; \x{NN} gives a byte, here and in an INF's lines):
//   case ID                 a new case: its own directory SCRATCH\ID, made current
//   inf NAME  ...lines...  .   a file of the case directory, the lines up to "."
//   file NAME TEXT          a one-line file of the case directory (or a subdirectory)
//   watch DIR               report files appearing and disappearing there
//   FUNCTION ARGS...        one call of a seam function (see kCalls)
// A token %case%, %windir% or %sysdir% is replaced by that directory. Every
// call runs after SetLastError(0xdeadbeef) and prints "ID FUNCTION ARGS ->
// TRUE|FALSE [err=...]" and its out-parameters; then "ID   + PATH" or
// "- PATH" for each change under the watched directories. Paths are printed in lower case
// with the case directory, the Windows directory and the staged INF named by
// token, since their spelling is the machine's and not the call's. The Wine
// tests also make and find their fixture devices with case lines (the calls
// only the Windows build has: create, the DRIVER property).
//
// With --profiles every read the program makes of an INF file's sections and
// keys is made at every capacity from 1 to 16 and at 50, 100, 200 and 10000,
// where cutting a text and ending a list show: "== PATH", then a line per
// read with its capacity, its return value and the bytes it produced (to the
// end of the list or text), so that the simulated reader and Wine's can be
// compared file by file.
#include "platform/win32.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>
#include <filesystem>
#include <sstream>
#ifdef _WIN32
#include <rpc.h>
#endif

namespace {

using Args = std::vector<std::string>;

struct State {
  std::string id, dir, windir, sysdir, scratch;
  std::set<std::string> infs;  // the INF files the case wrote, by name without extension
  std::vector<std::string> watched;
  std::map<std::string, std::set<std::string>> seen;
  HDEVINFO set = INVALID_HANDLE_VALUE;
  SP_DEVINFO_DATA device{};
  bool selected = false;
  SP_DRVINFO_DATA_V2_A driver{};
  HINF inf = INVALID_HANDLE_VALUE;
  HSPFILEQ queue = INVALID_HANDLE_VALUE;
  PVOID context = nullptr;
  HMODULE module = nullptr;
  HANDLE find = INVALID_HANDLE_VALUE, file = INVALID_HANDLE_VALUE;
  HLOCAL local = nullptr;
  std::string out;  // the out-parameters of the call being printed
  // The last error is printed after a failure, and after a success only where
  // Windows defines it (a profile read that was cut): elsewhere it is left
  // undefined, and machines leave different codes there.
  bool errorDefined = false;
} S;

std::string Lower(std::string s) {
  for (char& c : s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c == '/' ? '\\' : c;
  return s;
}

// Bytes outside printable ASCII as \xNN; a "\" too when the text is raw bytes
// (a profile read), so that the form reads back unambiguously.
std::string Escaped(const std::string& s, bool bytes = false) {
  std::string out;
  for (unsigned char c : s) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    out += (c < 0x20 || c >= 0x7F || (bytes && c == '\\')) ? hex : std::string(1, static_cast<char>(c));
  }
  return out;
}

// A path as the comparison sees it: lower case, "\" only, the machine's own
// directories and a staged package's name replaced by a token.
std::string Path(const std::string& raw) {
  std::string p = Lower(raw);
  const std::pair<std::string, const char*> tokens[] = {
      {Lower(S.dir), "%case%"}, {Lower(S.scratch), "%scratch%"}, {Lower(S.windir), "%windir%"}};
  for (const auto& [prefix, token] : tokens)
    if (!prefix.empty() && p.compare(0, prefix.size(), prefix) == 0) p = token + p.substr(prefix.size());
  // A file under the Windows directory named after the case's own INF or
  // oemN is a staged copy: Windows names it oemN from the lowest free number
  // (a machine's count), Wine keeps the INF's own name when it is free.
  const size_t slash = p.find_last_of('\\'), dot = p.find_last_of('.');
  if (p.compare(0, 8, "%windir%") == 0 && slash != std::string::npos && dot != std::string::npos && dot > slash) {
    const std::string base = p.substr(slash + 1, dot - slash - 1);
    const bool oem = base.size() > 3 && base.compare(0, 3, "oem") == 0 &&
                     base.find_first_not_of("0123456789", 3) == std::string::npos;
    if (oem || S.infs.count(base)) p.replace(slash + 1, dot - slash - 1, "%staged%");
  }
  return Escaped(p);
}

void Out(const std::string& key, const std::string& value) { S.out += " " + key + "=" + value; }
std::string Hex(unsigned long v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%lx", v);
  return text;
}
// Appends an item to a list joined by a separator.
void Add(std::string& list, const std::string& item, char separator) {
  if (!list.empty()) list += separator;
  list += item;
}
std::string MultiSz(const char* p, size_t size) {
  std::string out;
  for (size_t i = 0; i < size && p[i]; i += std::strlen(p + i) + 1) Add(out, Escaped(p + i), '|');
  return "[" + out + "]";
}
DWORD Num(const std::string& s) { return static_cast<DWORD>(std::strtoul(s.c_str(), nullptr, 0)); }
const char* Str(const std::string& s) { return s == "null" ? nullptr : s.c_str(); }
std::string Bool(BOOL b) { return b ? "TRUE" : "FALSE"; }
std::string Handle(const void* h) { return h == INVALID_HANDLE_VALUE ? "INVALID" : h ? "handle" : "NULL"; }

// The selected device of the open list, found by one of its hardware ids
// (other devices and their order differ from machine to machine).
BOOL Select(const Args& a) {
  S.selected = false;
  DWORD index = 0;
  for (S.device.cbSize = sizeof S.device; SetupDiEnumDeviceInfo(S.set, index, &S.device); ++index) {
    char ids[4096] = {};
    if (!SetupDiGetDeviceRegistryPropertyA(S.set, &S.device, SPDRP_HARDWAREID, nullptr, reinterpret_cast<PBYTE>(ids),
                                           sizeof ids - 2, nullptr))
      continue;
    for (const char* p = ids; *p && !S.selected; p += std::strlen(p) + 1) S.selected = Lower(p) == Lower(a[0]);
    if (S.selected) break;
  }
  Out("device", S.selected ? "found" : "none");
  if (!S.selected) {  // the enumeration's end, as the walks of the program meet it
    SetLastError(0xdeadbeef);
    const BOOL end = SetupDiEnumDeviceInfo(S.set, index, &S.device);
    Out("past_end", Bool(end) + "/" + Hex(GetLastError()));
  }
  return S.selected;
}

// Whether a device with the id is present, in a list of its own.
BOOL Present(const Args& a) {
  const State keep = S;
  S.set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
  const BOOL found = Select(a);
  SetupDiDestroyDeviceInfoList(S.set);
  S = keep;
  S.out = found ? " present" : " absent";
  return found;
}

// Args: SIZE. The directory calls: the length, and the path where it fit.
template <typename Size, typename Call>
BOOL Directory(const Args& a, Call call) {
  std::vector<char> buffer(Num(a[0]) + 1, '\x7f');
  const Size n = call(buffer.data(), static_cast<Size>(Num(a[0])));
  Out("ret", std::to_string(n));
  if (n && n < Num(a[0])) Out("out", Path(buffer.data()));
  return TRUE;
}

// Args: PROPERTY SIZE [nobuffer], the property by name or number. Required
// size and type are printed where Windows defines them: after a success and
// after ERROR_INSUFFICIENT_BUFFER.
BOOL GetProperty(const Args& a) {
  std::vector<BYTE> buffer(Num(a[1]) + 2, 0);
  DWORD type = 0xdeadbeef, required = 0xdeadbeef;
  const bool none = a.size() > 2 && a[2] == "nobuffer";
  const DWORD property = a[0] == "HARDWAREID" ? SPDRP_HARDWAREID : a[0] == "CONFIGFLAGS" ? SPDRP_CONFIGFLAGS : Num(a[0]);
  const BOOL ok = SetupDiGetDeviceRegistryPropertyA(S.set, &S.device, property, &type, none ? nullptr : buffer.data(),
                                                    Num(a[1]), &required);
  if (ok || GetLastError() == ERROR_INSUFFICIENT_BUFFER) Out("type", std::to_string(type)), Out("required", std::to_string(required));
  if (ok && type == REG_DWORD) Out("value", Hex(*reinterpret_cast<DWORD*>(buffer.data())));
  if (ok && type == REG_MULTI_SZ) Out("value", MultiSz(reinterpret_cast<char*>(buffer.data()), Num(a[1])));
  return ok;
}

BOOL SetFlags(const Args& a) {
  const DWORD flags = Num(a[0]);
  return SetupDiSetDeviceRegistryPropertyA(S.set, &S.device, SPDRP_CONFIGFLAGS, reinterpret_cast<const BYTE*>(&flags),
                                           sizeof flags);
}

BOOL EnumDriver(const Args& a) {
  S.driver = {};
  S.driver.cbSize = sizeof S.driver;
  const BOOL ok = SetupDiEnumDriverInfoA(S.set, &S.device, SPDIT_COMPATDRIVER, Num(a[0]), &S.driver);
  if (ok) {
    Out("desc", Escaped(S.driver.Description)), Out("mfg", Escaped(S.driver.MfgName));
    Out("provider", Escaped(S.driver.ProviderName));
    if (a.size() > 1 && a[1] == "dates")
      Out("version", Hex(static_cast<unsigned long>(S.driver.DriverVersion >> 32))), Out("date", Hex(S.driver.DriverDate.dwHighDateTime));
  }
  return ok;
}

// The program's call: a record of its own size, no size pointer.
BOOL DriverDetail(const Args&) {
  SP_DRVINFO_DETAIL_DATA_A detail;
  std::memset(&detail, 0, sizeof detail);
  detail.cbSize = sizeof detail;
  const BOOL ok = SetupDiGetDriverInfoDetailA(S.set, &S.device, &S.driver, &detail, sizeof detail, nullptr);
  Out("inf", Path(detail.InfFileName)), Out("section", Escaped(detail.SectionName)), Out("desc", Escaped(detail.DrvDescription));
  return ok;
}

// Args: SECTION SIZE. The program decorates the name in its own buffer.
BOOL ActualSection(const Args& a) {
  std::vector<char> buffer(Num(a[1]) + 1, '\0');
  std::memcpy(buffer.data(), a[0].c_str(), std::min(a[0].size(), buffer.size() - 1));
  const BOOL ok = SetupDiGetActualSectionToInstallA(S.inf, buffer.data(), buffer.data(), Num(a[1]), nullptr, nullptr);
  if (ok) Out("out", Escaped(buffer.data()));
  return ok;
}

std::vector<std::string> g_notes;
int g_notifications = 0;
UINT CALLBACK QueueCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2) {
  // Wine answers a missing source with NEEDMEDIA for ever: the probe stops it.
  if (++g_notifications > 40) {
    g_notes.push_back("LOOPING");
    SetLastError(ERROR_CANCELLED);
    return FILEOP_ABORT;
  }
  static const char* const names[] = {"", "startqueue", "endqueue", "startsub", "endsub", "startdelete", "enddelete",
                                      "deleteerror", "startrename", "endrename", "renameerror", "startcopy", "endcopy",
                                      "copyerror", "needmedia"};
  std::string note = notification < std::size(names) ? names[notification] : Hex(notification);
  if (notification == SPFILENOTIFY_ENDCOPY || notification == SPFILENOTIFY_COPYERROR)
    note += "(" + Path(reinterpret_cast<FILEPATHS_A*>(param1)->Target) + "," +
            std::to_string(reinterpret_cast<FILEPATHS_A*>(param1)->Win32Error) + ")";
  // The program's own answer to a file it could not delete.
  const UINT answer = notification == SPFILENOTIFY_DELETEERROR ? FILEOP_SKIP
                                                               : SetupDefaultQueueCallbackA(context, notification, param1, param2);
  if (g_notes.empty() || g_notes.back() != note) g_notes.push_back(note);
  return answer;
}

BOOL Commit(const Args&) {
  g_notes.clear();
  g_notifications = 0;
  const BOOL ok = SetupCommitFileQueueA(nullptr, S.queue, QueueCallback, S.context);
  std::string notes;
  for (const std::string& n : g_notes) Add(notes, n, ',');
  Out("notes", notes);
  return ok;
}

// Args: SOURCE SIZE [quiet]. The program's call: SPOST_PATH, no copy style, a
// name buffer. The name's shape (oemN.inf or another) is printed unless quiet.
BOOL CopyOem(const Args& a) {
  std::vector<char> buffer(Num(a[1]) + 1, '\0');
  const BOOL ok = SetupCopyOEMInfA(Str(a[0]), nullptr, SPOST_PATH, 0, buffer.data(), Num(a[1]), nullptr, nullptr);
  if (ok) {
    const std::string name = Lower(buffer.data()).substr(Lower(buffer.data()).find_last_of('\\') + 1);
    const bool oem = name.compare(0, 3, "oem") == 0 && name.find_first_not_of("0123456789", 3) == name.size() - 4;
    if (a.size() < 3 || a[2] != "quiet") Out("name", oem ? "oemN.inf" : Escaped(name));
    Out("out", Path(buffer.data()));
  }
  return ok;
}

BOOL Update(const Args& a) {
  auto update = reinterpret_cast<UpdateDriverForPlugAndPlayDevicesAFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(S.module, "UpdateDriverForPlugAndPlayDevicesA")));
  SetLastError(0xdeadbeef);
  return update && update(nullptr, a[0].c_str(), a[1].c_str(), Num(a[2]), nullptr);
}

BOOL Status(const Args&) {
  ULONG status = 0xdeadbeef, problem = 0xdeadbeef;
  const CONFIGRET r = CM_Get_DevNode_Status(&status, &problem, S.device.DevInst, 0);
  Out("cr", Hex(r)), Out("status", Hex(status)), Out("problem", Hex(problem));
  return r == CR_SUCCESS;
}

BOOL Find(const Args& a) {
  WIN32_FIND_DATAA data;
  S.find = FindFirstFileA(a[0].c_str(), &data);
  Out("find", Handle(S.find));
  if (S.find == INVALID_HANDLE_VALUE) return FALSE;
  std::set<std::string> names = {Lower(data.cFileName)};  // directory order is the file system's
  const DWORD error = GetLastError();
  while (FindNextFileA(S.find, &data)) names.insert(Lower(data.cFileName));
  Out("next_end", Hex(GetLastError()));
  std::string list;
  for (const std::string& n : names) Add(list, Escaped(n), ',');
  Out("names", list);
  SetLastError(error);
  return TRUE;
}

BOOL ReadAll(const Args& a) {
  char block[4096];
  DWORD read = 0, total = 0;
  BOOL ok;
  while ((ok = ReadFile(S.file, block, Num(a[0]), &read, nullptr)) && read) total += read;
  Out("total", std::to_string(total));
  return ok;
}

#ifdef _WIN32
// Args: {GUID} CLASS IDS [COMPATIBLE_IDS], ids joined by "|". A root-enumerated
// device of the class made as devcon makes one, which becomes the open list's
// device: the Wine tests' fixture, since Wine's own devices come back in the
// next process after a removal and a device made so stays removed.
BOOL Create(const Args& a) {
  GUID guid;
  std::string text = a[0].substr(1, 36), ids = a[2] + "||", compatible = a.size() > 3 ? a[3] + "||" : "";
  for (std::string* list : {&ids, &compatible}) std::replace(list->begin(), list->end(), '|', '\0');
  const auto setIds = [](DWORD property, const std::string& list) {
    return SetupDiSetDeviceRegistryPropertyA(S.set, &S.device, property, reinterpret_cast<const BYTE*>(list.data()),
                                             static_cast<DWORD>(list.size()));
  };
  if (UuidFromStringA(reinterpret_cast<RPC_CSTR>(text.data()), &guid) != RPC_S_OK) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  S.set = SetupDiCreateDeviceInfoList(&guid, nullptr);
  S.device.cbSize = sizeof S.device;
  return SetupDiCreateDeviceInfoA(S.set, a[1].c_str(), &guid, nullptr, nullptr, DICD_GENERATE_ID, &S.device) &&
         setIds(SPDRP_HARDWAREID, ids) && (compatible.empty() || setIds(SPDRP_COMPATIBLEIDS, compatible)) &&
         SetupDiCallClassInstaller(DIF_REGISTERDEVICE, S.set, &S.device);
}
#endif

using Call = std::function<BOOL(const Args&)>;
const std::map<std::string, std::pair<size_t, Call>> kCalls = {
    {"GetVersion", {0, [](const Args&) { Out("nt", Bool(!(GetVersion() & 0x80000000u))); return TRUE; }}},
    {"GetWindowsDirectoryA", {1, [](const Args& a) { return Directory<UINT>(a, GetWindowsDirectoryA); }}},
    {"GetSystemDirectoryA", {1, [](const Args& a) { return Directory<UINT>(a, GetSystemDirectoryA); }}},
    {"GetCurrentDirectoryA", {1, [](const Args& a) {
       return Directory<DWORD>(a, [](LPSTR b, DWORD n) { return GetCurrentDirectoryA(n, b); }); }}},
    {"GetUserDefaultLangID", {0, [](const Args&) { Out("lang", Hex(GetUserDefaultLangID())); return TRUE; }}},
    {"lstrlenA", {1, [](const Args& a) { Out("ret", std::to_string(lstrlenA(Str(a[0])))); return TRUE; }}},
    {"IsDBCSLeadByte", {1, [](const Args& a) { return IsDBCSLeadByte(static_cast<BYTE>(Num(a[0]))); }}},
    {"CharUpperA", {1, [](const Args& a) { std::string s = a[0]; CharUpperA(s.data()); Out("out", Escaped(s)); return TRUE; }}},
    {"FindFirstFileA", {1, Find}},
    {"FindClose", {0, [](const Args&) { return FindClose(S.find); }}},
    {"CopyFileA", {2, [](const Args& a) { return CopyFileA(a[0].c_str(), a[1].c_str(), FALSE); }}},
    {"DeleteFileA", {1, [](const Args& a) { return DeleteFileA(a[0].c_str()); }}},
    {"CreateFileA", {1, [](const Args& a) {
       S.file = CreateFileA(a[0].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
       Out("file", Handle(S.file));
       return S.file != INVALID_HANDLE_VALUE; }}},
    {"ReadFile", {1, ReadAll}},
    {"CloseHandle", {0, [](const Args&) { return CloseHandle(S.file); }}},
    {"LocalAlloc", {1, [](const Args& a) {
       S.local = LocalAlloc(LPTR, Num(a[0]));
       bool zero = S.local != nullptr;
       for (DWORD i = 0; zero && i < Num(a[0]); ++i) zero = static_cast<char*>(S.local)[i] == 0;
       Out("zeroed", zero ? "yes" : "no");
       return S.local != nullptr; }}},
    {"LocalFree", {0, [](const Args&) { Out("ret", Handle(LocalFree(S.local))); return TRUE; }}},
    {"LoadLibraryA", {1, [](const Args& a) { S.module = LoadLibraryA(a[0].c_str()); return S.module != nullptr; }}},
    {"GetProcAddress", {1, [](const Args& a) { return GetProcAddress(S.module, a[0].c_str()) != nullptr; }}},
    {"FreeLibrary", {0, [](const Args&) { return FreeLibrary(S.module); }}},
    {"GetPrivateProfileSectionA", {3, [](const Args& a) {
       std::vector<char> b(Num(a[1]) + 2, '\0');
       const DWORD n = GetPrivateProfileSectionA(a[0].c_str(), b.data(), Num(a[1]), a[2].c_str());
       Out("ret", std::to_string(n)), Out("out", MultiSz(b.data(), Num(a[1])));
       S.errorDefined = n + 2 == Num(a[1]);
       return TRUE; }}},
    {"GetPrivateProfileStringA", {4, [](const Args& a) {
       std::vector<char> b(Num(a[2]) + 2, '\0');
       const DWORD n = GetPrivateProfileStringA(a[0].c_str(), a[1].c_str(), nullptr, b.data(), Num(a[2]), a[3].c_str());
       Out("ret", std::to_string(n)), Out("out", Escaped(b.data()));
       S.errorDefined = n + 1 == Num(a[2]);
       return TRUE; }}},
    {"SetupDiGetClassDevsA", {1, [](const Args& a) {  // present|all [ENUMERATOR]
       S.set = SetupDiGetClassDevsA(nullptr, a.size() > 1 ? a[1].c_str() : nullptr, nullptr,
                                    a[0] == "present" ? DIGCF_PRESENT | DIGCF_ALLCLASSES : DIGCF_ALLCLASSES);
       return S.set != INVALID_HANDLE_VALUE; }}},
    {"SetupDiEnumDeviceInfo", {1, Select}},
    {"present", {1, Present}},
#ifdef _WIN32
    {"create", {3, Create}},
#endif
    {"SetupDiGetDeviceRegistryPropertyA", {2, GetProperty}},
    {"SetupDiSetDeviceRegistryPropertyA", {1, SetFlags}},
    {"SetupDiCallClassInstaller", {0, [](const Args&) { return SetupDiCallClassInstaller(DIF_REMOVE, S.set, &S.device); }}},
    {"SetupDiDestroyDeviceInfoList", {0, [](const Args&) { return SetupDiDestroyDeviceInfoList(S.set); }}},
    {"SetupDiBuildDriverInfoList", {0, [](const Args&) { return SetupDiBuildDriverInfoList(S.set, &S.device, SPDIT_COMPATDRIVER); }}},
    {"SetupDiEnumDriverInfoA", {1, EnumDriver}},
    {"SetupDiGetDriverInfoDetailA", {0, DriverDetail}},
    {"SetupDiDestroyDriverInfoList", {0, [](const Args&) { return SetupDiDestroyDriverInfoList(S.set, &S.device, SPDIT_COMPATDRIVER); }}},
    {"SetupOpenInfFileA", {1, [](const Args& a) {
       S.inf = SetupOpenInfFileA(a[0].c_str(), nullptr, INF_STYLE_WIN4, nullptr);
       Out("inf", Handle(S.inf));
       return S.inf != INVALID_HANDLE_VALUE; }}},
    {"SetupCloseInfFile", {0, [](const Args&) { SetupCloseInfFile(S.inf); return TRUE; }}},
    {"SetupDiGetActualSectionToInstallA", {2, ActualSection}},
    {"SetupOpenFileQueue", {0, [](const Args&) { S.queue = SetupOpenFileQueue(); Out("queue", Handle(S.queue)); return S.queue != INVALID_HANDLE_VALUE; }}},
    {"SetupInitDefaultQueueCallbackEx", {0, [](const Args&) { S.context = SetupInitDefaultQueueCallbackEx(nullptr, nullptr, 0, 0, nullptr); return S.context != nullptr; }}},
    {"SetupInstallFilesFromInfSectionA", {2, [](const Args& a) {
       return SetupInstallFilesFromInfSectionA(S.inf, nullptr, S.queue, a[0].c_str(), a[1].c_str(), SP_COPY_NEWER); }}},
    {"SetupCommitFileQueueA", {0, Commit}},
    {"SetupTermDefaultQueueCallback", {0, [](const Args&) { SetupTermDefaultQueueCallback(S.context); return TRUE; }}},
    {"SetupCloseFileQueue", {0, [](const Args&) { return SetupCloseFileQueue(S.queue); }}},
    {"SetupCopyOEMInfA", {2, CopyOem}},
    {"UpdateDriverForPlugAndPlayDevicesA", {3, Update}},
    {"CM_Get_DevNode_Status", {0, Status}},
    {"CM_Reenumerate_DevNode", {0, [](const Args&) { Out("cr", Hex(CM_Reenumerate_DevNode(S.device.DevInst, 0))); return TRUE; }}},
    {"CM_Reenumerate_DevNode_Ex", {0, [](const Args&) { Out("cr", Hex(CM_Reenumerate_DevNode_Ex(S.device.DevInst, 0, nullptr))); return TRUE; }}},
};

// ---- the case file ------------------------------------------------------

// A text with each \x{NN} replaced by that byte.
std::string Decoded(std::string text) {
  for (size_t at = 0; (at = text.find("\\x{", at)) != std::string::npos && at + 6 <= text.size(); ++at)
    text.replace(at, 6, 1, static_cast<char>(std::strtoul(text.substr(at + 3, 2).c_str(), nullptr, 16)));
  return text;
}

Args Tokens(const std::string& line) {
  Args out;
  for (size_t i = 0; i < line.size();) {
    if (line[i] == ' ' || line[i] == '\t') { ++i; continue; }
    const bool quoted = line[i] == '"';
    const size_t end = quoted ? line.find('"', i + 1) : line.find_first_of(" \t", i);
    std::string token = Decoded(line.substr(i + quoted, (end == std::string::npos ? line.size() : end) - i - quoted));
    for (const auto& [name, value] : {std::pair<std::string, std::string>{"%case%", S.dir}, {"%windir%", S.windir}, {"%sysdir%", S.sysdir}})
      for (size_t at; (at = token.find(name)) != std::string::npos;) token.replace(at, name.size(), value);
    out.push_back(token);
    i = end == std::string::npos ? line.size() : end + 1;
  }
  return out;
}

// Files are written, directories made and listed around the seam: the
// simulation's FindFirstFileA models only the program's "*.EXT" in the current
// directory. On Linux C: is the machine's drive_c and Z: the root, and a name
// not there as written is found whatever its case.
std::filesystem::path Host(const std::string& windowsPath) {
#ifdef _WIN32
  return windowsPath;
#else
  const char* machine = std::getenv("SETUP_MACHINE");
  std::filesystem::path host = Lower(windowsPath.substr(0, 2)) == "c:" && machine ? std::filesystem::path(machine) / "drive_c" : "/";
  std::error_code error;
  std::istringstream parts(windowsPath.substr(3));
  for (std::string part; std::getline(parts, part, '\\');) {
    std::filesystem::path next = host / part;
    if (!std::filesystem::exists(next, error))
      for (const auto& entry : std::filesystem::directory_iterator(host, error))
        if (Lower(entry.path().filename().string()) == Lower(part)) next = entry.path();
    host = next;
  }
  return host;
#endif
}

std::set<std::string> Listing(const std::string& dir) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(Host(dir), error)) names.insert(Lower(entry.path().filename().string()));
  return names;
}

void PrintEffects() {
  for (const std::string& dir : S.watched) {
    const std::set<std::string> now = Listing(dir);
    for (const std::string& n : now) if (!S.seen[dir].count(n)) std::printf("%s   + %s\n", S.id.c_str(), Path(dir + "\\" + n).c_str());
    for (const std::string& n : S.seen[dir]) if (!now.count(n)) std::printf("%s   - %s\n", S.id.c_str(), Path(dir + "\\" + n).c_str());
    S.seen[dir] = now;
  }
}

void WriteFile(const std::string& name, const std::string& text) {
  const std::filesystem::path path = Host(S.dir + "\\" + name);
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);  // a file in a subdirectory of the case
  FILE* f = std::fopen(path.string().c_str(), "wb");
  if (!f) return (void)std::fprintf(stderr, "conformance_probe: cannot write %s\n", name.c_str());
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

// ---- the profile reads (--profiles) -------------------------------------

const DWORD kCapacities[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 50, 100, 200, 10000};

// Each read at every capacity; the lines of a section's read at the
// program's capacity (10000, or 200 for install and copy sections) are those
// the walk follows.
std::vector<std::string> Section(const std::string& path, const std::string& name, DWORD program) {
  std::vector<std::string> lines;
  for (const DWORD size : kCapacities) {
    std::vector<char> b(size + 1, '\0');
    const DWORD n = GetPrivateProfileSectionA(name.c_str(), b.data(), size, path.c_str());
    size_t end = 0;  // the list's length, its final NUL included
    while (end < size && b[end]) end += strnlen(&b[end], size - end) + 1;
    std::printf("  section [%s] cap=%lu ret=%lu %s\n", Escaped(name, true).c_str(), static_cast<unsigned long>(size),
                static_cast<unsigned long>(n), Escaped(std::string(b.data(), std::min<size_t>(end + 1, size)), true).c_str());
    for (const char* p = b.data(); size == program && *p; p += std::strlen(p) + 1) lines.emplace_back(p);
  }
  return lines;
}

void Value(const std::string& path, const std::string& section, const std::string& line) {
  const std::string key = line.substr(0, line.find('='));
  for (const DWORD size : kCapacities) {
    std::vector<char> b(size + 1, '\0');
    const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), nullptr, b.data(), size, path.c_str());
    std::printf("  value [%s] %s cap=%lu ret=%lu %s\n", Escaped(section, true).c_str(), Escaped(key, true).c_str(),
                static_cast<unsigned long>(size), static_cast<unsigned long>(n), Escaped(b.data(), true).c_str());
  }
}

// The sections and keys the program reads from an INF file, at the
// capacities it reads them with.
void Profile(const std::string& path) {
  std::printf("== %s\n", path.c_str());
  const std::vector<std::string> manufacturer = Section(path, "Manufacturer", 10000);
  // The model section as the model scan names it (all lines joined, the text
  // after the first "="), and as the summary names it (first line, trimmed).
  std::set<std::string> models, installs, copies;
  std::string joined;
  for (const std::string& line : manufacturer) joined += line;
  if (joined.find('=') != std::string::npos) models.insert(joined.substr(joined.find('=') + 1));
  if (!manufacturer.empty() && manufacturer[0].find('=') != std::string::npos) {
    const std::string name = manufacturer[0].substr(manufacturer[0].find('=') + 1);
    const size_t first = name.find_first_not_of(" \t"), last = name.find_last_not_of(" \t");
    models.insert(first == std::string::npos ? "" : name.substr(first, last - first + 1));
  }
  for (const std::string& model : models)
    for (const std::string& line : Section(path, model, 10000)) {
      const size_t eq = line.find('='), comma = line.find(',');
      if (eq != std::string::npos && comma != std::string::npos && eq < comma) installs.insert(line.substr(eq + 1, comma - eq - 1));
    }
  for (const char* section : {"Strings", "Version", "DestinationDirs"})
    for (const std::string& line : Section(path, section, 10000)) Value(path, section, line);
  for (const std::string& install : installs)
    for (const char* decoration : {"", ".NT", ".NTamd64"})
      for (const std::string& line : Section(path, install + decoration, 200)) {
        const size_t at = line.find("CopyFiles"), eq = at == std::string::npos ? at : line.find('=', at);
        for (size_t from = eq; from != std::string::npos && from + 1 < line.size(); from = line.find(',', from + 1))
          copies.insert(line.substr(from + 1, line.find(',', from + 1) - from - 1));
      }
  for (const std::string& copy : copies) Section(path, copy, 200);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return std::fprintf(stderr, "usage: conformance_probe SCRATCH CASES | --profiles LIST\n"), 2;
  const bool profiles = std::strcmp(argv[1], "--profiles") == 0;
  S.scratch = argv[1];
  char directory[MAX_PATH];
  GetWindowsDirectoryA(directory, sizeof directory), S.windir = directory;
  GetSystemDirectoryA(directory, sizeof directory), S.sysdir = directory;
  FILE* cases = std::fopen(Host(argv[2]).string().c_str(), "rb");
  if (!cases) return std::fprintf(stderr, "conformance_probe: cannot read %s\n", argv[2]), 2;
  char raw[4096];
  std::string inf, infText;
  bool inInf = false;
  while (std::fgets(raw, sizeof raw, cases)) {
    std::string line(raw);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (profiles) {
      if (!line.empty()) Profile(line);
      continue;
    }
    if (inInf) {
      if (line == ".") WriteFile(inf, infText), inInf = false;
      else infText += Decoded(line) + "\r\n";
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    const Args t = Tokens(line);
    if (t[0] == "case") {
      S.id = t.at(1), S.dir = S.scratch + "\\" + S.id, S.infs.clear(), S.watched.clear(), S.seen.clear();
      std::error_code error;
      std::filesystem::create_directories(Host(S.dir), error), std::filesystem::current_path(Host(S.dir), error);
    } else if (t[0] == "inf") {
      inf = t.at(1), infText.clear(), inInf = true;
      S.infs.insert(Lower(inf.substr(0, inf.find_last_of('.'))));
    } else if (t[0] == "file") {
      WriteFile(t.at(1), t.size() > 2 ? t[2] : "");
    } else if (t[0] == "watch") {
      S.watched.push_back(t.at(1)), S.seen[t[1]] = Listing(t[1]);
    } else {
      const auto call = kCalls.find(t[0]);
      if (call == kCalls.end() || t.size() - 1 < call->second.first)
        return std::fprintf(stderr, "conformance_probe: bad line: %s\n", line.c_str()), 2;
      S.out.clear();
      S.errorDefined = false;
      SetLastError(0xdeadbeef);
      const Args args(t.begin() + 1, t.end());
      const BOOL ok = call->second.second(args);
      const DWORD error = GetLastError();
      std::string shown;
      for (const std::string& arg : args) {
        const std::string text = arg.find('\\') == std::string::npos ? Escaped(arg) : Path(arg);
        shown += arg.find(' ') == std::string::npos && !arg.empty() ? " " + text : " \"" + text + "\"";
      }
      const std::string err = !ok || S.errorDefined ? " err=" + Hex(error) : "";
      std::printf("%s %s%s -> %s%s%s\n", S.id.c_str(), t[0].c_str(), shown.c_str(), Bool(ok).c_str(), err.c_str(),
                  S.out.c_str());
      PrintEffects();
    }
  }
  std::fclose(cases);
  return 0;
}
