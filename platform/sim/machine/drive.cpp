// Files on disk, and drive C held in memory with a journal of what changed
// since a checkpoint.
#include "platform/sim/machine/drive.h"

#include "platform/sim/base/file_bytes.h"
#include "platform/sim/base/interrupted.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/memory_drive.h"

#include <algorithm>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

namespace sim {

namespace {

// Each memory drive is a device of its own, numbered above this one ("mem"),
// and every node written on any of them gets a new inode number: a stat of a
// memory drive's file tells it apart from every other file and version.
constexpr dev_t kMemoryDevices = static_cast<dev_t>(0x6d656d) << 32;
bool IsMemoryDevice(dev_t device) { return (device >> 32) == (kMemoryDevices >> 32); }
uint64_t g_nextNode = 1;

bool SameStamp(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

struct timespec Now() {
  struct timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  return now;
}

// The open machine's drive C when it is held in memory.
MemoryDrive* g_open = nullptr;
uint64_t g_memoryChanges = 1;

// The memory drive a path (its Linux text) lies on and its key there, a
// substring of that text; null for a path on disk.
MemoryDrive* OnMemoryDrive(std::string_view text, std::string_view& key) {
  if (!g_open) return nullptr;
  static const std::string root = (internal::MemoryDriveRoot() / "drive_c").string();
  if (text.compare(0, root.size(), root) != 0 || (text.size() > root.size() && text[root.size()] != '/')) return nullptr;
  key = text.size() > root.size() ? text.substr(root.size() + 1) : std::string_view();
  while (!key.empty() && key.back() == '/') key.remove_suffix(1);
  return g_open;
}
MemoryDrive* OnMemoryDrive(const fs::path& path, std::string_view& key) {
  return OnMemoryDrive(std::string_view(path.native()), key);
}

std::string_view ParentKey(std::string_view key) {
  const size_t slash = key.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : key.substr(0, slash);
}
std::string_view NameOf(std::string_view key) { return key.substr(key.rfind('/') + 1); }

MemoryNode* Find(MemoryDrive& drive, std::string_view key) {
  auto it = drive.nodes.find(key);
  return it == drive.nodes.end() ? nullptr : &it->second;
}

// Called before a node changes, and so the one place that counts every
// change: the first change since the checkpoint keeps the node as it was.
void Journal(MemoryDrive& drive, std::string_view key) {
  ++g_memoryChanges;
  if (!drive.journaling || drive.undo.count(key)) return;
  const MemoryNode* node = Find(drive, key);
  drive.undo.emplace(std::string(key), node ? std::optional<MemoryNode>(*node) : std::nullopt);
}

// Enters `key` in its parent directory's list (or takes it out), the parent
// journalled first.
void Link(MemoryDrive& drive, std::string_view key, bool linked) {
  const std::string_view parent = ParentKey(key);
  Journal(drive, parent);
  auto& children = drive.nodes[std::string(parent)].children;
  if (linked) {
    children.emplace(NameOf(key));
  } else if (auto it = children.find(NameOf(key)); it != children.end()) {
    children.erase(it);
  }
}

MemoryNode* Directory(MemoryDrive& drive, std::string_view key) {
  MemoryNode* node = Find(drive, key);
  return node && node->directory ? node : nullptr;
}

// A new or rewritten file with `bytes`; false when its directory is missing
// or a directory has its name.
bool Put(MemoryDrive& drive, std::string_view key, std::string_view bytes, const struct timespec& modified) {
  const std::string_view parent = ParentKey(key);
  MemoryNode* dir = Directory(drive, parent);
  MemoryNode* existing = Find(drive, key);
  if (key.empty() || !dir || (existing && existing->directory)) return false;
  if (!existing) Link(drive, key, true);
  Journal(drive, key);
  MemoryNode& node = drive.nodes[std::string(key)];
  node.bytes.assign(bytes);
  node.modified = modified;
  node.changed = Now();
  node.id = g_nextNode++;
  return true;
}

void Fill(const MemoryDrive& drive, const MemoryNode& node, struct stat& info) {
  info = {};
  info.st_dev = drive.device;
  info.st_ino = node.id;
  info.st_mode = node.directory ? (S_IFDIR | 0755) : (S_IFREG | 0644);
  info.st_nlink = 1;
  info.st_size = node.directory ? 0 : static_cast<off_t>(node.bytes.size());
  info.st_mtim = node.modified;
  info.st_ctim = node.changed;
  info.st_atim = node.modified;
}

// Writes beside the target and renames over it, so that a run killed at any
// point leaves the old file or the new one. A copy (`source`, the file copied)
// takes the source's times and permissions and has a kill point between the
// two, as a copy on disk always had; a written file has none.
bool ReplaceOnDisk(const fs::path& path, std::string_view bytes, const struct stat* source) {
  const fs::path temp =
      path.parent_path() / ((source ? ".copy-" : ".write-") + std::to_string(getpid()) + "-" + path.filename().string());
  const int fd = Restarted([&] { return ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644); });
  if (fd < 0) return false;
  bool ok = WriteFully(fd, bytes.data(), bytes.size());
  if (ok && source) {
    const struct timespec times[2] = {source->st_atim, source->st_mtim};
    ok = ::futimens(fd, times) == 0 && ::fchmod(fd, source->st_mode & 07777) == 0;
  }
  // Linux has closed the descriptor even when a signal interrupts the close.
  ok = (::close(fd) == 0 || errno == EINTR) && ok;
  if (ok) {
    if (source) internal::KillPoint();
    ok = Restarted([&] { return ::rename(temp.c_str(), path.c_str()); }) == 0;
  }
  if (!ok) Restarted([&] { return ::unlink(temp.c_str()); });
  return ok;
}

}  // namespace

bool HeldInMemory(const fs::path& path) {
  std::string_view key;
  return OnMemoryDrive(path, key) != nullptr;
}

bool StatPath(const fs::path& path, struct stat& info) {
  std::string_view key;
  if (MemoryDrive* drive = OnMemoryDrive(path, key)) {
    const MemoryNode* node = Find(*drive, key);
    if (node) Fill(*drive, *node, info);
    return node != nullptr;
  }
  return Restarted([&] { return ::stat(path.c_str(), &info); }) == 0;
}

bool IsDirectoryPath(const fs::path& path) {
  struct stat info;
  return StatPath(path, info) && S_ISDIR(info.st_mode);
}

bool ListDirectory(const fs::path& dir, std::vector<std::string>& names) {
  names.clear();
  std::string_view key;
  if (MemoryDrive* drive = OnMemoryDrive(dir, key)) {
    const MemoryNode* node = Directory(*drive, key);
    if (node) names.assign(node->children.begin(), node->children.end());
    return node != nullptr;
  }
  std::error_code ec;
  auto it = fs::directory_iterator(dir, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) names.push_back(it->path().filename().string());
  return !ec;
}

bool HasEntry(std::string_view dir, std::string_view name) {
  std::string_view key;
  if (MemoryDrive* drive = OnMemoryDrive(dir, key)) {
    const MemoryNode* node = Directory(*drive, key);
    return node && node->children.count(name);
  }
  struct stat info;
  return StatPath(fs::path(dir) / name, info);
}

std::optional<std::string> FindInDirectory(std::string_view dir, const std::function<bool(const std::string&)>& match) {
  std::string_view key;
  if (MemoryDrive* drive = OnMemoryDrive(dir, key)) {
    if (const MemoryNode* node = Directory(*drive, key))
      for (const std::string& name : node->children)
        if (match(name)) return name;
    return std::nullopt;
  }
  std::vector<std::string> names;
  ListDirectory(fs::path(dir), names);
  for (const std::string& name : names)
    if (match(name)) return name;
  return std::nullopt;
}

std::vector<fs::path> FilesUnder(const fs::path& dir) {
  std::vector<fs::path> out;
  std::vector<std::string> names;
  if (!ListDirectory(dir, names)) return out;
  for (const std::string& name : names) {
    const fs::path path = dir / name;
    struct stat info;
    if (!StatPath(path, info)) continue;
    if (S_ISDIR(info.st_mode)) {
      for (fs::path& inner : FilesUnder(path)) out.push_back(std::move(inner));
    } else if (S_ISREG(info.st_mode)) {
      out.push_back(path);
    }
  }
  return out;
}

bool ReadFileBytes(const fs::path& path, std::string& out, struct stat* info, size_t limit) {
  std::string_view key;
  if (MemoryDrive* drive = OnMemoryDrive(path, key)) {
    const MemoryNode* node = Find(*drive, key);
    out.clear();
    if (!node || node->directory || node->bytes.size() > limit) return false;
    out = node->bytes;
    if (info) Fill(*drive, *node, *info);
    return true;
  }
  return ReadWholeFile(path, out, info, limit);
}

bool WriteFileBytes(const fs::path& path, std::string_view bytes) {
  std::string_view key;
  if (MemoryDrive* drive = OnMemoryDrive(path, key)) return Put(*drive, key, bytes, Now());
  return ReplaceOnDisk(path, bytes, nullptr);
}

bool MakeDirectories(const fs::path& dir) {
  std::string_view key;
  if (MemoryDrive* drive = OnMemoryDrive(dir, key)) {
    if (key.empty()) return true;
    // A directory that exists has all its parents: a node is only ever made
    // in a directory, and a directory is only ever taken away with all it holds.
    if (Directory(*drive, key)) return true;
    if (!MakeDirectories(dir.parent_path())) return false;
    if (MemoryNode* node = Find(*drive, key)) return node->directory;
    Link(*drive, key, true);
    Journal(*drive, key);
    MemoryNode& node = drive->nodes[std::string(key)];
    node.directory = true;
    node.modified = node.changed = Now();
    node.id = g_nextNode++;
    return true;
  }
  // Above drive C of a machine in memory is that machine's own directory,
  // which is not on disk either (a target at the root of C: asks for it as
  // its parent): it exists, and nothing else does there.
  static const std::string memoryRoot = internal::MemoryDriveRoot().string();
  if (g_open && dir.native().compare(0, memoryRoot.size(), memoryRoot) == 0) return dir.native() == memoryRoot;
  std::error_code ec;
  Uninterrupted(ec, [&](auto& e) { return fs::create_directories(dir, e); });
  return !ec && IsDirectoryPath(dir);
}

bool CopyFileBytes(const fs::path& from, const fs::path& to) {
  // The bytes pass through here on disk too. The kernel's copy (sendfile,
  // under std::filesystem::copy_file) starts again from nothing when a signal
  // interrupts it, and under a timer that fires faster than a copy takes, as
  // a loaded machine makes it, it never got to the end; reads and writes
  // that a signal cuts short go on from where they stopped.
  std::string_view toKey;
  std::string bytes;
  MemoryDrive* drive = OnMemoryDrive(to, toKey);
  struct stat source;
  if (!ReadFileBytes(from, bytes, &source)) return false;
  return drive ? Put(*drive, toKey, bytes, source.st_mtim) : ReplaceOnDisk(to, bytes, &source);
}

bool RenamePath(const fs::path& from, const fs::path& to) {
  std::string_view fromKey, toKey;
  MemoryDrive* drive = OnMemoryDrive(from, fromKey);
  if (!drive != !OnMemoryDrive(to, toKey)) return false;
  if (!drive) {
    std::error_code ec;
    Uninterrupted(ec, [&](auto& e) { fs::rename(from, to, e); });
    return !ec;
  }
  const MemoryNode* node = Find(*drive, fromKey);
  if (!node || node->directory) return false;
  const MemoryNode moved = *node;
  if (!Put(*drive, toKey, moved.bytes, moved.modified)) return false;
  return RemoveFile(from);
}

bool RemoveFile(const fs::path& path) {
  std::string_view key;
  if (MemoryDrive* drive = OnMemoryDrive(path, key)) {
    const MemoryNode* node = Find(*drive, key);
    if (!node || node->directory) return false;
    Link(*drive, key, false);
    Journal(*drive, key);
    drive->nodes.erase(drive->nodes.find(key));
    return true;
  }
  return Restarted([&] { return ::unlink(path.c_str()); }) == 0;
}

bool SameDirectory(const fs::path& a, const fs::path& b) {
  std::string_view keyA, keyB;
  const MemoryDrive* driveA = OnMemoryDrive(a, keyA);
  const MemoryDrive* driveB = OnMemoryDrive(b, keyB);
  if (driveA || driveB) return driveA == driveB && keyA == keyB && IsDirectoryPath(a);
  std::error_code ec;
  return fs::equivalent(a, b, ec);
}

bool ReadSnapshot(const fs::path& path, std::string& out, FileSnapshot& snapshot, size_t limit) {
  snapshot.bytes.reset();
  snapshot.memoryChanges = 0;
  if (!ReadFileBytes(path, out, &snapshot.info, limit)) return false;
  if (IsMemoryDevice(snapshot.info.st_dev)) {
    snapshot.memoryChanges = g_memoryChanges;
    return true;
  }
  const struct timespec now = Now();
  if (now.tv_sec - snapshot.info.st_mtim.tv_sec <= 2 || now.tv_sec - snapshot.info.st_ctim.tv_sec <= 2)
    snapshot.bytes = out;
  return true;
}

bool UnchangedSinceSnapshot(const FileSnapshot& snapshot) {
  return snapshot.memoryChanges != 0 && snapshot.memoryChanges == g_memoryChanges;
}

bool Unchanged(const fs::path& path, const FileSnapshot& snapshot) {
  if (UnchangedSinceSnapshot(snapshot)) return true;
  struct stat info;
  if (!StatPath(path, info) || !SameStamp(snapshot.info, info)) return false;
  if (!snapshot.bytes) return true;
  std::string bytes;
  return ReadFileBytes(path, bytes, nullptr, snapshot.bytes->size()) && bytes == *snapshot.bytes;
}

std::vector<DriveChange> ChangesSinceCheckpoint() {
  std::vector<DriveChange> out;
  if (!g_open) return out;
  static const std::string root = (internal::MemoryDriveRoot() / "drive_c").string() + "/";
  for (const auto& [key, before] : g_open->undo) {
    const MemoryNode* now = Find(*g_open, key);
    if ((before && before->directory) || (now && now->directory)) continue;
    out.push_back(DriveChange{root + key, before ? std::optional<std::string>(before->bytes) : std::nullopt,
                              now ? std::optional<std::string>(now->bytes) : std::nullopt});
  }
  return out;
}

namespace internal {

fs::path MemoryDriveRoot() { return fs::path("/:memory:"); }

void UseDrive(MemoryDrive* drive) {
  g_open = drive;
  ++g_memoryChanges;
}

std::shared_ptr<MemoryDrive> NewMemoryDrive() {
  static dev_t drives = 0;
  auto drive = std::make_shared<MemoryDrive>();
  drive->device = kMemoryDevices + ++drives;
  MemoryNode& root = drive->nodes[""];
  root.directory = true;
  root.modified = root.changed = Now();
  root.id = g_nextNode++;
  return drive;
}

void CheckpointDrive(MemoryDrive& drive) {
  drive.undo.clear();
  drive.journaling = true;
}

void RestoreDrive(MemoryDrive& drive) {
  ++g_memoryChanges;
  for (auto& [key, before] : drive.undo) {
    if (before) drive.nodes[key] = std::move(*before);
    else drive.nodes.erase(key);
  }
  drive.undo.clear();
}

}  // namespace internal
}  // namespace sim
