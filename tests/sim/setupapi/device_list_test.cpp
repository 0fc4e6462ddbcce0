// Device information sets: the devices they hold, removing one (DIF_REMOVE),
// the properties read and written through their elements, and the compatible
// drivers built into them.
#include "tests/support/device_helpers.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/transcript.h"

#include <cstddef>
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
    detail_.cbSize = sizeof detail_;
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
  SP_DRVINFO_DETAIL_DATA_A detail_{};
};

std::string ModelInf(const std::string& models, const std::string& manufacturer = "%M%=Models") {
  return "[Version]\nSignature=\"$Windows NT$\"\nProvider=%P%\nDriverVer=02/03/2020,1.2.3.4\n[Manufacturer]\n" +
         manufacturer + "\n" + models + "[I]\n[Strings]\nP=\"Example Provider\"\nM=\"Example Maker\"\n";
}

TEST_F(DeviceLists, ClassDevsEnumAndDestroy) {
  SP_DEVINFO_DATA d{};
  d.cbSize = sizeof d;
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDeviceInfo(set_, 0, &d), TRUE, 0xdeadbeef);  // left as it was
  EXPECT_EQ(d.DevInst, sim::CurrentMachine().devices[0].devnode);
  EXPECT_EQ(d.ClassGuid.Data1, 0x36FC9E60u);  // the root hub is in the USB class
  // The present devices only: one element fewer.
  HDEVINFO present = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDeviceInfo(present, 4, &d), TRUE, 0xdeadbeef);
  EXPECT_EQ(d.DevInst, sim::FindDevice(bare_)->devnode);
  d.cbSize = sizeof d - 1;
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDeviceInfo(present, 0, &d), FALSE, ERROR_INVALID_USER_BUFFER);
  EXPECT_RESULT_AND_ERROR(SetupDiDestroyDeviceInfoList(present), TRUE, ERROR_SUCCESS);
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDeviceInfo(present, 0, &d), FALSE, ERROR_INVALID_HANDLE);
  EXPECT_RESULT_AND_ERROR(SetupDiDestroyDeviceInfoList(present), FALSE, ERROR_INVALID_HANDLE);  // the ledger notes it
  EXPECT_EQ(sim::LedgerViolations().size(), 1u);
  expectCleanLedger_ = false;
  // Filters the program never asks for are refused loudly.
  EXPECT_RESULT_AND_ERROR(SetupDiGetClassDevsA(nullptr, "USB", nullptr, DIGCF_ALLCLASSES), INVALID_HANDLE_VALUE,
                          ERROR_INVALID_PARAMETER);
  EXPECT_RESULT_AND_ERROR(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_DEVICEINTERFACE),
                          INVALID_HANDLE_VALUE, ERROR_INVALID_FLAGS);
  EXPECT_EQ(sim::TranscriptOf("unmodelled").size(), 2u);
}

// A successful read leaves the last error as it was (0xdeadbeef), as Wine's
// does. Reads of a device's ids and flags at the sizes the program offers are
// held against Wine by the conformance probe.
TEST_F(DeviceLists, ReadProperties) {
  using namespace std::string_literals;
  SP_DEVINFO_DATA wrongSize = full;
  wrongSize.cbSize = 0;
  const struct {
    SP_DEVINFO_DATA* device;
    DWORD property, size;  // the size of the buffer offered
    BOOL result;
    DWORD error, type;
    std::string bytes;  // expected content, and size reported
  } cases[] = {
      {&full, SPDRP_CONFIGFLAGS, 4, TRUE, 0xdeadbeef, REG_DWORD, "\x40\0\0\0"s},
      {&bare, SPDRP_HARDWAREID, 200, FALSE, ERROR_INVALID_DATA, 0xdeadbeef, ""},
      {&bare, SPDRP_CONFIGFLAGS, 4, FALSE, ERROR_INVALID_DATA, 0xdeadbeef, ""},
      {nullptr, SPDRP_HARDWAREID, 200, FALSE, ERROR_INVALID_PARAMETER, 0xdeadbeef, ""},
      {&wrongSize, SPDRP_CONFIGFLAGS, 8, FALSE, ERROR_INVALID_PARAMETER, 0xdeadbeef, ""},
      {&full, SPDRP_COMPATIBLEIDS, 200, FALSE, ERROR_CALL_NOT_IMPLEMENTED, 0xdeadbeef, ""},  // never read
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    BYTE buffer[200];
    std::memset(buffer, 0xAA, sizeof buffer);
    DWORD type = 0xdeadbeef, required = 0xdeadbeef;
    EXPECT_RESULT_AND_ERROR(SetupDiGetDeviceRegistryPropertyA(set_, c.device, c.property, &type,
                                                              c.size ? buffer : nullptr, c.size, &required),
                            c.result, c.error);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(required, c.bytes.empty() ? 0xdeadbeef : c.bytes.size());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), c.bytes.size()),
              c.result ? c.bytes : std::string(c.bytes.size(), '\xAA'));  // nothing written on failure
  }
  EXPECT_EQ(sim::TranscriptOf("unmodelled").size(), 1u);
}

