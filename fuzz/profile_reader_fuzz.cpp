// The profile reader on arbitrary file bytes: every read, at every capacity
// the program uses and at the smallest ones, stays inside its buffer and
// hands back a well-formed list or text.
#include "fuzz/fuzz_support.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace {

// Section names worth asking for: the program's own, and the headers the
// input itself holds.
std::set<std::string> Names(const uint8_t* data, size_t size) {
  std::set<std::string> names{"Manufacturer", "Version", "Strings", "DestinationDirs", "", "A"};
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (size_t open = text.find('['); open != std::string::npos && names.size() < 16; open = text.find('[', open + 1)) {
    const size_t close = text.find_first_of("]\r\n", open + 1);
    if (close == std::string::npos) break;
    names.emplace(text.substr(open + 1, close - open - 1));
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartInput(data, size, size & 1);
  const std::string& path = fuzz::kInf;
  // Each buffer exactly its capacity, so that the sanitizer sees any byte
  // written past it; made once per input, since a read must not depend on
  // what a buffer held before.
  constexpr DWORD kCapacities[] = {10000, 200, 50, 3, 2, 1};
  std::unique_ptr<char[]> buffers[std::size(kCapacities)];
  for (size_t i = 0; i < std::size(kCapacities); ++i) buffers[i].reset(new char[kCapacities[i]]);
  std::unique_ptr<char[]> value(new char[50]);
  // The keys point into the buffers, which keep the listings of one name
  // until the next name is read, each with its hash, so that the sort that
  // finds the distinct ones rarely compares texts; made once, since a string
  // and a node for each key cost more than the reads, and as large as they
  // can grow (a listing of the largest buffer holds at most one key for
  // every two bytes), since libFuzzer runs an input again when it ends
  // holding more memory than it started with.
  static std::vector<std::pair<size_t, std::string_view>> keys = [] {
    std::vector<std::pair<size_t, std::string_view>> made;
    made.reserve(kCapacities[0]);
    return made;
  }();
  static std::string key(kCapacities[0], '\0');
  for (const std::string& name : Names(data, size)) {
    // Each line of every listing is asked for as a key of the same section:
    // the lines of the smaller listings are those of the largest, but for the
    // one cut at its end. Each distinct key is asked once.
    keys.clear();
    for (size_t i = 0; i < std::size(kCapacities); ++i) {
      const DWORD capacity = kCapacities[i];
      char* buffer = buffers[i].get();
      const DWORD n = GetPrivateProfileSectionA(name.c_str(), buffer, capacity, path.c_str());
      if (capacity < 2) continue;
      FUZZ_CHECK(n <= capacity - 2, name + ": the count leaves no room for the list's two ends");
      size_t offset = 0;
      while (offset < capacity && buffer[offset]) offset += strnlen(buffer + offset, capacity - offset) + 1;
      FUZZ_CHECK(offset < capacity, name + ": no empty string ends the list inside its buffer");
      for (size_t at = 0; at < capacity && buffer[at]; at += std::strlen(buffer + at) + 1) {
        const std::string_view line(buffer + at);
        const std::string_view keyName = line.substr(0, line.find('='));
        keys.emplace_back(std::hash<std::string_view>()(keyName), keyName);
      }
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    for (const auto& [hash, view] : keys) {
      key.assign(view);
      const DWORD m = GetPrivateProfileStringA(name.c_str(), key.c_str(), nullptr, value.get(), 50, path.c_str());
      FUZZ_CHECK(m < 50 && m == std::strlen(value.get()), name + ": a value's count is not its length");
    }
  }
  fuzz::Done();
  return 0;
}
