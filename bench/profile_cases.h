// The files the profile readers are measured on, shared by the Linux
// benchmark and the Windows program run under Wine: one case a line of a
// tab-separated file,
//   name  Windows-path  section  key  bytes
// where section is the file's last section and key its last key, the reads
// that cost a reader walking the file from its start the most.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

struct ProfileCase {
  std::string name;
  std::string path;  // Windows path (Z:\... for a Linux file)
  std::string section;
  std::string key;
  unsigned long long bytes = 0;
};

// Reads the cases file; an unreadable or malformed file gives no cases.
inline std::vector<ProfileCase> ReadProfileCases(const char* file) {
  std::vector<ProfileCase> cases;
  FILE* in = std::fopen(file, "rb");
  if (!in) return cases;
  char line[4096];
  while (std::fgets(line, sizeof line, in)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = text.find('\t', start)) != std::string::npos; start = tab + 1)
      fields.push_back(text.substr(start, tab - start));
    fields.push_back(text.substr(start));
    if (fields.size() != 5) continue;
    cases.push_back(ProfileCase{fields[0], fields[1], fields[2], fields[3], std::strtoull(fields[4].c_str(), nullptr, 10)});
  }
  std::fclose(in);
  return cases;
}

// Capacities of the reads: the program's section buffer, and a value buffer.
constexpr unsigned kBenchSectionCapacity = 10000;
constexpr unsigned kBenchValueCapacity = 1000;

}  // namespace bench