TEST_F(DeviceLists, WriteFlagsAndRemove) {
  const DWORD reinstall = CONFIGFLAG_REINSTALL;
  const BYTE* bytes = reinterpret_cast<const BYTE*>(&reinstall);
  EXPECT_RESULT_AND_ERROR(SetupDiSetDeviceRegistryPropertyA(set_, &bare, SPDRP_CONFIGFLAGS, bytes, 4), TRUE,
                          ERROR_SUCCESS);
  EXPECT_EQ(sim::FindDevice(bare_)->config_flags, std::optional<DWORD>(reinstall));
  // Refused loudly: other properties, other sizes; they change nothing.
  EXPECT_RESULT_AND_ERROR(SetupDiSetDeviceRegistryPropertyA(set_, &full, SPDRP_HARDWAREID, bytes, 4), FALSE,
                          ERROR_CALL_NOT_IMPLEMENTED);
  EXPECT_RESULT_AND_ERROR(SetupDiSetDeviceRegistryPropertyA(set_, &full, SPDRP_CONFIGFLAGS, bytes, 2), FALSE,
                          ERROR_INVALID_PARAMETER);
  EXPECT_EQ(sim::FindDevice(full_)->config_flags, std::optional<DWORD>(0x40));
  EXPECT_RESULT_AND_ERROR(SetupDiCallClassInstaller(DIF_REMOVE, set_, &full), TRUE, ERROR_SUCCESS);
  EXPECT_EQ(sim::FindDevice(full_), nullptr);
  EXPECT_EQ(sim::LoadMachineFile(machineDir_).devices, sim::CurrentMachine().devices);  // both saved
  // The element stays in the set, but names no device any more.
  EXPECT_RESULT_AND_ERROR(SetupDiCallClassInstaller(DIF_REMOVE, set_, &full), FALSE, ERROR_NO_SUCH_DEVINST);
  SP_DEVINFO_DATA stranger = bare;
  stranger.Reserved = 0;
  EXPECT_RESULT_AND_ERROR(SetupDiCallClassInstaller(DIF_REMOVE, set_, &stranger), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_RESULT_AND_ERROR(SetupDiCallClassInstaller(DIF_SELECTDEVICE, set_, &bare), FALSE, ERROR_CALL_NOT_IMPLEMENTED);
  EXPECT_EQ(sim::TranscriptOf("unmodelled").size(), 3u);
  EXPECT_TRUE(sim::FindDevice(bare_));
}

TEST_F(DeviceLists, EveryInfOfTheInfDirectoryThatNamesTheDevice) {
  WriteMachineFile("C:\\WINDOWS\\INF\\oem3.inf", ModelInf("[Models]\n\"By hardware id\"=I,USB\\VID_F00D&PID_0003\n"));
  WriteMachineFile("C:\\WINDOWS\\INF\\oem12.inf",
                   ModelInf("[Models]\n\"By compatible id\"=I,USB\\VID_F00D&PID_00FF,USB\\Class_FF\n"));
  WriteMachineFile("C:\\WINDOWS\\INF\\oem4.inf", ModelInf("[Models]\n\"Other\"=I,USB\\VID_F00D&PID_0011\n"));
  EXPECT_RESULT_AND_ERROR(SetupDiBuildDriverInfoList(set_, &full, SPDIT_COMPATDRIVER), TRUE, ERROR_SUCCESS);
  // The list is held by the set: later deletions do not change it.
  ASSERT_TRUE(DeleteFileA("C:\\WINDOWS\\INF\\oem3.inf"));
  for (DWORD i = 0; i < 2; ++i) {  // in the order of the file names, letter by letter
    EXPECT_RESULT_AND_ERROR(Enum(i), TRUE, ERROR_SUCCESS);
    // As the program asks: the record's own size, too small for the id list.
    EXPECT_RESULT_AND_ERROR(SetupDiGetDriverInfoDetailA(set_, &full, &driver_, &detail_, sizeof detail_, nullptr), FALSE,
                            ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(detail_.InfFileName), i ? "C:\\WINDOWS\\INF\\oem3.inf" : "C:\\WINDOWS\\INF\\oem12.inf");
  }
  EXPECT_RESULT_AND_ERROR(Enum(2), FALSE, ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(std::string(driver_.Description) + "|" + driver_.MfgName + "|" + driver_.ProviderName + "|" +
                detail_.SectionName + "|" + detail_.DrvDescription,
            "By hardware id|Example Maker|Example Provider|I|By hardware id");
  EXPECT_RESULT_AND_ERROR(SetupDiDestroyDriverInfoList(set_, &full, SPDIT_COMPATDRIVER), TRUE, ERROR_SUCCESS);
  EXPECT_RESULT_AND_ERROR(Enum(0), FALSE, ERROR_NO_MORE_ITEMS);
  EXPECT_RESULT_AND_ERROR(SetupDiGetDriverInfoDetailA(set_, &full, &driver_, &detail_, sizeof detail_, nullptr), FALSE,
                          ERROR_INVALID_PARAMETER);  // no longer a driver of a list
}

// The models section a [Manufacturer] entry sends each platform to.
TEST_F(DeviceLists, ModelsDecorationsAndRefusals) {
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
  // What the program never asks for is refused loudly.
  EXPECT_RESULT_AND_ERROR(SetupDiBuildDriverInfoList(set_, &full, SPDIT_CLASSDRIVER), FALSE, ERROR_CALL_NOT_IMPLEMENTED);
  driver_.cbSize = offsetof(SP_DRVINFO_DATA_V2_A, DriverDate);  // the first version's record
  EXPECT_RESULT_AND_ERROR(Enum(0), FALSE, ERROR_INVALID_USER_BUFFER);
  EXPECT_EQ(sim::TranscriptOf("unmodelled").size(), 2u);
}

}  // namespace
