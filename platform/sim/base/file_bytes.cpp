// Reading a whole file with the system calls themselves: a call that a signal
// interrupts is made again, so a timer of the process never makes a file look
// unreadable.
#include "platform/sim/base/file_bytes.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

bool ReadWholeFile(const std::filesystem::path& path, std::string& out) {
  out.clear();
  int fd;
  do fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return false;
  }
  out.resize(static_cast<size_t>(info.st_size));
  size_t done = 0;
  for (;;) {
    if (done == out.size()) out.resize(out.size() + 4096);  // the file may have grown since fstat
    const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      out.clear();
      return false;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  out.resize(done);
  return true;
}

}  // namespace sim
