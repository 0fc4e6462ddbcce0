// File queues: what an install section queues, the notifications of a commit
// and the answers it obeys, and the default queue callback.
#include "tests/support/sim_fixture.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/transcript.h"

#include <optional>

#include <sys/stat.h>

namespace {

// The bytes of an image file with a version resource's fixed part, as the
// file queue's version comparison reads it.
std::string VersionedImage(uint16_t major) {
  std::string bytes = "MZ simulated image";
  bytes.resize(24, '.');
  const uint32_t fixed[] = {0xFEEF04BDu, 0x00010000u, static_cast<uint32_t>(major) << 16, 0};
  return bytes.append(reinterpret_cast<const char*>(fixed), sizeof fixed);
}

// Records every notification and answers `answer` to `on`, otherwise as the
// default callback does.
struct Recorder {
  PVOID context = nullptr;
  std::vector<std::string> events;
  UINT on = 0;
  std::optional<UINT> answer;
  DWORD error = 0;  // the last error it leaves with its answer
};

UINT CALLBACK Record(PVOID context, UINT n, UINT_PTR p1, UINT_PTR p2) {
  auto* r = static_cast<Recorder*>(context);
  const char* names[] = {"", "STARTQUEUE", "ENDQUEUE", "STARTSUBQUEUE", "ENDSUBQUEUE", "STARTDELETE", "ENDDELETE",
                         "DELETEERROR", "STARTRENAME", "ENDRENAME", "RENAMEERROR", "STARTCOPY", "ENDCOPY", "COPYERROR",
                         "NEEDMEDIA"};
  const auto* paths = reinterpret_cast<const FILEPATHS_A*>(p1);
  std::string event = n < std::size(names) ? names[n] : std::to_string(n);
  if (n == SPFILENOTIFY_STARTSUBQUEUE) event += " " + std::to_string(p1) + " " + std::to_string(p2);
  if (n == SPFILENOTIFY_ENDQUEUE) event += " " + std::to_string(p1);
  if (n == SPFILENOTIFY_NEEDMEDIA) event += std::string(" ") + reinterpret_cast<const SOURCE_MEDIA_A*>(p1)->SourcePath;
  if (n == SPFILENOTIFY_STARTDELETE || n == SPFILENOTIFY_STARTRENAME || n == SPFILENOTIFY_STARTCOPY)
    event += std::string(" ") + paths->Target;
  if (n == SPFILENOTIFY_DELETEERROR || n == SPFILENOTIFY_RENAMEERROR || n == SPFILENOTIFY_COPYERROR)
    event += " " + std::to_string(paths->Win32Error);
  r->events.push_back(event);
  if (n != r->on || !r->answer) return SetupDefaultQueueCallbackA(r->context, n, p1, p2);
  SetLastError(r->error);
  return *r->answer;
}

class FileQueues : public test::SimTest {
 protected:
  // Installs [Install] of an INF in the package directory as the program
  // does; returns the commit's result.
  BOOL Install(const std::string& infText) {
    WritePackageFile("pkg.inf", "[Version]\nSignature=\"$Windows NT$\"\n[Install]\n" + infText);
    HINF inf = SetupOpenInfFileA(PackagePath("pkg.inf").c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    HSPFILEQ queue = SetupOpenFileQueue();
    recorder.context = SetupInitDefaultQueueCallbackEx(nullptr, nullptr, 0, 0, nullptr);
    BOOL result =
        SetupInstallFilesFromInfSectionA(inf, nullptr, queue, "Install", PackagePath("").c_str(), SP_COPY_NEWER);
    if (result) result = SetupCommitFileQueueA(nullptr, queue, Record, &recorder);
    commitError = GetLastError();
    SetupTermDefaultQueueCallback(recorder.context);
    SetupCloseFileQueue(queue);
    SetupCloseInfFile(inf);
    return result;
  }
  Recorder recorder;
  DWORD commitError = 0;
};

// Deletions and renames come first, each in a subqueue of its own; a file
// the program's callback skips; a copy line asking for no version check
// replaces a newer file. (Where copies go and come from, and the flags for a
// file already there, are held against Wine by the conformance probe.)
TEST_F(FileQueues, CommitDeletesRenamesThenCopies) {
  WritePackageFile("d.sys", VersionedImage(1));
  WriteMachineFile("C:\\WINDOWS\\d.sys", VersionedImage(2));
  WriteMachineFile("C:\\WINDOWS\\was.dll", "renamed");
  const std::filesystem::path old = WriteMachineFile("C:\\WINDOWS\\old.dll", "old");
  ::chmod(old.c_str(), 0444);  // cannot be deleted
  recorder.on = SPFILENOTIFY_DELETEERROR;  // as the program's callback: skipped
  recorder.answer = FILEOP_SKIP;
  EXPECT_TRUE(Install("CopyFiles=Files\nDelFiles=Old\nRenFiles=Ren\n[Files]\nd.sys,,,0x4\n[Old]\nold.dll\n[Ren]\n"
                      "new.dll,was.dll\n[DestinationDirs]\nFiles=10\nOld=10\nRen=10\n"));
  EXPECT_EQ(commitError, 0u);
  const std::vector<std::string> expected = {
      "STARTQUEUE", "STARTSUBQUEUE 2 1", "STARTDELETE C:\\WINDOWS\\old.dll", "DELETEERROR 5", "ENDDELETE",
      "ENDSUBQUEUE", "STARTSUBQUEUE 1 1", "STARTRENAME C:\\WINDOWS\\new.dll", "ENDRENAME", "ENDSUBQUEUE",
      "STARTSUBQUEUE 0 1", "NEEDMEDIA " + PackagePath(""), "STARTCOPY C:\\WINDOWS\\d.sys", "ENDCOPY",
      "ENDSUBQUEUE", "ENDQUEUE 1"};
  EXPECT_EQ(recorder.events, expected);
  EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\d.sys"), VersionedImage(1));
  EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\new.dll"), "renamed");
  EXPECT_FALSE(MachineFileExists("C:\\WINDOWS\\was.dll"));
  EXPECT_TRUE(MachineFileExists("C:\\WINDOWS\\old.dll"));
  ::chmod(old.c_str(), 0644);
}

// The answers the program's callback and the default one give are obeyed;
// others (retry, a new path, a skip before trying) are refused loudly and end the queue.
TEST_F(FileQueues, CallbackAnswers) {
  const struct {
    UINT notification;
    std::optional<UINT> answer;  // nullopt: the default callback's
    DWORD error;                 // the commit's; 0: it succeeded
    const char* last;            // the last notification
  } cases[] = {
      {SPFILENOTIFY_COPYERROR, std::nullopt, ERROR_FILE_NOT_FOUND, "ENDQUEUE 0"},  // there.sys is missing
      {SPFILENOTIFY_COPYERROR, FILEOP_SKIP, 0, "ENDQUEUE 1"},
      {SPFILENOTIFY_STARTCOPY, FILEOP_ABORT, ERROR_ACCESS_DENIED, "ENDQUEUE 0"},
      {SPFILENOTIFY_STARTQUEUE, FALSE, ERROR_CANCELLED, "STARTQUEUE"},
      {SPFILENOTIFY_COPYERROR, FILEOP_RETRY, ERROR_CALL_NOT_IMPLEMENTED, "ENDQUEUE 0"},
      {SPFILENOTIFY_COPYERROR, FILEOP_NEWPATH, ERROR_CALL_NOT_IMPLEMENTED, "ENDQUEUE 0"},
      {SPFILENOTIFY_STARTCOPY, FILEOP_SKIP, ERROR_CALL_NOT_IMPLEMENTED, "ENDQUEUE 0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    recorder = Recorder{nullptr, {}, c.notification, c.answer, c.error == ERROR_ACCESS_DENIED ? c.error : 0};
    EXPECT_EQ(Install("CopyFiles=F\n[F]\nthere.sys\nmissing.sys\n[DestinationDirs]\nF=10\n"), c.error ? FALSE : TRUE);
    WritePackageFile("there.sys", "x");  // from the second case on
    EXPECT_EQ(commitError, c.error);
    EXPECT_EQ(recorder.events.back(), c.last);
  }
  EXPECT_EQ(sim::TranscriptOf("unmodelled").size(), 3u);
  EXPECT_EQ(sim::TranscriptOf("queue_prompt").size(), 1u);  // the default callback would have asked once
}

TEST_F(FileQueues, RefusedSectionsLeaveTheQueueEmpty) {
  WritePackageFile("pkg.inf", "[Version]\nSignature=\"$Windows NT$\"\n[BadCopy]\nCopyFiles=Good,Missing\n[Good]\n"
                              "g.sys\n[BadDir]\nCopyFiles=Good2\n[Good2]\ng.sys\n[DestinationDirs]\nGood=10\nGood2=99\n");
  HINF inf = SetupOpenInfFileA(PackagePath("pkg.inf").c_str(), nullptr, INF_STYLE_WIN4, nullptr);
  HSPFILEQ queue = SetupOpenFileQueue();
  auto add = [&](const char* section) {
    return SetupInstallFilesFromInfSectionA(inf, nullptr, queue, section, "C:\\", SP_COPY_NEWER);
  };
  EXPECT_RESULT_AND_ERROR(add("Absent"), FALSE, ERROR_SECTION_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(add("BadCopy"), FALSE, ERROR_LINE_NOT_FOUND);
  EXPECT_RESULT_AND_ERROR(add("BadDir"), FALSE, ERROR_INVALID_DATA);
  PVOID context = SetupInitDefaultQueueCallbackEx(nullptr, nullptr, 0, 0, nullptr);
  SetupTermDefaultQueueCallback(context);
  EXPECT_RESULT_AND_ERROR(SetupDefaultQueueCallbackA(context, SPFILENOTIFY_STARTQUEUE, 0, 0), 0u, ERROR_INVALID_HANDLE);
  // Nothing was queued by the refused sections, not even Good's file: the commit has nothing to say.
  EXPECT_RESULT_AND_ERROR(SetupCommitFileQueueA(nullptr, queue, Record, &recorder), TRUE, ERROR_SUCCESS);
  EXPECT_TRUE(recorder.events.empty());
  SetupCloseFileQueue(queue);
  SetupCloseInfFile(inf);
}

}  // namespace
