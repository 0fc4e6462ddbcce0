// A drive held in memory: what the file operations of drive.h act on for a
// machine made by CreateMachineInMemory, and the states of that machine that
// a checkpoint and a new process go back to.
#pragma once

#include "platform/sim/machine/machine.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

#include <sys/types.h>

namespace sim {

// A file or directory of a memory drive. Directories list their children's
// names, so that a directory is read without a walk over the whole drive.
struct MemoryNode {
  bool directory = false;
  std::string bytes;
  struct timespec modified {}, changed {};
  uint64_t id = 0;  // its inode number: new at every write
  std::set<std::string, std::less<>> children;
};

// Looks nodes up by a view of their key: a path's key is a substring of its text,
// and is not copied to be looked up.
struct KeyHash {
  using is_transparent = void;
  size_t operator()(std::string_view key) const { return std::hash<std::string_view>()(key); }
};

struct MemoryDrive {
  // By the path below the drive's root, components joined by '/'; the root is "".
  std::unordered_map<std::string, MemoryNode, KeyHash, std::equal_to<>> nodes;
  dev_t device = 0;  // what a stat of its files tells as st_dev
  // After a checkpoint: each node changed since, as it was then (nullopt: absent).
  bool journaling = false;
  std::map<std::string, std::optional<MemoryNode>, std::less<>> undo;
  // The machine (devices, settings) as last saved, which a new process finds,
  // and as at the checkpoint. Kept without their drive, which is this one.
  Machine saved, checkpoint;
};

// A machine state as the drive keeps it, which must not hold the drive itself
// (a cycle of shared pointers would never be freed).
inline Machine Detached(const Machine& m) {
  Machine copy = m;
  copy.memory.reset();
  return copy;
}

}  // namespace sim
