// preview: what the program makes of a driver package, before a user runs it.
//
//   preview PACKAGE_DIR              what setup reads from the package's INF
//   preview --device-id PACKAGE_DIR  the hardware id examples/run gives its device
//
// Everything shown comes from the program's own code run over a scratch
// simulated machine: its start-up (the INF search and the summary), its model
// scan, and an install followed by an uninstall with the delete option
// checked, whose deletions are read from the transcript. Only the checks of
// the input and the reasons for empty lists read the INF by other means (the
// setup library's reading, and the profile reader the model scan uses).
//
// Exit codes: 0 shown; 2 a package that cannot be previewed (no directory, no
// INF file, a file the INF names that is missing, an unreadable file), or a
// command line that cannot be understood.
#include "app/app_state.h"
#include "app/bounded_text.h"
#include "app/entry.h"
#include "app/multi_string.h"
#include "inf/inf.h"
#include "install/install.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/pnp/pnp.h"
#include "platform/sim/setupapi/driver_package.h"
#include "platform/sim/user32/user32.h"
#include "res/resource.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using sim::AnsiToUtf8;

constexpr char kUsage[] = "usage: preview [--device-id] PACKAGE_DIR\n";

struct Box {
  std::string text, caption;
};
std::vector<Box> g_boxes;

// Every message box the program shows is noted and answered as OK.
int NoteBox(HWND, std::string_view text, std::string_view caption, UINT) {
  g_boxes.push_back({AnsiToUtf8(text), AnsiToUtf8(caption)});
  return IDOK;
}

std::vector<std::string> ListOf(const char* list) {
  std::vector<std::string> out;
  ForEachString(list, kListCapacity, [&](const char* text, size_t length) {
    out.emplace_back(text, length);
    return true;
  });
  return out;
}

bool EndsWithInf(const std::string& name) {
  return name.size() > 4 && sim::EqualsNoCase(std::string_view(name).substr(name.size() - 4), ".inf");
}

// Why a file cannot be read, or "" when it can be read whole.
std::string Unreadable(const fs::path& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) return "it is a directory";
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::strerror(errno);
  char block[4096];
  while (in.read(block, sizeof block)) {
  }
  return in.bad() ? std::strerror(errno) : "";
}

// The problems that stop a preview, each a line for the user.
std::vector<std::string> CheckPackage(const fs::path& dir, std::vector<std::string>& infs) {
  std::vector<std::string> problems;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec))
    if (EndsWithInf(entry.path().filename().string())) infs.push_back(entry.path().filename().string());
  if (ec) return {"cannot list " + dir.string() + ": " + ec.message()};
  std::sort(infs.begin(), infs.end());
  if (infs.empty()) return {"no INF file in " + dir.string() + " (setup looks for *.inf in its own directory)"};
  const std::string prefix = sim::WindowsPathOf(dir) + "\\";
  for (const std::string& name : infs) {
    if (std::string why = Unreadable(dir / name); !why.empty()) {
      problems.push_back("cannot read " + name + ": " + why);
      continue;
    }
    // The files an install copies: those of the install sections that the
    // setup library's models name and those the program's own scan names.
    AppState = ProgramState{};
    const std::string inf = sim::WindowsPathOf(dir / name);
    if (!JoinText(AppState.InfPath, {inf.c_str()})) {
      problems.push_back(name + ": the path " + inf + " does not fit setup's " + std::to_string(kPathCapacity) +
                         "-byte buffer");
      continue;
    }
    ScanInfModels(AppState.InfPath);
    const sim::PackageReading reading = sim::ReadDriverPackage(inf, ListOf(AppState.InstallSectionList));
    std::vector<std::string> missing, unreadable;
    for (const std::string& source : reading.sourceFiles) {
      const sim::HostPath host = sim::MapWindowsPath(source);
      std::string shown = AnsiToUtf8(source);
      if (sim::EqualsNoCase(std::string_view(source).substr(0, prefix.size()), prefix))
        shown = AnsiToUtf8(source.substr(prefix.size()));
      if (!host.ok() || !fs::exists(host.host, ec)) missing.push_back(shown);
      else if (std::string why = Unreadable(host.host); !why.empty()) unreadable.push_back(shown + " (" + why + ")");
    }
    if (!missing.empty()) {
      std::string line = name + " names files the directory lacks:";
      for (const std::string& m : missing) line += "\n    " + m;
      problems.push_back(line);
    }
    for (const std::string& u : unreadable) problems.push_back("cannot read " + u + ", which " + name + " names");
  }
  return problems;
}

