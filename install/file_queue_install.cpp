// Copying the files of the package's install sections with the platform's
// file queues.
#include "app/app_state.h"
#include "app/multi_string.h"
#include "install/install.h"

#include <cstring>

namespace {

constexpr size_t kSectionNameCapacity = 100;

enum class WalkEnd {
  Completed,         // every name handled, or no names at all
  CommitFailed,      // a commit failed; later sections were not installed
  QueueOrContext,    // a queue or a callback context could not be made
};

struct Walk {
  BOOL result = TRUE;
  WalkEnd end = WalkEnd::Completed;
};

// Installs the files of every section of InstallSectionList, in stored order
// and with repeats, each section with its own queue and callback context,
// released before the next. The result is that of the last section handled.
Walk InstallSections(HINF inf, const char* sourceRoot) {
  Walk walk;
  ForEachString(AppState.InstallSectionList, kListCapacity, [&](const char* name, size_t length) {
    char section[kSectionNameCapacity];
    if (length >= sizeof section) {
      walk.result = FALSE;  // no list entry is this long; refused, never cut into another name
      return true;
    }
    std::memcpy(section, name, length + 1);
    // The platform decorates the name for the running system (".NT" and the
    // like) in the same buffer. When that fails the plain name is used, but a
    // decorated name that did not fit is not: the plain section would be the
    // wrong one, so this section is not installed.
    if (!SetupDiGetActualSectionToInstallA(inf, section, section, sizeof section, nullptr, nullptr) &&
        GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
      walk.result = FALSE;
      return true;
    }

    HSPFILEQ queue = SetupOpenFileQueue();
    if (!queue || queue == INVALID_HANDLE_VALUE) {
      walk = {FALSE, WalkEnd::QueueOrContext};
      return false;
    }
    PVOID context = SetupInitDefaultQueueCallbackEx(AppState.MainWindow, nullptr, 0, 0, nullptr);
    if (!context) {
      SetupCloseFileQueue(queue);
      walk = {FALSE, WalkEnd::QueueOrContext};
      return false;
    }
    bool leave = false;
    if (!SetupInstallFilesFromInfSectionA(inf, nullptr, queue, section, sourceRoot, SP_COPY_NEWER)) {
      walk.result = FALSE;  // not committed; the next section may still succeed
    } else if (!SetupCommitFileQueueA(AppState.MainWindow, queue, FileQueueCallback, context)) {
      walk = {FALSE, WalkEnd::CommitFailed};
      leave = true;
    } else {
      walk.result = TRUE;
    }
    SetupTermDefaultQueueCallback(context);
    SetupCloseFileQueue(queue);
    return !leave;
  });
  return walk;
}

// Opens the INF and installs its sections. False at once when the INF cannot
// be opened or the current directory does not fit the source root.
bool Install(const char* infPath, Walk& walk, HINF& inf) {
  char sourceRoot[MAX_PATH];
  const DWORD n = GetCurrentDirectoryA(sizeof sourceRoot, sourceRoot);
  if (n == 0 || n >= sizeof sourceRoot) return false;
  inf = SetupOpenInfFileA(infPath, nullptr, INF_STYLE_WIN4, nullptr);
  if (inf == INVALID_HANDLE_VALUE) return false;
  walk = InstallSections(inf, sourceRoot);
  return true;
}

}  // namespace

UINT CALLBACK FileQueueCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2) {
  if (notification == SPFILENOTIFY_DELETEERROR) return FILEOP_SKIP;
  return SetupDefaultQueueCallbackA(context, notification, param1, param2);
}

BOOL InstallInfSections(const char* infPath) {
  Walk walk;
  HINF inf = INVALID_HANDLE_VALUE;
  if (!Install(infPath, walk, inf)) return FALSE;
  SetupCloseInfFile(inf);
  return walk.result;
}

BOOL InstallInfSectionsLegacy(const char* infPath) {
  Walk walk;
  HINF inf = INVALID_HANDLE_VALUE;
  if (!Install(infPath, walk, inf)) return FALSE;
  // The INF goes into the Windows INF directory even after a failed commit,
  // but not when the walk could not even make a queue.
  if (walk.end != WalkEnd::QueueOrContext) {
    if (!CopyFileA(infPath, AppState.InfCopyPath, FALSE)) walk.result = FALSE;
    DeleteFileA(AppState.DriverIndexPath);  // need not exist
  }
  SetupCloseInfFile(inf);
  return walk.result;
}
