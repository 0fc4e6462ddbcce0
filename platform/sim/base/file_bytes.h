// Whole files of the host file system, read in one piece, and the one rule by
// which a cache of what was parsed from a file tells that the file is still
// the one it read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include <sys/stat.h>

namespace sim {

// The whole content of a regular file. False when it cannot be opened or read
// to its end, or when it holds more than `limit` bytes: `out` is then left
// empty, as a file is never read in part. `info`, when given, receives the
// file's stat as of the read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& out, struct stat* info = nullptr,
                   size_t limit = SIZE_MAX);

// A file as a cache read it: its stat as of the read and, when the stat alone
// cannot tell a later rewrite, its bytes.
struct FileSnapshot {
  struct stat info {};
  std::optional<std::string> bytes;
};
// ReadWholeFile, and the snapshot a cache keeps of what it read.
bool ReadSnapshot(const std::filesystem::path& path, std::string& out, FileSnapshot& snapshot, size_t limit = SIZE_MAX);
// The freshness rule: the file at `path` is the one of the snapshot when one
// stat shows the same device, inode, size, modification time and change time.
// Time stamps advance in steps of a few milliseconds, so a file that had
// changed (by either time) within two seconds before it was read may be
// rewritten within one step without its stat changing: its snapshot keeps its
// bytes, and they are compared as well. `now`, when given, receives the stat.
bool Unchanged(const std::filesystem::path& path, const FileSnapshot& snapshot, struct stat* now = nullptr);

}  // namespace sim
