// The package cleanup of a matched device: the staged copies of this package
// and their PNF files go, PNF first, each PNF named after its own INF; the
// platform's own INF files and other vendors' packages stay.
#include "tests/support/install_package.h"
#include "uninstall/uninstall.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/pnp/pnp.h"

namespace {

using test::kPackageId;

const std::string kInfDir = "C:\\WINDOWS\\INF\\";

class PackageCleanup : public test::UninstallTest {
 protected:
  void SetUp() override {
    UninstallTest::SetUp();
    // The package names a catalog, which staging installs beside the INF.
    package_ = test::InfText({test::kPackageModel}, test::kTwoFilesBody);
    package_.insert(package_.find("\n[") + 1, "CatalogFile=tdrv.cat\n");
    WritePackageFile("tdrv.inf", package_);
    WritePackageFile("tdrv.cat", "catalog");
    SetInfPath("tdrv.inf");
  }
  void TearDown() override {
    if (set_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set_);
    SimTest::TearDown();
  }
  // An INF and its PNF in the Windows INF directory.
  void PutInf(const std::string& name, const std::string& bytes) {
    WriteMachineFile(kInfDir + name, bytes);
    WriteMachineFile(test::PnfOf(kInfDir + name), "PNF of " + name);
  }
  // Runs the cleanup for the device `instanceId`, from a list of the present devices.
  void Clean(const std::string& instanceId) {
    set_ = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    ASSERT_NE(set_, INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA device{};
    ASSERT_TRUE(test::FindElement(set_, instanceId, device));
    DeleteDriverPackageFiles(set_, &device);
    EXPECT_EQ(sim::LedgerOpenCount(sim::HandleKind::DriverList), 0u) << "the driver list outlives the cleanup";
  }
  std::string package_;
  HDEVINFO set_ = INVALID_HANDLE_VALUE;
};

TEST_F(PackageCleanup, EveryStagedCopyWhoseDetailIsReadGoesWithItsOwnPnfFirst) {
  const std::string device = test::AddTestDevice({kPackageId});
  // Copies of this package under names of different lengths and letter
  // cases, in the order the platform lists them; the name does not matter.
  // The first one's detail cannot be read: it names no file, and that copy stays.
  PutInf("oem1.inf", package_);
  PutInf("tdrv.INF", package_);
  PutInf("oem12.inf", package_);
  PutInf("oem3.inf", package_);
  sim::AddFault({"SetupDiGetDriverInfoDetailA", 1, ERROR_INVALID_PARAMETER});
  Clean(device);
  EXPECT_EQ(test::DeletedPaths(), (std::vector<std::string>{kInfDir + "oem12.PNF", kInfDir + "oem12.inf",
                                                            kInfDir + "oem3.PNF", kInfDir + "oem3.inf",
                                                            kInfDir + "tdrv.PNF", kInfDir + "tdrv.INF"}));
  EXPECT_TRUE(MachineFileExists(kInfDir + "oem1.inf"));
}

TEST_F(PackageCleanup, ThePlatformsOwnInfFilesAndOtherPackagesStay) {
  // The machine's own simusb.inf serves the device's compatible id; an
  // inbox-style INF and another vendor's package name its hardware id.
  const std::string device = test::AddTestDevice({kPackageId}, true, 0, {"USB\\ROOT_HUB30"});
  const std::string inbox = "[Version]\nSignature=\"$Windows NT$\"\nClass=USB\nProvider=%Sim%\n"
                            "[Manufacturer]\n%Sim%=Generic\n[Generic]\n%Desc%=Generic.Install," + kPackageId +
                            "\n[Generic.Install]\n[Strings]\nSim=\"Simulated Windows\"\nDesc=\"Generic USB device\"\n";
  PutInf("usbgen.inf", inbox);
  std::string other = package_;
  other.replace(other.find("Example Devices"), 15, "Other Vendor A");
  PutInf("oem1.inf", other);
  PutInf("oem4.inf", package_ + "\n");  // one byte more than this package: not its copy
  const std::string staged = test::StagePackage(AppState.InfPath);
  Clean(device);
  // Every one of them was on the device's list of compatible drivers.
  EXPECT_EQ(test::CallCount("SetupDiGetDriverInfoDetailA"), 5);
  // Only the staged copy and its PNF went: usbgen, oem1, oem4 and the machine's simusb stay with their PNF
  // files, and so does the catalog staged beside the copy.
  EXPECT_EQ(test::DeletedPaths(), (std::vector<std::string>{test::PnfOf(staged), staged}));
  EXPECT_TRUE(sim::FilesRemovedSinceNew().empty());
  EXPECT_EQ(sim::InstalledCatalogs(),
            std::vector<std::string>{"C:\\WINDOWS\\system32\\CatRoot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\oem0.cat"});
}

}  // namespace
