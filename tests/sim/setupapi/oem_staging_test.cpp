// SetupCopyOEMInfA: staging into C:\WINDOWS\INF\oemN.inf with a PNF beside it.
#include "tests/support/device_helpers.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/pnp/pnp.h"

#include <cstring>

namespace {

class OemStaging : public test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    WritePackageFile("drv.inf", test::PackageInf("USB\\VID_F00D&PID_0030"));
    path_ = PackagePath("drv.inf");
  }
  std::string path_;
};

TEST_F(OemStaging, RefusedSources) {
  WritePackageFile("plain.inf", "[Strings]\nA=b\n");
  const std::string plain = PackagePath("plain.inf"), tooLong(MAX_PATH * 2, 'a');
  struct Case {
    const char* what;
    const char* source;
    DWORD mediaType;
    DWORD style;
    DWORD error;
  } cases[] = {
      {"no source", nullptr, SPOST_PATH, 0, ERROR_INVALID_PARAMETER},
      {"empty", "", SPOST_PATH, 0, ERROR_FILE_NOT_FOUND},
      {"relative, even though it is there", "drv.inf", SPOST_PATH, 0, ERROR_FILE_NOT_FOUND},
      {"absolute, missing", "C:\\nowhere\\drv.inf", SPOST_PATH, 0, ERROR_FILE_NOT_FOUND},
      {"not a Windows 4 INF", plain.c_str(), SPOST_PATH, 0, ERROR_WRONG_INF_STYLE},
      {"too long for a path", tooLong.c_str(), SPOST_PATH, 0, ERROR_FILE_NOT_FOUND},
      {"unknown copy style", path_.c_str(), SPOST_PATH, 0x80000000u, ERROR_INVALID_FLAGS},
      {"unknown media type", path_.c_str(), 7, 0, ERROR_INVALID_PARAMETER},
      {"replace only, nothing staged", path_.c_str(), SPOST_PATH, SP_COPY_REPLACEONLY, ERROR_FILE_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    char dest[MAX_PATH] = "unchanged";
    EXPECT_RESULT_AND_ERROR(SetupCopyOEMInfA(c.source, nullptr, c.mediaType, c.style, dest, sizeof dest, nullptr, nullptr),
                            FALSE, c.error);
    EXPECT_STREQ(dest, "unchanged");
  }
  EXPECT_TRUE(sim::StagedInfFiles().empty());
}

TEST_F(OemStaging, LowestFreeNumberPnfAndTheSameNameAgain) {
  WriteMachineFile("C:\\WINDOWS\\INF\\oem0.inf", "[Version]\nSignature=\"$Chicago$\"\n; another package\n");
  WriteMachineFile("C:\\WINDOWS\\INF\\oem2.inf", "[Version]\nSignature=\"$Chicago$\"\n; a third one\n");
  char dest[MAX_PATH];
  DWORD required = 0;
  PSTR component = nullptr;
  EXPECT_RESULT_AND_ERROR(
      SetupCopyOEMInfA(path_.c_str(), nullptr, SPOST_PATH, 0, dest, sizeof dest, &required, &component), TRUE,
      ERROR_SUCCESS);
  EXPECT_STREQ(dest, "C:\\WINDOWS\\INF\\oem1.inf");
  EXPECT_EQ(required, std::strlen(dest) + 1);
  EXPECT_STREQ(component, "oem1.inf");
  EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\INF\\oem1.inf"), test::ReadFile(packageDir_ / "drv.inf"));
  ASSERT_TRUE(MachineFileExists("C:\\WINDOWS\\INF\\oem1.PNF"));
  // The PNF records the package's directory, where its files come from.
  const auto staged = sim::StagedInfFiles();
  ASSERT_EQ(staged.size(), 3u);
  EXPECT_EQ(staged[1].source, sim::WindowsPathOf(packageDir_));

  // The same content again: the same name, also from another directory.
  WritePackageFile("copy/drv.inf", test::ReadFile(packageDir_ / "drv.inf"));
  std::memset(dest, 0, sizeof dest);
  EXPECT_RESULT_AND_ERROR(SetupCopyOEMInfA(PackagePath("copy\\drv.inf").c_str(), nullptr, SPOST_PATH, 0, dest,
                                           sizeof dest, nullptr, nullptr),
                          TRUE, ERROR_SUCCESS);
  EXPECT_STREQ(dest, "C:\\WINDOWS\\INF\\oem1.inf");
  EXPECT_RESULT_AND_ERROR(SetupCopyOEMInfA(path_.c_str(), nullptr, SPOST_PATH, SP_COPY_REPLACEONLY, nullptr, 0, nullptr,
                                           nullptr),
                          TRUE, ERROR_SUCCESS);
  // Not overwriting: refused, but the name is told.
  std::memset(dest, 0, sizeof dest);
  EXPECT_RESULT_AND_ERROR(SetupCopyOEMInfA(path_.c_str(), nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE, dest, sizeof dest,
                                           nullptr, nullptr),
                          FALSE, ERROR_FILE_EXISTS);
  EXPECT_STREQ(dest, "C:\\WINDOWS\\INF\\oem1.inf");
  EXPECT_EQ(sim::StagedInfFiles().size(), 3u);
  const auto events = sim::TranscriptOf("inf_staged");
  ASSERT_EQ(events.size(), 3u);
  EXPECT_FALSE(events[0]["reused"].get<bool>());
  EXPECT_TRUE(events[1]["reused"].get<bool>());
}

TEST_F(OemStaging, SmallBufferStillStagesAndDeleteSource) {
  char dest[5] = "aaa";
  DWORD required = 0;
  EXPECT_RESULT_AND_ERROR(SetupCopyOEMInfA(path_.c_str(), nullptr, SPOST_PATH, 0, dest, sizeof dest, &required, nullptr),
                          FALSE, ERROR_INSUFFICIENT_BUFFER);
  EXPECT_STREQ(dest, "aaa");
  EXPECT_EQ(required, std::strlen("C:\\WINDOWS\\INF\\oem0.inf") + 1);
  EXPECT_TRUE(MachineFileExists("C:\\WINDOWS\\INF\\oem0.inf"));
  // The staged copy keeps the name when its source is deleted with it.
  EXPECT_RESULT_AND_ERROR(SetupCopyOEMInfA(path_.c_str(), nullptr, SPOST_PATH, SP_COPY_DELETESOURCE, nullptr, 0,
                                           nullptr, nullptr),
                          TRUE, ERROR_SUCCESS);
  EXPECT_FALSE(std::filesystem::exists(packageDir_ / "drv.inf"));
  EXPECT_TRUE(MachineFileExists("C:\\WINDOWS\\INF\\oem0.inf"));
  EXPECT_FALSE(MachineFileExists("C:\\WINDOWS\\INF\\oem1.inf"));
}

}  // namespace
