// File queues: SetupOpenFileQueue, SetupInstallFilesFromInfSectionA,
// SetupCommitFileQueueA with its notifications, SetupDefaultQueueCallbackA,
// and the handles of queues and callback contexts.
#include "tests/support/install_package.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

#include <sys/stat.h>

namespace {

// Records every notification and answers as the test says, otherwise as the
// default callback does.
struct Recorder {
  PVOID context = nullptr;
  std::vector<std::string> events;
  std::function<std::optional<UINT>(UINT, UINT_PTR, UINT_PTR)> answer;
};

std::string Describe(UINT n, UINT_PTR p1, UINT_PTR p2) {
  const auto* paths = reinterpret_cast<const FILEPATHS_A*>(p1);
  const char* ops[] = {"copy", "rename", "delete"};
  switch (n) {
    case SPFILENOTIFY_STARTQUEUE: return "STARTQUEUE";
    case SPFILENOTIFY_ENDQUEUE: return "ENDQUEUE " + std::to_string(p1);
    case SPFILENOTIFY_STARTSUBQUEUE: return std::string("STARTSUBQUEUE ") + ops[p1] + " " + std::to_string(p2);
    case SPFILENOTIFY_ENDSUBQUEUE: return std::string("ENDSUBQUEUE ") + ops[p1];
    case SPFILENOTIFY_STARTCOPY: return std::string("STARTCOPY ") + paths->Target;
    case SPFILENOTIFY_STARTDELETE: return std::string("STARTDELETE ") + paths->Target;
    case SPFILENOTIFY_COPYERROR: return "COPYERROR " + std::to_string(paths->Win32Error);
    case SPFILENOTIFY_DELETEERROR: return "DELETEERROR " + std::to_string(paths->Win32Error);
    case SPFILENOTIFY_ENDCOPY: return "ENDCOPY";
    case SPFILENOTIFY_ENDDELETE: return "ENDDELETE";
    default: return n == SPFILENOTIFY_TARGETNEWER ? "TARGETNEWER" : "notification " + std::to_string(n);
  }
}

UINT CALLBACK Record(PVOID context, UINT n, UINT_PTR p1, UINT_PTR p2) {
  auto* r = static_cast<Recorder*>(context);
  r->events.push_back(Describe(n, p1, p2));
  if (r->answer)
    if (auto a = r->answer(n, p1, p2)) return *a;
  return SetupDefaultQueueCallbackA(r->context, n, p1, p2);
}

class FileQueues : public test::SimTest {
 protected:
  // Installs `section` of the INF text from the package directory; returns the commit's result.
  BOOL Install(const std::string& infText, const char* section = "Install", DWORD flags = SP_COPY_NEWER) {
    WritePackageFile("pkg.inf", infText);
    HINF inf = SetupOpenInfFileA(PackagePath("pkg.inf").c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    EXPECT_NE(inf, INVALID_HANDLE_VALUE);
    HSPFILEQ queue = SetupOpenFileQueue();
    recorder.context = SetupInitDefaultQueueCallbackEx(nullptr, nullptr, 0, 0, nullptr);
    char root[MAX_PATH];
    GetCurrentDirectoryA(sizeof root, root);
    BOOL result = SetupInstallFilesFromInfSectionA(inf, nullptr, queue, section, root, flags);
    if (result) {
      result = SetupCommitFileQueueA(nullptr, queue, Record, &recorder);
      commitError = GetLastError();
    }
    SetupTermDefaultQueueCallback(recorder.context);
    SetupCloseFileQueue(queue);
    SetupCloseInfFile(inf);
    return result;
  }
  Recorder recorder;
  DWORD commitError = 0;
};

constexpr const char* kHeader = "[Version]\nSignature=\"$Windows NT$\"\n";

TEST_F(FileQueues, CommitNotifiesAndCopiesRealFiles) {
  WritePackageFile("a.sys", "driver a");
  WritePackageFile("b.dll", "library b");
  const std::filesystem::path old = WriteMachineFile("C:\\WINDOWS\\old.dll", "old");
  ::chmod(old.c_str(), 0444);  // cannot be deleted
  // As the program's callback: a failed deletion is skipped.
  recorder.answer = [](UINT n, UINT_PTR, UINT_PTR) -> std::optional<UINT> {
    if (n == SPFILENOTIFY_DELETEERROR) return FILEOP_SKIP;
    return std::nullopt;
  };
  EXPECT_TRUE(Install(std::string(kHeader) +
                      "[Install]\nCopyFiles=Files\nDelFiles=Old\n[Files]\na.sys\nb.dll\n[Old]\nold.dll\n"
                      "[DestinationDirs]\nFiles=12\nOld=10\n"));
  EXPECT_EQ(commitError, 0u);
  const std::vector<std::string> expected = {
      "STARTQUEUE",          "STARTSUBQUEUE delete 1", "STARTDELETE C:\\WINDOWS\\old.dll",
      "DELETEERROR 5",       "ENDDELETE",              "ENDSUBQUEUE delete",
      "STARTSUBQUEUE copy 2", "STARTCOPY C:\\WINDOWS\\system32\\drivers\\a.sys", "ENDCOPY",
      "STARTCOPY C:\\WINDOWS\\system32\\drivers\\b.dll", "ENDCOPY", "ENDSUBQUEUE copy",
      "ENDQUEUE 1"};
  EXPECT_EQ(recorder.events, expected);
  EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\system32\\drivers\\a.sys"), "driver a");
  EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\system32\\drivers\\b.dll"), "library b");
  EXPECT_TRUE(MachineFileExists("C:\\WINDOWS\\old.dll"));
  EXPECT_EQ(sim::TranscriptOf("file_copy").size(), 2u);
  EXPECT_TRUE(sim::TranscriptOf("queue_prompt").empty());  // the callback answered, nobody was asked
  ::chmod(old.c_str(), 0644);
}

TEST_F(FileQueues, DestinationsAndSources) {
  struct Case {
    const char* what;
    std::string sections;   // install section and what it needs
    const char* target;  // where f.sys must arrive; null: the package's out\f.sys
    const char* source;  // the package file it is copied from
  } cases[] = {
      {"system", "[Install]\nCopyFiles=F\n[F]\nf.sys\n[DestinationDirs]\nF=11\n", "C:\\WINDOWS\\system32\\f.sys", "f.sys"},
      {"drivers", "[Install]\nCopyFiles=F\n[F]\nf.sys\n[DestinationDirs]\nF=12\n",
       "C:\\WINDOWS\\system32\\drivers\\f.sys", "f.sys"},
      {"INF directory", "[Install]\nCopyFiles=F\n[F]\nf.sys\n[DestinationDirs]\nF=17\n", "C:\\WINDOWS\\INF\\f.sys", "f.sys"},
      {"subdirectory made", "[Install]\nCopyFiles=F\n[F]\nf.sys\n[DestinationDirs]\nF=10,Sub\\Deeper\n",
       "C:\\WINDOWS\\Sub\\Deeper\\f.sys", "f.sys"},
      {"default destination", "[Install]\nCopyFiles=F\n[F]\nf.sys\n[DestinationDirs]\nDefaultDestDir=12\n",
       "C:\\WINDOWS\\system32\\drivers\\f.sys", "f.sys"},
      {"no destinations: system", "[Install]\nCopyFiles=F\n[F]\nf.sys\n", "C:\\WINDOWS\\system32\\f.sys", "f.sys"},
      {"the INF's own directory", "[Install]\nCopyFiles=F\n[F]\nf.sys\n[DestinationDirs]\nF=01,out\n", nullptr, "f.sys"},
      {"single file", "[Install]\nCopyFiles=@f.sys\n[DestinationDirs]\nDefaultDestDir=10\n", "C:\\WINDOWS\\f.sys", "f.sys"},
      {"disk and file subdirectories",
       "[Install]\nCopyFiles=F\n[F]\nf.sys\n[DestinationDirs]\nF=10\n[SourceDisksNames]\n1=%D%,,,disk1\n"
       "[SourceDisksFiles]\nf.sys=1,bin\n[Strings]\nD=\"Disk\"\n",
       "C:\\WINDOWS\\f.sys", "disk1/bin/f.sys"},
      {"platform's source files first",
       "[Install]\nCopyFiles=F\n[F]\nf.sys\n[DestinationDirs]\nF=10\n[SourceDisksNames]\n1=d\n"
       "[SourceDisksFiles]\nf.sys=1,x86\n[SourceDisksFiles.amd64]\nf.sys=1,x64\n",
       "C:\\WINDOWS\\f.sys", "x64/f.sys"},
      {"other source name", "[Install]\nCopyFiles=F\n[F]\nf.sys,f.sy_\n[DestinationDirs]\nF=10\n", "C:\\WINDOWS\\f.sys",
       "f.sy_"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WritePackageFile(c.source, c.what);
    recorder = Recorder{};
    ASSERT_TRUE(Install(kHeader + c.sections));
    const std::string target = c.target ? c.target : PackagePath("out\\f.sys");
    EXPECT_EQ(ReadMachineFile(target), c.what);
    DeleteFileA(target.c_str());
    std::filesystem::remove(packageDir_ / c.source);
  }
}

TEST_F(FileQueues, NewerCopiesKeepANewerTarget) {
  struct Case {
    const char* what;
    std::string target, source;
    DWORD flags;
    bool copied;
  } cases[] = {
      {"target newer", test::VersionedImage(2), test::VersionedImage(1), SP_COPY_NEWER, false},
      {"source newer", test::VersionedImage(1), test::VersionedImage(2), SP_COPY_NEWER, true},
      {"one without version", test::VersionedImage(2), "plain new", SP_COPY_NEWER, true},
      {"not asked to compare", test::VersionedImage(2), test::VersionedImage(1), 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteMachineFile("C:\\WINDOWS\\v.dll", c.target);
    WritePackageFile("v.dll", c.source);
    recorder = Recorder{};
    ASSERT_TRUE(Install(std::string(kHeader) + "[Install]\nCopyFiles=F\n[F]\nv.dll\n[DestinationDirs]\nF=10\n",
                        "Install", c.flags));
    EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\v.dll"), c.copied ? c.source : c.target);
    EXPECT_EQ(std::count(recorder.events.begin(), recorder.events.end(), "TARGETNEWER"), c.copied ? 0 : 1);
  }
}

TEST_F(FileQueues, MissingSourceAbortsOnceWithTheCopyError) {
  WritePackageFile("there.sys", "x");
  EXPECT_FALSE(Install(std::string(kHeader) +
                       "[Install]\nCopyFiles=F\n[F]\nthere.sys\nmissing.sys\nlater.sys\n[DestinationDirs]\nF=12\n"));
  EXPECT_EQ(commitError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  const std::vector<std::string> expected = {
      "STARTQUEUE", "STARTSUBQUEUE copy 3", "STARTCOPY C:\\WINDOWS\\system32\\drivers\\there.sys", "ENDCOPY",
      "STARTCOPY C:\\WINDOWS\\system32\\drivers\\missing.sys", "COPYERROR 2", "ENDQUEUE 0"};
  EXPECT_EQ(recorder.events, expected);
  EXPECT_TRUE(MachineFileExists("C:\\WINDOWS\\system32\\drivers\\there.sys"));  // nothing is rolled back
  ASSERT_EQ(sim::TranscriptOf("queue_prompt").size(), 1u);
  EXPECT_EQ(sim::TranscriptOf("queue_prompt")[0]["answer"], "abort");
}

TEST_F(FileQueues, CallbackAnswersAreObeyed) {
  const std::string inf = std::string(kHeader) + "[Install]\nCopyFiles=F\n[F]\nf.sys\n[DestinationDirs]\nF=10\n";
  struct Case {
    const char* what;
    UINT notification;
    UINT answer;
    BOOL result;
    DWORD error;
    bool copied;
  } cases[] = {
      {"skip a copy error", SPFILENOTIFY_COPYERROR, FILEOP_SKIP, TRUE, 0, false},
      {"retry after the file appeared", SPFILENOTIFY_COPYERROR, FILEOP_RETRY, TRUE, 0, true},
      {"a new path", SPFILENOTIFY_COPYERROR, FILEOP_NEWPATH, TRUE, 0, true},
      {"skip at the start", SPFILENOTIFY_STARTCOPY, FILEOP_SKIP, TRUE, 0, false},
      {"abort at the start", SPFILENOTIFY_STARTCOPY, FILEOP_ABORT, FALSE, ERROR_ACCESS_DENIED, false},
      {"refuse the queue", SPFILENOTIFY_STARTQUEUE, FALSE, FALSE, ERROR_CANCELLED, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    recorder = Recorder{};
    recorder.answer = [&](UINT n, UINT_PTR, UINT_PTR p2) -> std::optional<UINT> {
      if (n != c.notification) return std::nullopt;
      if (c.answer == FILEOP_RETRY) WritePackageFile("f.sys", "late");
      if (c.answer == FILEOP_NEWPATH) {
        WritePackageFile("elsewhere.sys", "late");
        std::strcpy(reinterpret_cast<char*>(p2), PackagePath("elsewhere.sys").c_str());
      }
      if (c.error == ERROR_ACCESS_DENIED) SetLastError(ERROR_ACCESS_DENIED);
      return c.answer;
    };
    if (c.notification == SPFILENOTIFY_STARTCOPY) WritePackageFile("f.sys", "late");
    EXPECT_EQ(Install(inf), c.result);
    if (!c.result) {
      EXPECT_EQ(commitError, c.error);
    }
    EXPECT_EQ(MachineFileExists("C:\\WINDOWS\\f.sys"), c.copied);
    DeleteFileA("C:\\WINDOWS\\f.sys");
    std::filesystem::remove(packageDir_ / "f.sys");
  }
}

TEST_F(FileQueues, QueueingRefusalsLeaveTheQueueEmpty) {
  WritePackageFile("pkg.inf", std::string(kHeader) +
                                  "[Nothing]\nAddReg=R\n[BadCopy]\nCopyFiles=Good,Missing\n[Good]\ng.sys\n"
                                  "[BadDir]\nCopyFiles=Good2\n[Good2]\ng.sys\n[DestinationDirs]\nGood=10\nGood2=99\n");
  HINF inf = SetupOpenInfFileA(PackagePath("pkg.inf").c_str(), nullptr, INF_STYLE_WIN4, nullptr);
  HSPFILEQ queue = SetupOpenFileQueue();
  ASSERT_NE(queue, INVALID_HANDLE_VALUE);
  const char* root = "C:\\nowhere";
  EXPECT_RESULT_AND_ERROR(SetupInstallFilesFromInfSectionA(inf, nullptr, queue, "Nothing", root, 0), TRUE, 0);
  EXPECT_RESULT_AND_ERROR(SetupInstallFilesFromInfSectionA(inf, nullptr, queue, "Absent", root, 0), FALSE,
                          ERROR_SECTION_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(SetupInstallFilesFromInfSectionA(inf, nullptr, queue, "BadCopy", root, 0), FALSE,
                          ERROR_LINE_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(SetupInstallFilesFromInfSectionA(inf, nullptr, queue, "BadDir", root, 0), FALSE,
                          ERROR_INVALID_DATA);
  EXPECT_RESULT_AND_ERROR(SetupInstallFilesFromInfSectionA(inf, nullptr, queue, nullptr, root, 0), FALSE,
                          ERROR_INVALID_PARAMETER);
  EXPECT_RESULT_AND_ERROR(SetupInstallFilesFromInfSectionA(INVALID_HANDLE_VALUE, nullptr, queue, "Nothing", root, 0),
                          FALSE, ERROR_INVALID_HANDLE);
  // Nothing was queued by the refused sections, not even Good's file: the commit has nothing to say.
  EXPECT_RESULT_AND_ERROR(SetupCommitFileQueueA(nullptr, queue, Record, &recorder), TRUE, ERROR_SUCCESS);
  EXPECT_TRUE(recorder.events.empty());
  EXPECT_RESULT_AND_ERROR(SetupCloseFileQueue(queue), TRUE, ERROR_SUCCESS);
  EXPECT_RESULT_AND_ERROR(SetupInstallFilesFromInfSectionA(inf, nullptr, queue, "Nothing", root, 0), FALSE,
                          ERROR_INVALID_HANDLE);
  EXPECT_RESULT_AND_ERROR(SetupCommitFileQueueA(nullptr, queue, Record, &recorder), FALSE, ERROR_INVALID_HANDLE);
  SetupCloseInfFile(inf);
}

TEST_F(FileQueues, DefaultCallbackAnswersWithoutAWindow) {
  PVOID context = SetupInitDefaultQueueCallbackEx(nullptr, nullptr, 0, 0, nullptr);
  ASSERT_NE(context, nullptr);
  WritePackageFile("here.sys", "x");
  const std::string dir = sim::WindowsPathOf(packageDir_);
  FILEPATHS_A paths{"C:\\WINDOWS\\t.sys", "C:\\pkg\\t.sys", ERROR_FILE_NOT_FOUND, 0};
  SOURCE_MEDIA_A present{nullptr, nullptr, "disk", dir.c_str(), "here.sys", 0};
  SOURCE_MEDIA_A absent{nullptr, nullptr, "disk", dir.c_str(), "gone.sys", 0};
  struct Case {
    const char* what;
    UINT notification;
    UINT_PTR param1;
    UINT answer;
    DWORD error;  // left by the call
  } cases[] = {
      {"start queue", SPFILENOTIFY_STARTQUEUE, 0, TRUE, 0xdeadbeef},
      {"start copy", SPFILENOTIFY_STARTCOPY, reinterpret_cast<UINT_PTR>(&paths), FILEOP_DOIT, 0xdeadbeef},
      {"copy error: abort", SPFILENOTIFY_COPYERROR, reinterpret_cast<UINT_PTR>(&paths), FILEOP_ABORT,
       ERROR_FILE_NOT_FOUND},
      {"delete error: skip", SPFILENOTIFY_DELETEERROR, reinterpret_cast<UINT_PTR>(&paths), FILEOP_SKIP, 0xdeadbeef},
      {"target newer: keep", SPFILENOTIFY_TARGETNEWER, reinterpret_cast<UINT_PTR>(&paths), FALSE, 0xdeadbeef},
      {"media there", SPFILENOTIFY_NEEDMEDIA, reinterpret_cast<UINT_PTR>(&present), FILEOP_DOIT, 0xdeadbeef},
      {"media missing", SPFILENOTIFY_NEEDMEDIA, reinterpret_cast<UINT_PTR>(&absent), FILEOP_ABORT,
       ERROR_FILE_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    char newPath[MAX_PATH] = {};
    EXPECT_RESULT_AND_ERROR(
        SetupDefaultQueueCallbackA(context, c.notification, c.param1, reinterpret_cast<UINT_PTR>(newPath)), c.answer,
        c.error);
  }
  SetupTermDefaultQueueCallback(context);
  EXPECT_RESULT_AND_ERROR(SetupDefaultQueueCallbackA(context, SPFILENOTIFY_STARTQUEUE, 0, 0),
                          static_cast<UINT>(FILEOP_ABORT), ERROR_INVALID_HANDLE);
  SetupTermDefaultQueueCallback(context);  // twice: the ledger notes it
  ASSERT_EQ(sim::LedgerViolations().size(), 1u);
  EXPECT_NE(sim::LedgerViolations()[0].find("SetupTermDefaultQueueCallback"), std::string::npos);
  expectCleanLedger_ = false;
}

}  // namespace
