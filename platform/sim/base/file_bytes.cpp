// Reading a whole file with the system calls themselves: a call that a signal
// interrupts is made again, so a timer of the process never makes a file look
// unreadable.
#include "platform/sim/base/file_bytes.h"
#include "platform/sim/base/interrupted.h"

#include <algorithm>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

namespace sim {
namespace {

bool ReadOpen(int fd, std::string& out, struct stat& info, size_t limit) {
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<uintmax_t>(info.st_size) > limit) return false;
  out.resize(static_cast<size_t>(info.st_size));
  size_t done = 0;
  for (;;) {
    if (done == out.size()) {
      if (done == limit) return false;                          // grown past the limit since fstat
      out.resize(done + std::min<size_t>(4096, limit - done));  // the file may have grown since fstat
    }
    const ssize_t n = ReadFully(fd, out.data() + done, out.size() - done);
    if (n < 0) return false;
    done += static_cast<size_t>(n);
    if (done < out.size()) break;  // the end of the file
  }
  out.resize(done);
  return true;
}

bool SameStamp(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

}  // namespace

bool ReadWholeFile(const std::filesystem::path& path, std::string& out, struct stat* info, size_t limit) {
  const int fd = Restarted([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); });
  struct stat own;
  const bool ok = fd >= 0 && ReadOpen(fd, out, info ? *info : own, limit);
  if (fd >= 0) ::close(fd);
  if (!ok) out.clear();
  return ok;
}

bool ReadSnapshot(const std::filesystem::path& path, std::string& out, FileSnapshot& snapshot, size_t limit) {
  snapshot.bytes.reset();
  if (!ReadWholeFile(path, out, &snapshot.info, limit)) return false;
  struct timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  if (now.tv_sec - snapshot.info.st_mtim.tv_sec <= 2 || now.tv_sec - snapshot.info.st_ctim.tv_sec <= 2)
    snapshot.bytes = out;
  return true;
}

bool Unchanged(const std::filesystem::path& path, const FileSnapshot& snapshot, struct stat* now) {
  struct stat own;
  struct stat& info = now ? *now : own;
  if (::stat(path.c_str(), &info) != 0 || !SameStamp(snapshot.info, info)) return false;
  if (!snapshot.bytes) return true;
  std::string bytes;
  return ReadWholeFile(path, bytes, nullptr, snapshot.bytes->size()) && bytes == *snapshot.bytes;
}

}  // namespace sim
