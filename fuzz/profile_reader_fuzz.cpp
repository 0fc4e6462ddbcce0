// The profile reader on arbitrary file bytes: every read, at every capacity
// the program uses and at the smallest ones, stays inside its buffer and
// hands back a well-formed list or text.
#include "fuzz/fuzz_support.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"

#include <cstring>
#include <memory>
#include <set>
#include <vector>

namespace {

// Section names worth asking for: the program's own, and the headers the
// input itself holds.
std::set<std::string> Names(const uint8_t* data, size_t size) {
  std::set<std::string> names{"Manufacturer", "Version", "Strings", "DestinationDirs", "", "A"};
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (size_t open = text.find('['); open != std::string::npos && names.size() < 16; open = text.find('[', open + 1)) {
    const size_t close = text.find_first_of("]\r\n", open + 1);
    if (close == std::string::npos) break;
    names.insert(text.substr(open + 1, close - open - 1));
  }
  return names;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::Setup& setup = fuzz::Once();
  fuzz::WriteFile(setup.package / "fuzz.inf", data, size);
  const std::string path = sim::WindowsPathOf(setup.package / "fuzz.inf");
  // Both code pages: 936 reads double-byte characters, 1252 does not.
  sim::CurrentMachine().language = (size & 1) ? 0x0804 : 0x0409;
  for (const std::string& name : Names(data, size)) {
    for (DWORD capacity : {10000u, 200u, 50u, 3u, 2u, 1u}) {
      // Exactly the capacity, so that the sanitizer sees any byte written past it.
      std::unique_ptr<char[]> buffer(new char[capacity]);
      const DWORD n = GetPrivateProfileSectionA(name.c_str(), buffer.get(), capacity, path.c_str());
      if (capacity >= 2) {
        Check(n <= capacity - 2);
        size_t offset = 0;
        while (offset < capacity && buffer[offset]) offset += strnlen(buffer.get() + offset, capacity - offset) + 1;
        Check(offset < capacity);
        // Each line is asked for as a key of the same section.
        for (size_t at = 0; at < capacity && buffer[at]; at += std::strlen(buffer.get() + at) + 1) {
          std::string key(buffer.get() + at);
          key = key.substr(0, key.find('='));
          std::unique_ptr<char[]> value(new char[50]);
          const DWORD m = GetPrivateProfileStringA(name.c_str(), key.c_str(), nullptr, value.get(), 50, path.c_str());
          Check(m < 50 && m == std::strlen(value.get()));
        }
      }
    }
  }
  return 0;
}
