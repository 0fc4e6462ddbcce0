// File calls made again when a signal interrupts them. A timer of the process
// (a fuzzer's, a profiler's, a test's) whose handler is installed without
// SA_RESTART makes a system call that was waiting or copying fail with EINTR,
// having done nothing or part of its work: the kernel's sendfile under
// std::filesystem::copy_file does so for a file of any size (and, made again,
// starts from nothing, so the simulation copies by reads and writes), and
// open, read, write, rename and unlink may on network and user-space file
// systems. Such a failure says nothing about the file, so it is never
// reported as one.
//
// libstdc++'s fstreams need none of this: their reads, writes and close are
// made again on EINTR inside the library.
#pragma once

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <system_error>
#include <type_traits>

#include <sys/types.h>

namespace sim {

// A signal every few microseconds interrupts a copy now and then, never this
// many times in a row; a bound still keeps a call from spinning for ever.
inline constexpr int kInterruptedTries = 1000;

// `call(ec)`, a std::filesystem call with its error_code overload, made again
// while it fails with errc::interrupted; returns what its last try returned,
// `ec` as that try left it. The call must be one that can start over: a copy
// overwrites, a removal finds less to remove.
template <class Call>
decltype(auto) Uninterrupted(std::error_code& ec, Call&& call) {
  for (int tries = 1;; ++tries) {
    ec.clear();
    if constexpr (std::is_void_v<std::invoke_result_t<Call&, std::error_code&>>) {
      call(ec);
      if (ec != std::errc::interrupted || tries == kInterruptedTries) return;
    } else {
      auto result = call(ec);
      if (ec != std::errc::interrupted || tries == kInterruptedTries) return result;
    }
  }
}

// The same for a caller that lets a failure throw, as the overload without
// error_code does; `path` names the file in the exception.
template <class Call>
decltype(auto) Uninterrupted(const std::filesystem::path& path, Call&& call) {
  std::error_code ec;
  if constexpr (std::is_void_v<std::invoke_result_t<Call&, std::error_code&>>) {
    Uninterrupted(ec, call);
    if (ec) throw std::filesystem::filesystem_error("file operation", path, ec);
  } else {
    auto result = Uninterrupted(ec, call);
    if (ec) throw std::filesystem::filesystem_error("file operation", path, ec);
    return result;
  }
}

// `call()`, a system call that returns -1 and sets errno on failure, made
// again while it fails with EINTR.
template <class Call>
auto Restarted(Call&& call) {
  auto result = call();
  for (int tries = 1; result == -1 && errno == EINTR && tries < kInterruptedTries; ++tries) result = call();
  return result;
}

// Reads until `size` bytes are in or the file ends: the count read (less than
// `size` only at the end), or -1 on an error.
ssize_t ReadFully(int fd, void* data, size_t size);
// Writes all `size` bytes: false on an error, some of them perhaps written.
bool WriteFully(int fd, const void* data, size_t size);

}  // namespace sim
