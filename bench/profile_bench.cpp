// The profile readers, GetPrivateProfileSectionA and GetPrivateProfileStringA,
// of the simulated platform on large INF files, against the limit: one plain
// pass over the file (read it, count its lines with memchr).
//
//   profile_bench --make-files DIR   writes the generated INF files and DIR/cases.tsv
//   profile_bench CASES [--benchmark_...]
//
// "Warm" reads a file whose parse the reader has kept, as every read after the
// first in one action does; "Cold" forgets the kept parses first, so a call
// reads and parses the whole file. The same cases are read by
// wine_profile_bench.exe under Wine, so that both readers are measured on the
// same files in the same run.
#include "bench/bench_support.h"
#include "bench/profile_cases.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using bench::ProfileCase;

// ---- the files ------------------------------------------------------------

// One model of a driver package that offers many devices: its model line,
// install section, file list and description. Vendor F00D is invented.
struct ModelText {
  std::string model, install, strings;
};
ModelText GeneratedModel(unsigned n) {
  char line[512];
  ModelText t;
  std::snprintf(line, sizeof line, "%%Dev%05u.Desc%% = Dev%05u_Install, PCI\\VEN_F00D&DEV_%04X&SUBSYS_%08X\r\n", n, n,
                n % 0x10000, n * 2654435761u);
  t.model = line;
  std::snprintf(line, sizeof line,
                "[Dev%05u_Install.NT]\r\nCopyFiles = Dev%05u_Files\r\nAddReg = Dev%05u_AddReg\r\n\r\n"
                "[Dev%05u_Files]\r\ndev%05u.sys\r\n\r\n",
                n, n, n, n, n);
  t.install = line;
  std::snprintf(line, sizeof line, "Dev%05u.Desc = \"Example Devices PCI function %05u\"\r\n", n, n);
  t.strings = line;
  return t;
}

// An INF of about `target` bytes: the shape of a large vendor package, with
// the models, then an install section and a file list for each, then the
// strings last.
std::string GeneratedInf(size_t target) {
  const std::string head =
      "; A generated driver package of many models, for the benchmarks of the profile readers.\r\n\r\n"
      "[Version]\r\nSignature = \"$Windows NT$\"\r\nClass = System\r\n"
      "ClassGuid = {4D36E97D-E325-11CE-BFC1-08002BE10318}\r\nProvider = %Mfg%\r\nDriverVer = 04/01/2024,2.3.4.5\r\n\r\n"
      "[Manufacturer]\r\n%Mfg% = Models,NTamd64\r\n\r\n[Models.NTamd64]\r\n";
  const std::string middle = "\r\n[DestinationDirs]\r\nDefaultDestDir = 12\r\n\r\n";
  const std::string tail = "\r\n[Strings]\r\nMfg = \"Example Devices Ltd.\"\r\n";
  const ModelText one = GeneratedModel(0);
  const size_t per = one.model.size() + one.install.size() + one.strings.size();
  const size_t count = (target - head.size() - middle.size() - tail.size()) / per;
  std::string models, installs, strings;
  for (unsigned n = 0; n < count; ++n) {
    ModelText t = GeneratedModel(n);
    models += t.model;
    installs += t.install;
    strings += t.strings;
  }
  return head + models + "\r\n" + installs + middle + tail + strings;
}

// The file's last section and the last key in it, found by a plain reading of
// its lines (a UTF-16 file read through its low bytes, which is enough for
// ASCII names).
void LastSectionAndKey(const std::string& bytes, std::string& section, std::string& key) {
  std::string text;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) text += bytes[i + 1] ? '?' : bytes[i];
  } else {
    text = bytes;
  }
  auto trim = [](std::string s) {
    const char* blanks = " \t\r\n";
    s.erase(0, s.find_first_not_of(blanks));
    s.erase(s.find_last_not_of(blanks) + 1);
    return s;
  };
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line, '\n')) {
    line = trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[' && line.find(']') != std::string::npos) {
      section = trim(line.substr(1, line.rfind(']') - 1));
      key.clear();
    } else if (line.find('=') != std::string::npos) {
      key = trim(line.substr(0, line.find('=')));
    }
  }
}

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string ZPath(const fs::path& path) {
  std::string out = "Z:" + fs::canonical(path).string();
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

int MakeFiles(const fs::path& dir) {
  fs::create_directories(dir);
  std::ofstream cases(dir / "cases.tsv", std::ios::binary);
  auto add = [&](const std::string& name, const fs::path& file) {
    const std::string bytes = ReadWhole(file);
    std::string section, key;
    LastSectionAndKey(bytes, section, key);
    cases << name << '\t' << ZPath(file) << '\t' << section << '\t' << key << '\t' << bytes.size() << '\n';
  };
  // The largest INF files of the corpus; netrtwlans.inf is UTF-16.
  const fs::path corpus = INF_CORPUS_DIR;
  for (const char* file : {"reactos/hdc.inf", "universaladbdriver/android_winusb.inf", "reactos/ks.inf",
                           "wds-checkout/netrtwlans.inf"}) {
    if (fs::is_regular_file(corpus / file)) add(fs::path(file).filename().string(), corpus / file);
    else std::fprintf(stderr, "profile_bench: %s not found in the corpus, left out\n", file);
  }
  for (const auto& [name, size] : {std::pair<const char*, size_t>{"generated-1MB.inf", 1u << 20},
                                   std::pair<const char*, size_t>{"generated-10MB.inf", 10u << 20}}) {
    const fs::path file = dir / name;
    std::ofstream(file, std::ios::binary) << GeneratedInf(size);
    // An old time stamp, as a driver package has: the reader compares a file
    // written in the last two seconds byte for byte before trusting its parse.
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(1));
    add(name, file);
  }
  return 0;
}

