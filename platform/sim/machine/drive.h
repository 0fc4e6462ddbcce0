// The file operations of the simulation, by Linux path. Drive C of a machine
// is either its directory's drive_c/ on disk, written through at every change
// so that a run killed at any point leaves the old file or the new one, or a
// tree held in memory (a machine made by CreateMachineInMemory), which the
// fuzzers restore to a checkpoint after every input. Every other path (drive
// Z, the machine directory) is the disk's. Callers never need to know which:
// a memory drive's paths lie under a root no Windows path of drive Z can map
// to, since ':' is not allowed in a file name.
#pragma once

#include "platform/sim/machine/machine.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

namespace sim {

// Whether `path` lies on the open machine's drive held in memory.
bool HeldInMemory(const fs::path& path);
// What stat tells of the file or directory at `path`; false when there is none.
// A memory drive's files get a fresh inode number at every write, unique
// among all memory drives, and each memory drive is a device of its own, so
// that a cache's freshness rule sees each change and tells the drives apart.
bool StatPath(const fs::path& path, struct stat& info);
bool IsDirectoryPath(const fs::path& path);
// The names in a directory (UTF-8, as Linux holds them); false when `dir` is
// not a directory.
bool ListDirectory(const fs::path& dir, std::vector<std::string>& names);
// Whether the directory at `dir` (a Linux path's text) holds a file or
// directory named `name` exactly; a memory drive answers without copying either.
bool HasEntry(std::string_view dir, std::string_view name);
// The first name in the directory at `dir`, in the order ListDirectory gives
// them, for which `match` is true, or nullopt; a memory drive's names are not copied.
std::optional<std::string> FindInDirectory(std::string_view dir, const std::function<bool(const std::string&)>& match);
// Every regular file in and below `dir`.
std::vector<fs::path> FilesUnder(const fs::path& dir);
// The whole of a regular file, as ReadWholeFile reads one from disk.
bool ReadFileBytes(const fs::path& path, std::string& out, struct stat* info = nullptr, size_t limit = SIZE_MAX);
// Creates or replaces a file with `bytes`: on disk written beside it and
// renamed over it. False when its directory is missing or it is a directory.
bool WriteFileBytes(const fs::path& path, std::string_view bytes);
bool MakeDirectories(const fs::path& dir);
// Copies a regular file, keeping its modification time, and replaces the
// target as WriteFileBytes does. Works across drives.
bool CopyFileBytes(const fs::path& from, const fs::path& to);
// Renames a file within its drive; false across drives.
bool RenamePath(const fs::path& from, const fs::path& to);
bool RemoveFile(const fs::path& path);
// Whether two existing directories are the same one.
bool SameDirectory(const fs::path& a, const fs::path& b);

// A file as a cache read it: its stat as of the read and, when the stat alone
// cannot tell a later rewrite, its bytes.
struct FileSnapshot {
  struct stat info {};
  std::optional<std::string> bytes;
  // For a file of a memory drive, the count of memory-drive changes as of the read; 0 for a file on disk.
  uint64_t memoryChanges = 0;
};
// ReadFileBytes, and the snapshot a cache keeps of what it read.
bool ReadSnapshot(const fs::path& path, std::string& out, FileSnapshot& snapshot, size_t limit = SIZE_MAX);
// The freshness rule: the file at `path` is the one of the snapshot when one
// stat shows the same device, inode, size, modification time and change time.
// On disk, time stamps advance in steps of a few milliseconds, so a file that
// had changed (by either time) within two seconds before it was read may be
// rewritten within one step without its stat changing: its snapshot keeps its
// bytes, and they are compared as well. A memory drive's inode numbers tell
// every write apart.
bool Unchanged(const fs::path& path, const FileSnapshot& snapshot);
// Whether a memory drive's file is as its snapshot read it, known without a
// look at the file: a count of the changes to memory drives (a file,
// directory or name made, written or removed, a drive restored to its
// checkpoint, another drive opened) never goes back, and the snapshot keeps
// the count of its read. A cache that keeps a parse checks this on every call.
bool UnchangedSinceSnapshot(const FileSnapshot& snapshot);

// A file of the open memory machine's drive changed since its checkpoint.
struct DriveChange {
  std::string path;                   // its Linux path, as MapWindowsPath gives it
  std::optional<std::string> before;  // its bytes at the checkpoint; nullopt: it did not exist
  std::optional<std::string> now;     // its bytes now; nullopt: it does not exist
};
// The files changed since the checkpoint, in the order of their paths
// (written back or not: a file rewritten with its old bytes is listed too).
std::vector<DriveChange> ChangesSinceCheckpoint();

namespace internal {
// Tells the file operations which memory drive is the open machine's drive C
// (null: it is on disk). Called whenever a machine is opened.
void UseDrive(MemoryDrive* drive);
// The memory drive's part of CheckpointMachine and RestoreMachine.
void CheckpointDrive(MemoryDrive& drive);
void RestoreDrive(MemoryDrive& drive);
std::shared_ptr<MemoryDrive> NewMemoryDrive();
// The root a memory drive's paths lie under.
fs::path MemoryDriveRoot();
}  // namespace internal

}  // namespace sim
