// The model scan and the driver summary on arbitrary INF text: the two lists
// stay well-formed inside their buffers and in step with each other, no entry
// is longer than the working line that cut it, a hardware id never keeps a
// blank at either end, a second scan of the same file stores the same bytes,
// and the summary is a terminated text of at most 99 characters.
#include "fuzz/fuzz_support.h"
#include "inf/inf.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

// Whether `size` bytes are all zero: one comparison, where a loop over the
// buffer's 10,000 bytes cost a coverage hook for each.
bool Zeros(const char* bytes, size_t size) {
  static const char zeros[kListCapacity] = {};
  return size <= kListCapacity && std::memcmp(bytes, zeros, size) == 0;
}

// The entries of a list held in `capacity` bytes; fails unless the list ends
// in an empty string inside its buffer with nothing but zeros after it.
std::vector<std::string> Entries(const char* list, size_t capacity, const char* name) {
  std::vector<std::string> entries;
  size_t offset = 0;
  while (offset < capacity && list[offset]) {
    const void* end = std::memchr(list + offset, '\0', capacity - offset);
    FUZZ_CHECK(end != nullptr, std::string(name) + ": an entry runs to the end of the buffer");
    const size_t length = static_cast<size_t>(static_cast<const char*>(end) - (list + offset));
    entries.emplace_back(list + offset, length);
    offset += length + 1;
  }
  FUZZ_CHECK(offset < capacity, std::string(name) + ": no empty string ends the list inside its buffer");
  FUZZ_CHECK(Zeros(list + offset, capacity - offset), std::string(name) + ": a byte after the end of the list is not zero");
  return entries;
}

bool Blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartInput(data, size, size & 1);
  const std::string& path = fuzz::kInf;

  // A scan must leave nothing of the previous file's lists behind.
  std::memset(AppState.HardwareIdList, 'x', kListCapacity);
  std::memset(AppState.InstallSectionList, 'x', kListCapacity);
  ScanInfModels(path.c_str());
  const std::vector<std::string> ids = Entries(AppState.HardwareIdList, kListCapacity, "HardwareIdList");
  // Entry n of one list comes from model entry n, and so does entry n of the
  // other. An install-section name may be empty (readers of that list stop
  // there), so that list is walked by the id list's count.
  size_t offset = 0;
  for (size_t n = 0; n < ids.size(); ++n) {
    const void* end = std::memchr(AppState.InstallSectionList + offset, '\0', kListCapacity - offset);
    FUZZ_CHECK(end != nullptr, "InstallSectionList has fewer entries than HardwareIdList");
    const size_t length = static_cast<size_t>(static_cast<const char*>(end) - (AppState.InstallSectionList + offset));
    FUZZ_CHECK(length < kWorkingLineCapacity, "an install-section name of 100 bytes or more");
    offset += length + 1;
  }
  FUZZ_CHECK(offset < kListCapacity, "InstallSectionList: no empty string ends the list inside its buffer");
  FUZZ_CHECK(Zeros(AppState.InstallSectionList + offset, kListCapacity - offset),
             "InstallSectionList holds more entries than HardwareIdList");
  for (const std::string& id : ids) {
    FUZZ_CHECK(id.size() < kWorkingLineCapacity, "a hardware id of 100 bytes or more: " + id);
    FUZZ_CHECK(!Blank(id.front()) && !Blank(id.back()), "a hardware id with a blank at one end: [" + id + "]");
  }

  // The same file again: the same bytes at the same places, every byte of both lists.
  std::unique_ptr<char[]> firstIds(new char[kListCapacity]), firstSections(new char[kListCapacity]);
  std::memcpy(firstIds.get(), AppState.HardwareIdList, kListCapacity);
  std::memcpy(firstSections.get(), AppState.InstallSectionList, kListCapacity);
  ScanInfModels(path.c_str());
  FUZZ_CHECK(std::memcmp(firstIds.get(), AppState.HardwareIdList, kListCapacity) == 0, "a rescan changed HardwareIdList");
  FUZZ_CHECK(std::memcmp(firstSections.get(), AppState.InstallSectionList, kListCapacity) == 0,
              "a rescan changed InstallSectionList");

  // The summary into a buffer of exactly its size, so that the sanitizer sees
  // any byte written past it. It starts empty, as both callers pass it.
  std::unique_ptr<char[]> summaryBuffer(new char[kDriverSummaryCapacity]);
  auto& summary = *reinterpret_cast<char(*)[kDriverSummaryCapacity]>(summaryBuffer.get());
  summary[0] = '\0';
  const bool built = BuildDriverSummary(path.c_str(), summary);
  FUZZ_CHECK(std::memchr(summary, '\0', kDriverSummaryCapacity) != nullptr, "the summary is not NUL-ended inside its 100 bytes");
  FUZZ_CHECK(built || summary[0] == '\0', "a summary that failed is not empty");
  // A summary only ever shows the "Manufacturer" message, with no owner.
  for (const auto& box : sim::TranscriptOf("message_box"))
    FUZZ_CHECK(box["owner"].is_null(), "a message box of the summary has an owner");

  sim::LedgerCheckLeaks();
  FUZZ_CHECK(sim::LedgerViolations().empty(),
              "handle ledger: " + (sim::LedgerViolations().empty() ? std::string() : sim::LedgerViolations().front()));
  fuzz::Done();
  return 0;
}
