// Prints what the profile reader returns for the sections and keys the
// program reads from INF files, so that the simulated reader and the real
// platform's can be compared file by file.
//
//   profile_dump [--every-capacity] LIST   LIST holds one Windows path of an INF file per line
//
// Every read shows its capacity, its return value and the bytes it produced
// (up to the end of the list or text), with bytes outside printable ASCII as
// \xNN. Reads are made at the capacities the program uses; with
// --every-capacity each is also made at every capacity from 1 to 16 and at
// 50, 100, 200 and 10000, where cutting a text and ending a list show.
#include "platform/win32.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

std::string Escaped(const char* bytes, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\0') {
      out += "|";
    } else if (c < 0x20 || c >= 0x7F || c == '\\' || c == '|') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// Length of a multi-string list in a buffer, its final NUL included.
size_t ListLength(const char* buffer, size_t size) {
  size_t i = 0;
  while (i < size && buffer[i]) i += strnlen(buffer + i, size - i) + 1;
  return i < size ? i + 1 : size;
}

std::vector<DWORD> g_extraCapacities;  // --every-capacity

std::vector<std::string> ReadSectionAt(const std::string& path, const std::string& name, DWORD size) {
  std::vector<char> buffer(size + 1, '\0');
  const DWORD n = GetPrivateProfileSectionA(name.c_str(), buffer.data(), size, path.c_str());
  std::printf("  section [%s] cap=%lu ret=%lu %s\n", Escaped(name.data(), name.size()).c_str(),
              static_cast<unsigned long>(size), static_cast<unsigned long>(n),
              Escaped(buffer.data(), ListLength(buffer.data(), size)).c_str());
  std::vector<std::string> lines;
  for (const char* p = buffer.data(); *p; p += std::strlen(p) + 1) lines.emplace_back(p);
  return lines;
}

void ReadValueAt(const std::string& path, const std::string& section, const std::string& key, DWORD size) {
  std::vector<char> buffer(size + 1, '\0');
  const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), nullptr, buffer.data(), size, path.c_str());
  std::printf("  value [%s] %s cap=%lu ret=%lu %s\n", Escaped(section.data(), section.size()).c_str(),
              Escaped(key.data(), key.size()).c_str(), static_cast<unsigned long>(size),
              static_cast<unsigned long>(n), Escaped(buffer.data(), std::strlen(buffer.data())).c_str());
}

// The read at the program's capacity gives the lines the dump follows.
std::vector<std::string> ReadSection(const std::string& path, const std::string& name, DWORD size) {
  for (DWORD capacity : g_extraCapacities)
    if (capacity != size) ReadSectionAt(path, name, capacity);
  return ReadSectionAt(path, name, size);
}

void ReadValue(const std::string& path, const std::string& section, const std::string& key, DWORD size) {
  for (DWORD capacity : g_extraCapacities)
    if (capacity != size) ReadValueAt(path, section, key, capacity);
  ReadValueAt(path, section, key, size);
}

std::string KeyOf(const std::string& line) { return line.substr(0, line.find('=')); }

std::string Trim(std::string s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.erase(s.begin());
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

void Dump(const std::string& path) {
  std::printf("== %s\n", path.c_str());
  const std::vector<std::string> manufacturer = ReadSection(path, "Manufacturer", 10000);

  // The model section as the model scan names it (all lines joined, the text
  // after the first "="), and as the summary names it (first line, trimmed).
  std::set<std::string> modelSections;
  std::string joined;
  for (const std::string& line : manufacturer) joined += line;
  if (joined.find('=') != std::string::npos) modelSections.insert(joined.substr(joined.find('=') + 1));
  if (!manufacturer.empty() && manufacturer[0].find('=') != std::string::npos)
    modelSections.insert(Trim(manufacturer[0].substr(manufacturer[0].find('=') + 1)));

  std::set<std::string> installSections;
  for (const std::string& name : modelSections) {
    for (const std::string& line : ReadSection(path, name, 10000)) {
      const size_t eq = line.find('='), comma = line.find(',');
      if (eq != std::string::npos && comma != std::string::npos && eq < comma)
        installSections.insert(line.substr(eq + 1, comma - eq - 1));
    }
  }

  for (const char* section : {"Strings", "Version"})
    for (const std::string& line : ReadSection(path, section, 10000)) ReadValue(path, section, KeyOf(line), 10000);
  for (const std::string& line : ReadSection(path, "DestinationDirs", 10000))
    ReadValue(path, "DestinationDirs", KeyOf(line), 50);

  std::set<std::string> copySections;
  for (const std::string& install : installSections) {
    for (const char* decoration : {"", ".NT", ".NTamd64"}) {
      for (const std::string& line : ReadSection(path, install + decoration, 200)) {
        const size_t at = line.find("CopyFiles");
        const size_t eq = at == std::string::npos ? std::string::npos : line.find('=', at);
        if (eq == std::string::npos) continue;
        std::string list = line.substr(eq + 1);
        while (!list.empty()) {
          const size_t comma = list.find(',');
          copySections.insert(list.substr(0, comma));
          list = comma == std::string::npos ? "" : list.substr(comma + 1);
        }
      }
    }
  }
  for (const std::string& copy : copySections) ReadSection(path, copy, 200);
}

}  // namespace

int main(int argc, char** argv) {
  const bool every = argc == 3 && std::strcmp(argv[1], "--every-capacity") == 0;
  if (argc != 2 && !every) {
    std::fprintf(stderr, "usage: profile_dump [--every-capacity] LIST\n");
    return 2;
  }
  if (every) {
    for (DWORD capacity = 1; capacity <= 16; ++capacity) g_extraCapacities.push_back(capacity);
    g_extraCapacities.insert(g_extraCapacities.end(), {50, 100, 200, 10000});
  }
  FILE* list = std::fopen(argv[argc - 1], "rb");
  if (!list) {
    std::fprintf(stderr, "profile_dump: cannot read %s\n", argv[argc - 1]);
    return 2;
  }
  char line[4096];
  while (std::fgets(line, sizeof line, list)) {
    std::string path(line);
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    if (!path.empty()) Dump(path);
  }
  std::fclose(list);
  return 0;
}