// Why the model scan gave nothing, read with the profile reader the scan
// itself uses; then what Windows' own reading finds, for comparison.
std::string WhyEmpty(const char* infPath) {
  static char section[kSectionCapacity];
  if (GetPrivateProfileSectionA("Manufacturer", section, sizeof section, infPath) == 0)
    return "the INF has no [Manufacturer] section with a line in it, so there is no model section to read.";
  std::vector<std::string> lines;
  std::string joined;
  ForEachString(section, sizeof section, [&](const char* text, size_t length) {
    lines.emplace_back(text, length);
    joined.append(text, length);
    return true;
  });
  std::string why, subject = "The first [Manufacturer] entry, \"" + AnsiToUtf8(joined) + "\",";
  if (lines.size() > 1) {
    why = "[Manufacturer] has " + std::to_string(lines.size()) +
          " entries, and setup reads them as one line joined without separators (\"" + AnsiToUtf8(joined) + "\"). ";
    subject = "That line";
  }
  if (joined.size() >= kWorkingLineCapacity)
    return why + subject + " is " + std::to_string(joined.size()) + " characters long, and setup refuses one of " +
           std::to_string(kWorkingLineCapacity) + " or more.";
  const size_t equals = joined.find('=');
  if (equals == std::string::npos) return why + subject + " has no \"=\", so it names no model section.";
  const std::string name = joined.substr(equals + 1);
  if (GetPrivateProfileSectionA(name.c_str(), section, sizeof section, infPath) != 0)
    return why + subject + " names the section \"" + AnsiToUtf8(name) +
           "\", which has no model line of the form description = install section, hardware id.";
  why += subject + " names the section \"" + AnsiToUtf8(name) + "\", and no section has that name.";
  if (name.find(',') != std::string::npos)
    why += " setup reads the name as written, the platform decorations after the \",\" included.";
  return why;
}

std::string WindowsReading(const sim::PackageReading& platform) {
  if (platform.models.empty())
    return "Windows itself reads no model with a hardware id from the INF for this machine either.";
  return "Windows itself reads the models from [" + AnsiToUtf8(platform.models[0].modelsSection) + "] (" +
         std::to_string(platform.models.size()) + " model" + (platform.models.size() == 1 ? "" : "s") +
         ", first hardware id " + AnsiToUtf8(platform.models[0].hardwareId) + ").";
}

// A paragraph cut at blanks into lines of at most 100 columns, each after `indent`.
void PrintWrapped(const std::string& text, const std::string& indent) {
  constexpr size_t kWidth = 100;
  std::string line = indent;
  bool empty = true;  // the line holds no word yet
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    if (!empty && line.size() + 1 + word.size() > kWidth) {
      std::cout << line << "\n";
      line = indent + "  ";
      empty = true;
    }
    line += (empty ? "" : " ") + word;
    empty = false;
    at = end + 1;
  }
  std::cout << line << "\n";
}

std::string Result(int32_t result) {
  switch (result) {
    case ResultPreinstalled: return "staged the package";
    case ResultDone: return "done";
    default: return "failed";
  }
}

