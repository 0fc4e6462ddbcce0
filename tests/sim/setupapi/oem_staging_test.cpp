// SetupCopyOEMInfA: staging into C:\WINDOWS\INF\oemN.inf with a PNF beside it.
#include "tests/support/device_helpers.h"
#include "platform/sim/machine/paths.h"
#include "platform/sim/machine/transcript.h"

namespace {

class OemStaging : public test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    WritePackageFile("drv.inf", test::PackageInf("USB\\VID_F00D&PID_0030"));
  }
  // As the program stages: no media location, no copy style, the name into `dest`.
  std::pair<BOOL, DWORD> Stage(const std::string& path) {
    const BOOL result = SetupCopyOEMInfA(path.c_str(), nullptr, SPOST_PATH, 0, dest, MAX_PATH, nullptr, nullptr);
    return {result, GetLastError()};
  }
  char dest[MAX_PATH] = "unchanged";
};

TEST_F(OemStaging, LowestFreeNumberPnfAndTheSameNameAgain) {
  WriteMachineFile("C:\\WINDOWS\\INF\\oem0.inf", "[Version]\nSignature=\"$Chicago$\"\n; another package\n");
  WriteMachineFile("C:\\WINDOWS\\INF\\oem2.inf", "[Version]\nSignature=\"$Chicago$\"\n; a third one\n");
  // An INF without a signature is refused and takes no number. (A relative or
  // missing INF is held against Wine by the conformance probe.)
  WritePackageFile("plain.inf", "[Strings]\nA=b\n");
  EXPECT_EQ(Stage(PackagePath("plain.inf")), std::make_pair(FALSE, DWORD{ERROR_WRONG_INF_STYLE}));
  EXPECT_STREQ(dest, "unchanged");
  EXPECT_EQ(Stage(PackagePath("drv.inf")), std::make_pair(TRUE, DWORD{ERROR_SUCCESS}));
  EXPECT_STREQ(dest, "C:\\WINDOWS\\INF\\oem1.inf");
  EXPECT_EQ(ReadMachineFile("C:\\WINDOWS\\INF\\oem1.inf"), test::ReadFile(packageDir_ / "drv.inf"));
  // The PNF records the package's directory, where its files come from.
  const auto staged = sim::StagedInfFiles();
  ASSERT_EQ(staged.size(), 3u);
  EXPECT_EQ(staged[1].source, sim::WindowsPathOf(packageDir_));
  // The same content again, from another directory: the same name.
  WritePackageFile("copy/drv.inf", test::ReadFile(packageDir_ / "drv.inf"));
  EXPECT_EQ(Stage(PackagePath("copy\\drv.inf")), std::make_pair(TRUE, DWORD{ERROR_SUCCESS}));
  EXPECT_STREQ(dest, "C:\\WINDOWS\\INF\\oem1.inf");
  EXPECT_TRUE(sim::TranscriptOf("inf_staged").at(1)["reused"].get<bool>());
  EXPECT_EQ(sim::StagedInfFiles().size(), 3u);
}

// The catalog the INF names for amd64 goes with it, as oemN.cat in the
// catalog root; the same INF with another catalog is another package. (A
// catalog missing is held against Wine by the conformance probe.)
TEST_F(OemStaging, TheCatalogTravelsWithTheInf) {
  const std::string inf = test::PackageInf("USB\\VID_F00D&PID_0031");
  const std::string version = "[Version]\nSignature=\"$Windows NT$\"\n";
  WritePackageFile("cat.inf", version + "CatalogFile.NTx86=x86.cat\nCatalogFile = plain.cat\n" + inf.substr(inf.find("Class=")));
  WritePackageFile("dec.inf", version + "CatalogFile=plain.cat\nCatalogFile.NTamd64=amd64.cat\n" + inf.substr(inf.find("Class=")));
  WritePackageFile("x86.cat", "x86 catalog");
  WritePackageFile("amd64.cat", "amd64 catalog");
  WritePackageFile("plain.cat", "plain catalog");
  const std::string root = "C:\\WINDOWS\\system32\\CatRoot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\";
  // The decorated key for the machine's architecture first, then the plain one.
  EXPECT_EQ(Stage(PackagePath("dec.inf")), std::make_pair(TRUE, DWORD{ERROR_SUCCESS}));
  EXPECT_STREQ(dest, "C:\\WINDOWS\\INF\\oem0.inf");
  EXPECT_EQ(ReadMachineFile(root + "oem0.cat"), "amd64 catalog");
  EXPECT_EQ(Stage(PackagePath("cat.inf")), std::make_pair(TRUE, DWORD{ERROR_SUCCESS}));
  EXPECT_EQ(ReadMachineFile(root + "oem1.cat"), "plain catalog");
  // Again: the same name, nothing copied. Another catalog: a new name.
  EXPECT_EQ(Stage(PackagePath("cat.inf")), std::make_pair(TRUE, DWORD{ERROR_SUCCESS}));
  EXPECT_STREQ(dest, "C:\\WINDOWS\\INF\\oem1.inf");
  EXPECT_EQ(sim::TranscriptOf("catalog_installed").size(), 2u);
  WritePackageFile("plain.cat", "plain catalog, signed again");
  EXPECT_EQ(Stage(PackagePath("cat.inf")), std::make_pair(TRUE, DWORD{ERROR_SUCCESS}));
  EXPECT_STREQ(dest, "C:\\WINDOWS\\INF\\oem2.inf");
  EXPECT_EQ(sim::InstalledCatalogs(), (std::vector<std::string>{root + "oem0.cat", root + "oem1.cat", root + "oem2.cat"}));
  // A catalog named with a path is not looked for.
  WritePackageFile("path.inf", version + "CatalogFile=..\\plain.cat\n" + inf.substr(inf.find("Class=")));
  EXPECT_EQ(Stage(PackagePath("path.inf")), std::make_pair(FALSE, DWORD{ERROR_INVALID_PARAMETER}));
}

}  // namespace
