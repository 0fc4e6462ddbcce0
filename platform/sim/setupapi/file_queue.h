// File queues: the files an install section copies, deletes and renames, and
// a commit that carries them out with the notifications of
// SetupCommitFileQueueA and the answers of the default queue callback.
#pragma once

#include "platform/sim/setupapi/inf_files.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sim::internal {

struct QueuedFile {
  std::string source;  // full source path ("" for a deletion)
  std::string target;  // full target path
  DWORD style = 0;     // SP_COPY_* flags of a copy
  // The source media of a copy: the source root with the disk's directory,
  // the disk's description and tag file from [SourceDisksNames], and the
  // file's name on it. A commit asks for each media once (NEEDMEDIA).
  std::string mediaPath{}, mediaDescription{}, mediaTag{}, sourceName{};
};
struct FileQueueData {
  std::vector<QueuedFile> deletes, renames, copies;  // committed in this order
  bool Empty() const { return copies.empty() && deletes.empty() && renames.empty(); }
};
// Queues the CopyFiles, DelFiles and RenFiles of an install section, copies
// from below `sourceRoot` as SP_COPY_NEWER asks; on failure nothing is added
// and the error is returned.
DWORD QueueInstallSection(FileQueueData& queue, const InfData& inf, std::string_view section,
                          const std::string& sourceRoot);
using QueueHandler = std::function<UINT(UINT notification, UINT_PTR param1, UINT_PTR param2)>;
// Carries out a queue with the notifications of SetupCommitFileQueueA;
// false, with the last error set, when it was aborted.
bool CommitQueue(const FileQueueData& queue, HWND owner, const QueueHandler& handler);
// What the default queue callback answers when no window can prompt the user.
// With `recordPrompts` every question it would have asked is recorded.
UINT DefaultQueueAnswer(UINT notification, UINT_PTR param1, bool recordPrompts);

}  // namespace sim::internal