// An install, then an uninstall with the delete option checked, on the
// scratch machine with a present device of `deviceId` (none when empty).
struct DeleteRun {
  int32_t install = 0, uninstall = 0;
  std::vector<std::string> copied, deleted, stagedDeleted;
};
DeleteRun RunDeleteOption(const std::string& deviceId) {
  DeleteRun run;
  if (!deviceId.empty()) {
    sim::Device device;
    device.hardware_ids = {deviceId};
    sim::AddDevice(device);
  }
  const size_t start = sim::Transcript().size();
  AppState.MainWindow = nullptr;
  run.install = PerformAction(ActionInstall);
  // The dialog's delete option, checked as a user checks it after HELP.
  HWND dialog = sim::NewTestDialog(IDD_MAIN);
  CheckDlgButton(dialog, IDC_DELETE_FILES, BST_CHECKED);
  AppState.MainWindow = dialog;
  const size_t between = sim::Transcript().size();
  run.uninstall = PerformAction(ActionUninstall);
  AppState.MainWindow = nullptr;
  const std::string infDir = sim::InfDirectory() + "\\";
  auto inInfDir = [&](const std::string& path) {
    return sim::EqualsNoCase(std::string_view(path).substr(0, infDir.size()), infDir);
  };
  const auto& events = sim::Transcript();
  for (size_t i = start; i < events.size(); ++i) {
    const std::string event = events[i].value("event", "");
    if (event == "file_copy" && i < between) {
      const std::string to = events[i]["to"].get<std::string>();
      if (!inInfDir(to)) run.copied.push_back(to);
    } else if (event == "file_delete" && i >= between) {
      const std::string path = events[i]["path"].get<std::string>();
      (inInfDir(path) ? run.stagedDeleted : run.deleted).push_back(path);
    }
  }
  return run;
}

