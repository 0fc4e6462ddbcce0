#include "platform/sim/base/interrupted.h"

#include <unistd.h>

namespace sim {

ssize_t ReadFully(int fd, void* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = Restarted([&] { return ::read(fd, static_cast<char*>(data) + done, size - done); });
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

bool WriteFully(int fd, const void* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = Restarted([&] { return ::write(fd, static_cast<const char*>(data) + done, size - done); });
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace sim
