// File-queue installation of the install sections: InstallInfSections (NT
// family), InstallInfSectionsLegacy (9x family, with its INF copy and driver
// index deletion) and FileQueueCallback.
#include "app/multi_string.h"
#include "inf/inf.h"
#include "install/install.h"
#include "tests/support/install_package.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"

#include <cstring>

#include <sys/stat.h>

namespace {

enum class Variant { Nt, Legacy };

std::string VariantName(Variant v) { return v == Variant::Nt ? "Nt" : "Legacy"; }
void PrintTo(Variant v, std::ostream* os) { *os << VariantName(v); }

// Each variant runs on a machine of its own family.
class BothVariants : public test::InstallTest, public ::testing::WithParamInterface<Variant> {
 protected:
  Variant Which() const { return GetParam(); }
  void SetUp() override {
    if (Which() == Variant::Legacy) machine_.version = 0xC0000A04;  // Windows 98
    InstallTest::SetUp();
    SetLegacyPaths();
  }
  // The sections as the model scan finds them, then the variant's install.
  BOOL Install() {
    ScanInfModels(AppState.InfPath);
    return Run();
  }
  BOOL Run() {
    return Which() == Variant::Nt ? InstallInfSections(AppState.InfPath) : InstallInfSectionsLegacy(AppState.InfPath);
  }
  void SetSections(const std::vector<std::string>& names) {
    std::memset(AppState.InstallSectionList, 0, kListCapacity);
    size_t used = 0;
    for (const std::string& n : names) AppendString(AppState.InstallSectionList, kListCapacity, used, n.c_str(), n.size());
  }
  // A new process state for the next case of a table, before its legacy step:
  // an earlier copy of the INF, which the step replaces, and the driver index.
  void NextCase() {
    sim::ResetProcessState();
    WriteMachineFile(AppState.InfCopyPath, "an earlier version of the INF");
    WriteMachineFile(AppState.DriverIndexPath, "index");
  }
  // The legacy step: the INF copied into the Windows INF directory and the
  // driver index gone. Checked as taken or not; the NT variant never takes it.
  void ExpectLegacyStep(bool taken) {
    EXPECT_EQ(ReadMachineFile(AppState.InfCopyPath) == test::ReadFile(packageDir_ / "pkg.inf"), taken);
    if (Which() == Variant::Legacy) {
      EXPECT_EQ(MachineFileExists(AppState.DriverIndexPath), !taken);
    }
  }
};

// Section lists as the model scan would store them, installed from one
// package: the files each case copies into the drivers directory, how many
// queues it opened, and whether it took the legacy step. A failure at the
// first of the three sections fails the install with nothing copied, the walk
// stops there, and each INF, queue and context made is released once.
TEST_P(BothVariants, SectionListsAreWalkedInOrderAndTheLastSectionHandledDecides) {
  // Broken's CopyFiles names a section the INF lacks: it cannot be queued.
  // SecC has a variant for the NT family, which copies B's file instead.
  // Upgrade deletes a read-only file first: the default handler would ask
  // about the failed deletion, the program's skips it on its own.
  UsePackage(test::ThreeModels(), "[Broken]\nCopyFiles=NoSuch.Files\n[SecC.NT]\nCopyFiles=SecB.Files\n"
                                  "[Upgrade]\nDelFiles=Old.Files\nCopyFiles=SecA.Files\n[Old.Files]\nold.sys\n");
  ::chmod(WriteMachineFile(DriversPath("old.sys"), "an older driver").c_str(), 0444);
  const std::vector<std::string> three = {"SecA", "SecB", "SecC"};
  struct Case {
    const char* what;
    std::vector<std::string> sections;
    bool result;
    std::vector<std::string> copied;
    int queues;
    std::optional<sim::FaultRule> fault = std::nullopt;
    bool legacyStep = true;  // the walk goes on to it but where it could not make a queue
  } cases[] = {
      {"broken then good", {"Broken", "SecB"}, true, {"b.sys"}, 2},
      {"good then broken", {"SecB", "Broken"}, false, {"b.sys"}, 2},
      {"repeated: installed each time", {"SecA", "SecA"}, true, {"a.sys", "a.sys"}, 2},
      // A name that does not fit the section buffer is not installed under a shortened name.
      {"over-long name refused, not cut", {"SecA", "SecA" + std::string(96, 'X')}, false, {"a.sys"}, 1},
      {"empty list", {}, true, {}, 0},
      {"decorated for the platform", {"SecC"}, true, {Which() == Variant::Nt ? "b.sys" : "c.sys"}, 1},
      {"deletion error skipped", {"Upgrade"}, true, {"a.sys"}, 1},
      // An INF that cannot be opened: no queue, no copy, no legacy step.
      {"inf", three, false, {}, 0, sim::FaultRule{"SetupOpenInfFileA", 1, ERROR_FILE_NOT_FOUND}, false},
      {"queue", three, false, {}, 1, sim::FaultRule{"SetupOpenFileQueue", 1, ERROR_NOT_ENOUGH_MEMORY}, false},
      {"context", three, false, {}, 1, sim::FaultRule{"SetupInitDefaultQueueCallbackEx", 1, ERROR_NOT_ENOUGH_MEMORY},
       false},
      {"commit", three, false, {}, 1, sim::FaultRule{"SetupCommitFileQueueA", 1, ERROR_CANCELLED}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NextCase();
    if (c.fault) sim::AddFault(*c.fault);
    SetSections(c.sections);
    EXPECT_EQ(Run(), c.result ? TRUE : FALSE);
    std::vector<std::string> copied;  // file names, in order
    for (const auto& e : sim::TranscriptOf("file_copy")) {
      const std::string to = e["to"];
      if (to.find("\\drivers\\") != std::string::npos) copied.push_back(to.substr(to.rfind('\\') + 1));
    }
    EXPECT_EQ(copied, c.copied);
    EXPECT_TRUE(sim::TranscriptOf("queue_prompt").empty());
    EXPECT_EQ(test::CallCount("SetupOpenFileQueue"), c.queues);
    EXPECT_EQ(sim::LedgerCheckLeaks(), 0u);
    ExpectLegacyStep(Which() == Variant::Legacy && c.legacyStep);
  }
}

TEST_P(BothVariants, SourceFilesComeFromTheCurrentDirectory) {
  WritePackageFile("infs/pkg.inf", test::ModelsInf(test::ThreeModels()));
  SetInfPath("infs\\pkg.inf");
  // Only beside the INF: not found.
  WritePackageFile("infs/a.sys", test::PackageFileBytes("a.sys"));
  EXPECT_FALSE(Install());
  EXPECT_FALSE(Installed("a.sys"));
  for (const char* file : {"a.sys", "b.sys", "c.sys"}) WritePackageFile(file, test::PackageFileBytes(file));
  WritePackageFile("infs/a.sys", "the copy beside the INF");
  EXPECT_TRUE(Install());
  for (const char* file : {"a.sys", "b.sys", "c.sys"}) EXPECT_TRUE(Installed(file)) << file;
}

INSTANTIATE_TEST_SUITE_P(Variants, BothVariants, ::testing::Values(Variant::Nt, Variant::Legacy),
                         [](const auto& info) { return VariantName(info.param); });

class LegacyStep : public BothVariants {};

// The INF copy's failure fails the install; the driver index need not exist,
// and one that cannot be deleted is ignored.
TEST_P(LegacyStep, CopyFailureFailsTheInstallIndexFailureDoesNot) {
  UsePackage(test::ThreeModels());
  EXPECT_TRUE(Install());  // the machine's index goes
  EXPECT_TRUE(Install());  // the index is not there
  WriteMachineFile(AppState.DriverIndexPath, "index");
  sim::AddFault({"DeleteFileA", 0, ERROR_SHARING_VIOLATION});
  EXPECT_TRUE(Install());  // in use
  EXPECT_TRUE(MachineFileExists(AppState.DriverIndexPath));
  // The copy fails: false although every section committed; the index goes all the same.
  sim::ClearFaults();
  sim::AddFault({"CopyFileA", 0, ERROR_ACCESS_DENIED});
  EXPECT_FALSE(Install());
  EXPECT_FALSE(MachineFileExists(AppState.DriverIndexPath));
  // With no section at all, the outcome is that of the copy alone.
  SetSections({});
  EXPECT_FALSE(Run());
}

INSTANTIATE_TEST_SUITE_P(Legacy, LegacyStep, ::testing::Values(Variant::Legacy),
                         [](const auto& info) { return VariantName(info.param); });

}  // namespace