// ---- the measurements -----------------------------------------------------

std::vector<ProfileCase> g_cases;
std::vector<fs::path> g_hostPaths;

// The limit: the file read once from the page cache and its lines counted.
size_t PlainPass(const char* path, std::vector<char>& buffer) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat info;
  ::fstat(fd, &info);
  buffer.resize(static_cast<size_t>(info.st_size));
  size_t done = 0;
  while (done < buffer.size()) {
    const ssize_t n = ::read(fd, buffer.data() + done, buffer.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  size_t lines = 0;
  const char* p = buffer.data();
  const char* end = p + done;
  while (const void* nl = std::memchr(p, '\n', static_cast<size_t>(end - p))) {
    ++lines;
    p = static_cast<const char*>(nl) + 1;
  }
  return lines;
}

void Plain(benchmark::State& state, size_t c) {
  std::vector<char> buffer;
  size_t lines = 0;
  for (auto _ : state) {
    lines = PlainPass(g_hostPaths[c].c_str(), buffer);
    benchmark::DoNotOptimize(lines);
  }
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["bytes"] = static_cast<double>(g_cases[c].bytes);
}

void Section(benchmark::State& state, size_t c, bool cold) {
  const ProfileCase& k = g_cases[c];
  static char buffer[bench::kBenchSectionCapacity];
  DWORD n = 0;
  GetPrivateProfileSectionA(k.section.c_str(), buffer, sizeof buffer, k.path.c_str());
  for (auto _ : state) {
    if (cold) sim::ResetProcessState();
    n = GetPrivateProfileSectionA(k.section.c_str(), buffer, sizeof buffer, k.path.c_str());
    benchmark::DoNotOptimize(buffer);
  }
  if (n == 0) state.SkipWithError(("section [" + k.section + "] not read").c_str());
  state.counters["ret"] = n;
  state.counters["bytes"] = static_cast<double>(k.bytes);
}

void String(benchmark::State& state, size_t c) {
  const ProfileCase& k = g_cases[c];
  static char buffer[bench::kBenchValueCapacity];
  DWORD n = 0;
  GetPrivateProfileStringA(k.section.c_str(), k.key.c_str(), "", buffer, sizeof buffer, k.path.c_str());
  for (auto _ : state) {
    n = GetPrivateProfileStringA(k.section.c_str(), k.key.c_str(), "", buffer, sizeof buffer, k.path.c_str());
    benchmark::DoNotOptimize(buffer);
  }
  if (n == 0) state.SkipWithError(("[" + k.section + "] " + k.key + " not read").c_str());
  state.counters["ret"] = n;
  state.counters["bytes"] = static_cast<double>(k.bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--make-files") == 0) return MakeFiles(argv[2]);
  if (argc < 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: profile_bench --make-files DIR\n       profile_bench CASES [--benchmark_...]\n");
    return 2;
  }
  g_cases = bench::ReadProfileCases(argv[1]);
  if (g_cases.empty()) {
    std::fprintf(stderr, "profile_bench: no cases in %s\n", argv[1]);
    return 2;
  }
  setenv("SETUP_SIM_ECHO", "0", 1);
  bench::ScratchDir scratch("profile");
  sim::CreateMachine(scratch.path() / "machine");
  for (size_t c = 0; c < g_cases.size(); ++c) {
    g_hostPaths.push_back(sim::HostPathOf(g_cases[c].path));
    const std::string& name = g_cases[c].name;
    benchmark::RegisterBenchmark(("Profile/Plain/" + name).c_str(), Plain, c);
    benchmark::RegisterBenchmark(("Profile/Section/" + name + "/Warm").c_str(), Section, c, false);
    benchmark::RegisterBenchmark(("Profile/String/" + name + "/Warm").c_str(), String, c);
    benchmark::RegisterBenchmark(("Profile/Section/" + name + "/Cold").c_str(), Section, c, true);
  }
  argv[1] = argv[0];
  --argc;
  ++argv;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
