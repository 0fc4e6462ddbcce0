// Every INF file of the corpus reads without error or overrun, at the
// capacities the program uses and at the smallest ones.
#include "tests/support/sim_fixture.h"
#include "platform/sim/machine/paths.h"

#include <cstring>
#include <set>

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> CorpusFiles() {
  std::vector<fs::path> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(INF_CORPUS_DIR, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (it->is_regular_file() && name != "README.md" && name.find(".tsv") == std::string::npos)
      files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Section names by a plain look at the header lines; UTF-16 text is looked at
// through its low bytes, which is enough for the ASCII names of INF files.
std::set<std::string> HeaderNames(const std::string& bytes) {
  std::string text;
  const bool utf16 = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
  for (size_t i = utf16 ? 2 : 0; i < bytes.size(); i += utf16 ? 2 : 1) text += bytes[i];
  std::set<std::string> names{"Version", "Manufacturer", "Strings", "DestinationDirs", "SourceDisksFiles"};
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    const size_t open = line.find_first_not_of(" \t");
    const size_t close = line.rfind(']');
    if (open != std::string::npos && line[open] == '[' && close != std::string::npos && close > open)
      names.insert(line.substr(open + 1, close - open - 1));
  }
  return names;
}

// A buffer with guard bytes on both sides.
struct Guarded {
  explicit Guarded(size_t size) : bytes(size + 32, '\x5A'), size(size) {}
  char* data() { return bytes.data() + 16; }
  bool GuardsIntact() const {
    for (size_t i = 0; i < 16; ++i)
      if (bytes[i] != '\x5A' || bytes[16 + size + i] != '\x5A') return false;
    return true;
  }
  std::string bytes;
  size_t size;
};

class ProfileCorpus : public test::SimTest {};

TEST_F(ProfileCorpus, EveryFileReadsWithinItsBuffers) {
  if (!fs::is_directory(INF_CORPUS_DIR)) GTEST_SKIP() << "INF corpus not found at " << INF_CORPUS_DIR << ": skipped";
  const std::vector<fs::path> files = CorpusFiles();
  ASSERT_GE(files.size(), 100u);
  size_t sectionsRead = 0, valuesRead = 0;
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.string());
    const std::string path = sim::WindowsPathOf(file);
    for (const std::string& name : HeaderNames(test::ReadFile(file))) {
      for (size_t size : {10000u, 200u, 3u, 2u}) {
        Guarded buffer(size);
        const DWORD n = GetPrivateProfileSectionA(name.c_str(), buffer.data(), static_cast<DWORD>(size), path.c_str());
        ASSERT_TRUE(buffer.GuardsIntact()) << "[" << name << "] size " << size;
        ASSERT_LE(n, size - 2) << "[" << name << "] size " << size;
        // The list ends with an empty string inside the buffer.
        const char* p = buffer.data();
        size_t offset = 0;
        while (offset < size && p[offset]) offset += strnlen(p + offset, size - offset) + 1;
        ASSERT_LT(offset, size) << "[" << name << "] size " << size << " does not end as a list";
        if (size == 10000 && n > 0) ++sectionsRead;
      }
      if (name == "Strings" || name == "Version" || name == "DestinationDirs") {
        char lines[10000];
        GetPrivateProfileSectionA(name.c_str(), lines, sizeof lines, path.c_str());
        for (const char* line = lines; *line; line += std::strlen(line) + 1) {
          const std::string key = std::string(line).substr(0, std::string(line).find('='));
          for (size_t size : {10000u, 50u, 1u}) {
            Guarded value(size);
            const DWORD n = GetPrivateProfileStringA(name.c_str(), key.c_str(), nullptr, value.data(),
                                                     static_cast<DWORD>(size), path.c_str());
            ASSERT_TRUE(value.GuardsIntact()) << name << "/" << key;
            ASSERT_LT(n, size);
            ASSERT_EQ(n, std::strlen(value.data()));
            ++valuesRead;
          }
        }
      }
    }
  }
  EXPECT_GT(sectionsRead, 1000u);
  EXPECT_GT(valuesRead, 1000u);
}

}  // namespace
