// Device information sets where Wine cannot follow: devices absent or
// without ids, the handle ledger, elements whose device went away, a driver
// list's own life and other platforms' models. The calls as the program makes
// them on a present device are held against Wine by the conformance probe
// (devices, drivers).
#include "tests/support/device_helpers.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/transcript.h"

#include <cstring>

namespace {

class DeviceLists : public test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    // The new machine's three present devices, then these three.
    absent_ = test::AddTestDevice({"USB\\VID_F00D&PID_0001"}, false);
    full_ = test::AddTestDevice({"USB\\VID_F00D&PID_0003&REV_0100", "USB\\VID_F00D&PID_0003"}, true, 0x40,
                                {"USB\\Class_FF"});
    bare_ = test::AddTestDevice({}, true, std::nullopt, {});  // no ids, no flags
    set_ = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    ASSERT_TRUE(test::FindElement(set_, full_, full) && test::FindElement(set_, bare_, bare));
    driver_.cbSize = sizeof driver_;
  }
  void TearDown() override {
    SetupDiDestroyDeviceInfoList(set_);  // with driver lists still built: that releases them
    SimTest::TearDown();
  }
  BOOL Enum(DWORD index) { return SetupDiEnumDriverInfoA(set_, &full, SPDIT_COMPATDRIVER, index, &driver_); }
  std::string absent_, full_, bare_;
  HDEVINFO set_ = nullptr;
  SP_DEVINFO_DATA full{}, bare{};
  SP_DRVINFO_DATA_V2_A driver_{};
};

std::string ModelInf(const std::string& models, const std::string& manufacturer = "%M%=Models") {
  return "[Version]\nSignature=\"$Windows NT$\"\n[Manufacturer]\n" + manufacturer + "\n" + models + "[I]\n";
}

// (The removal walk sees which devices a list of the present ones leaves out.)
TEST_F(DeviceLists, RecordSizeAndLedger) {
  SP_DEVINFO_DATA d{};
  d.cbSize = sizeof d - 1;
  HDEVINFO present = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDeviceInfo(present, 0, &d), FALSE, ERROR_INVALID_USER_BUFFER);
  EXPECT_RESULT_AND_ERROR(SetupDiDestroyDeviceInfoList(present), TRUE, ERROR_SUCCESS);
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDeviceInfo(present, 0, &d), FALSE, ERROR_INVALID_HANDLE);
  EXPECT_RESULT_AND_ERROR(SetupDiDestroyDeviceInfoList(present), FALSE, ERROR_INVALID_HANDLE);  // the ledger notes it
  EXPECT_EQ(sim::LedgerViolations().size(), 1u);
  expectCleanLedger_ = false;
}

// Reads that fail write nothing: not the buffer, the type or the size.
TEST_F(DeviceLists, PropertyReadsRefused) {
  SP_DEVINFO_DATA wrongSize = full;
  wrongSize.cbSize = 0;
  const struct {
    SP_DEVINFO_DATA* device;
    DWORD property, error;
  } cases[] = {
      {&bare, SPDRP_HARDWAREID, ERROR_INVALID_DATA}, {&bare, SPDRP_CONFIGFLAGS, ERROR_INVALID_DATA},
      {nullptr, SPDRP_HARDWAREID, ERROR_INVALID_PARAMETER}, {&wrongSize, SPDRP_CONFIGFLAGS, ERROR_INVALID_PARAMETER},
      {&full, SPDRP_COMPATIBLEIDS, ERROR_CALL_NOT_IMPLEMENTED},  // never read
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    BYTE buffer[200];
    std::memset(buffer, 0xAA, sizeof buffer);
    DWORD type = 0xdeadbeef, required = 0xdeadbeef;
    EXPECT_RESULT_AND_ERROR(
        SetupDiGetDeviceRegistryPropertyA(set_, c.device, c.property, &type, buffer, sizeof buffer, &required), FALSE,
        c.error);
    EXPECT_EQ(type + required, 2u * 0xdeadbeef);
    EXPECT_EQ(buffer[0] + buffer[199], 2 * 0xAA);
  }
  EXPECT_EQ(sim::TranscriptOf("unmodelled").size(), 1u);
}

