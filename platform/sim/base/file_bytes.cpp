// Reading a whole file with the system calls themselves: a call that a signal
// interrupts is made again, so a timer of the process never makes a file look
// unreadable.
#include "platform/sim/base/file_bytes.h"
#include "platform/sim/base/interrupted.h"

#include <algorithm>

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
      if (done == limit) {
        // Exactly `limit` bytes, unless the file has grown past it since fstat.
        char more;
        if (ReadFully(fd, &more, 1) != 0) return false;
        break;
      }
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

}  // namespace

bool ReadWholeFile(const std::filesystem::path& path, std::string& out, struct stat* info, size_t limit) {
  const int fd = Restarted([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); });
  struct stat own;
  const bool ok = fd >= 0 && ReadOpen(fd, out, info ? *info : own, limit);
  if (fd >= 0) ::close(fd);
  if (!ok) out.clear();
  return ok;
}

}  // namespace sim