int Preview(const fs::path& dir, bool deviceIdOnly) {
  std::vector<std::string> infs;
  const std::vector<std::string> problems = CheckPackage(dir, infs);
  if (!problems.empty()) {
    for (const std::string& p : problems) std::cerr << "preview: " << dir.string() << ": " << p << "\n";
    return 2;
  }

  // The program's start-up, as a silent run makes it: an argument that is no
  // switch runs the INF search, the summary and the platform check, and no action.
  AppState = ProgramState{};
  g_boxes.clear();
  AppEntry(sim::ProgramInstance(), "-");
  const std::vector<Box> startBoxes = g_boxes;
  if (!AppState.InfPath[0]) {
    std::cerr << "preview: " << dir.string() << ": setup found no INF file it can use (its path may be too long)\n";
    return 2;
  }
  ScanInfModels(AppState.InfPath);
  const std::vector<std::string> ids = ListOf(AppState.HardwareIdList);
  const std::vector<std::string> sections = ListOf(AppState.InstallSectionList);
  const sim::PackageReading platform = sim::ReadDriverPackage(AppState.InfPath, sections);
  // The device is the hardware the package is for: the first hardware id of
  // Windows' own reading of the models, which is what such a device reports,
  // or the program's first id where Windows reads none.
  std::string deviceId = ids.empty() ? "" : ids[0];
  const bool windowsId = !platform.models.empty() && !platform.models[0].hardwareId.empty();
  if (windowsId) deviceId = platform.models[0].hardwareId;
  if (deviceIdOnly) {
    if (!deviceId.empty()) std::cout << AnsiToUtf8(deviceId) << "\n";
    return 0;
  }

  const std::string infName = AnsiToUtf8(std::strrchr(AppState.InfPath, '\\') + 1);
  std::cout << "== What setup reads from " << infName << "\n";
  if (infs.size() > 1) {
    std::cout << "  The directory has " << infs.size() << " INF files; setup starts with " << infName
              << ", the first its directory search returns, and /S and /U use only that one.\n";
  }
  for (const Box& box : startBoxes)
    std::cout << "  At start setup shows a message box: \"" << box.text << "\" (" << box.caption << ")\n";
  if (platform.error)
    std::cout << "  Windows' setup library does not open this INF (error " << platform.error
              << "), so no install of it can succeed.\n";
  for (const sim::PackageSection& s : platform.sections)
    if (s.error)
      std::cout << "  Windows' setup library cannot queue the files of [" << AnsiToUtf8(s.actual) << "] (error "
                << s.error << "): an install from it fails.\n";
  std::cout << "  The summary, as the dialog shows it:\n";
  const std::string summary = AnsiToUtf8(AppState.SummaryText);
  if (summary.empty()) std::cout << "    (empty)\n";
  for (size_t at = 0; at < summary.size();) {
    size_t end = summary.find("\r\n", at);
    if (end == std::string::npos) end = summary.size();
    std::cout << "    | " << summary.substr(at, end - at) << "\n";
    at = end + 2;
  }

  if (ids.empty()) {
    std::cout << "  The model scan: no hardware ids and no install sections.\n";
    PrintWrapped("Why: " + WhyEmpty(AppState.InfPath) + " " + WindowsReading(platform), "    ");
  } else {
    std::cout << "  The model scan, in order (/S tries the ids in turn; /U removes the first present device\n"
                 "  whose hardware id begins with one of them):\n";
    for (size_t i = 0; i < ids.size(); ++i) {
      std::cout << "    " << i + 1 << ". " << AnsiToUtf8(ids[i]) << "    install section " << AnsiToUtf8(sections[i])
                << "\n";
      if (ids[i].find(',') != std::string::npos)
        std::cout << "       (everything after the model line's first \",\", compatible ids included: no device\n"
                     "       has this as one id, so neither /S nor /U matches it)\n";
      else if (ids[i].find('%') != std::string::npos)
        std::cout << "       (setup uses the id as written: it does not replace %strings%, Windows does)\n";
    }
  }

  const DeleteRun run = RunDeleteOption(deviceId);
  if (ids.empty()) {
    PrintWrapped(std::string("What follows: setup /S has no hardware id to update, so it ") +
                     (run.install == ResultPreinstalled ? "only stages the package (exit code 0)"
                                                        : "fails (exit code 1)") +
                     (platform.models.empty() ? "." : "; a device Windows matches installs from the staged "
                                                      "package when it is plugged in.") +
                     " setup /U has no hardware id to match: it removes nothing and " +
                     (run.uninstall == ResultFailed ? "exits 1." : "exits 0."),
                 "    ");
  }
  if (!deviceId.empty())
    std::cout << "  The device it is for: " << AnsiToUtf8(deviceId)
              << (windowsId ? " (the first hardware id Windows itself reads from the INF)\n"
                            : " (setup's first id: Windows reads no model from the INF for this machine)\n");
  std::cout << "  An uninstall with the delete option, after an install"
            << (deviceId.empty() ? " with no device present (the package names no hardware id; " : " on that device (")
            << "install " << Result(run.install) << ", uninstall " << Result(run.uninstall) << "):\n";
  if (run.deleted.empty()) std::cout << "    deletes no driver file\n";
  for (const std::string& path : run.deleted) std::cout << "    deletes " << path << "\n";
  for (const std::string& path : run.stagedDeleted)
    std::cout << "    deletes " << path << " (the staged package, as every uninstall does)\n";
  bool left = false;
  for (const std::string& path : run.copied)
    if (std::find(run.deleted.begin(), run.deleted.end(), path) == run.deleted.end()) {
      std::cout << "    leaves " << path << ", which the install copied\n";
      left = true;
    }
  if (left)
    std::cout << "    (setup deletes only what the CopyFiles lines of its install sections send to directory\n"
                 "    id 10, the Windows directory, or 11, the system directory)\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const bool deviceIdOnly = !args.empty() && args[0] == "--device-id";
  if (deviceIdOnly) args.erase(args.begin());
  if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
    std::cerr << kUsage;
    return 2;
  }
  std::error_code ec;
  const fs::path dir = fs::absolute(args[0], ec);
  if (ec || !fs::is_directory(dir, ec)) {
    std::cerr << "preview: " << args[0] << " is not a directory\n";
    return 2;
  }
  // The scratch machine, its echo off: what the program did is shown from
  // the transcript instead.
  setenv("SETUP_SIM_ECHO", "0", 1);
  char pattern[] = "/tmp/setup-preview-XXXXXX";
  if (!mkdtemp(pattern)) {
    std::cerr << "preview: cannot make a scratch directory: " << std::strerror(errno) << "\n";
    return 1;
  }
  const fs::path scratch = pattern;
  const fs::path previous = fs::current_path();
  int code = 1;
  try {
    sim::CreateMachine(scratch / "machine");
    sim::SetMessageBoxPresenter(NoteBox);
    fs::current_path(dir);
    code = Preview(fs::canonical(dir), deviceIdOnly);
  } catch (const std::exception& e) {
    std::cerr << "preview: " << e.what() << "\n";
  }
  fs::current_path(previous, ec);
  fs::remove_all(scratch, ec);
  return code;
}