TEST_F(DeviceLists, ElementsOfARemovedDevice) {
  EXPECT_RESULT_AND_ERROR(SetupDiCallClassInstaller(DIF_REMOVE, set_, &full), TRUE, ERROR_SUCCESS);
  EXPECT_EQ(sim::FindDevice(full_), nullptr);
  // The element stays in the set, but names no device any more (nor the one now in its place).
  EXPECT_RESULT_AND_ERROR(SetupDiCallClassInstaller(DIF_REMOVE, set_, &full), FALSE, ERROR_NO_SUCH_DEVINST);
  SP_DEVINFO_DATA stranger = bare;
  stranger.Reserved = 0;
  EXPECT_RESULT_AND_ERROR(SetupDiCallClassInstaller(DIF_REMOVE, set_, &stranger), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(sim::FindDevice(bare_));
}

// A driver list is the set's own: later deletions do not change it, and once
// destroyed it has no drivers. (Which INF files of the INF directory it holds,
// by hardware or compatible id, and in which order, the package cleanup's
// tests see through the program.)
TEST_F(DeviceLists, ADriverListIsTheSetsOwn) {
  WriteMachineFile("C:\\WINDOWS\\INF\\oem3.inf", ModelInf("[Models]\n\"By hardware id\"=I,USB\\VID_F00D&PID_0003\n"));
  EXPECT_RESULT_AND_ERROR(SetupDiBuildDriverInfoList(set_, &full, SPDIT_COMPATDRIVER), TRUE, ERROR_SUCCESS);
  ASSERT_TRUE(DeleteFileA("C:\\WINDOWS\\INF\\oem3.inf"));
  EXPECT_RESULT_AND_ERROR(Enum(0), TRUE, ERROR_SUCCESS);
  EXPECT_STREQ(driver_.Description, "By hardware id");
  EXPECT_RESULT_AND_ERROR(SetupDiDestroyDriverInfoList(set_, &full, SPDIT_COMPATDRIVER), TRUE, ERROR_SUCCESS);
  EXPECT_RESULT_AND_ERROR(Enum(0), FALSE, ERROR_NO_MORE_ITEMS);
  SP_DRVINFO_DETAIL_DATA_A detail{};
  detail.cbSize = sizeof detail;
  EXPECT_RESULT_AND_ERROR(SetupDiGetDriverInfoDetailA(set_, &full, &driver_, &detail, sizeof detail, nullptr), FALSE,
                          ERROR_INVALID_PARAMETER);  // no longer a driver of a list
}

// The models section a [Manufacturer] entry sends each platform to.
TEST_F(DeviceLists, ModelsDecorations) {
  WriteMachineFile("C:\\WINDOWS\\INF\\oem0.inf",
                   ModelInf("[Models]\n\"Plain\"=I,USB\\VID_F00D&PID_0003\n"
                            "[Models.NTamd64]\n\"Amd64\"=I,USB\\VID_F00D&PID_0003\n"
                            "[Models.NTx86.6.1]\n\"X86 from 6.1\"=I,USB\\VID_F00D&PID_0003\n",
                            "%M%=Models,NTamd64,NTx86.6.1"));
  const struct {
    DWORD version;
    const char* architecture;
    const char* expected;
  } cases[] = {{0x4A65000A, "amd64", "Amd64"}, {0x4A65000A, "x86", "X86 from 6.1"}, {0x17700006, "x86", "Plain"},
               {0xC0000A04, "x86", "Plain"}};
  for (const auto& c : cases) {
    sim::CurrentMachine().version = c.version;
    sim::CurrentMachine().architecture = c.architecture;
    ASSERT_TRUE(SetupDiBuildDriverInfoList(set_, &full, SPDIT_COMPATDRIVER));
    EXPECT_RESULT_AND_ERROR(Enum(0), TRUE, ERROR_SUCCESS);
    EXPECT_STREQ(driver_.Description, c.expected);
    SetupDiDestroyDriverInfoList(set_, &full, SPDIT_COMPATDRIVER);
  }
  EXPECT_RESULT_AND_ERROR(SetupDiBuildDriverInfoList(INVALID_HANDLE_VALUE, &full, SPDIT_COMPATDRIVER), FALSE,
                          ERROR_INVALID_HANDLE);
}

}  // namespace
