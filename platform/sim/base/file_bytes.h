// Whole files of the host file system, read in one piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include <sys/stat.h>

namespace sim {

// The whole content of a regular file. False when it cannot be opened or read
// to its end, or when it holds more than `limit` bytes: `out` is then left
// empty, as a file is never read in part. `info`, when given, receives the
// file's stat as of the read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& out, struct stat* info = nullptr,
                   size_t limit = SIZE_MAX);

}  // namespace sim
