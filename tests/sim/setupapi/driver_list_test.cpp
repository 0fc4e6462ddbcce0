// Compatible-driver lists: SetupDiBuildDriverInfoList, SetupDiEnumDriverInfoA,
// SetupDiGetDriverInfoDetailA and SetupDiDestroyDriverInfoList.
#include "tests/support/device_helpers.h"
#include "platform/sim/machine/machine.h"

#include <cstddef>

namespace {

std::string ModelInf(const std::string& models, const std::string& manufacturer = "%M%=Models") {
  return "[Version]\nSignature=\"$Windows NT$\"\nProvider=%P%\nDriverVer=02/03/2020,1.2.3.4\n[Manufacturer]\n" +
         manufacturer + "\n" + models + "[I]\n[Strings]\nP=\"Example Provider\"\nM=\"Example Maker\"\n";
}

class DriverLists : public test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    device_ = test::AddTestDevice({"USB\\VID_F00D&PID_0010"}, false, 0, {"USB\\Class_FF"});
    set_ = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    ASSERT_TRUE(test::FindElement(set_, device_, data_));
  }
  void TearDown() override {
    SetupDiDestroyDeviceInfoList(set_);
    SimTest::TearDown();
  }
  std::string device_;
  HDEVINFO set_ = nullptr;
  SP_DEVINFO_DATA data_{};
};

TEST_F(DriverLists, EveryInfOfTheInfDirectoryThatNamesTheDevice) {
  WriteMachineFile("C:\\WINDOWS\\INF\\oem3.inf", ModelInf("[Models]\n\"By hardware id\"=I,USB\\VID_F00D&PID_0010\n"));
  WriteMachineFile("C:\\WINDOWS\\INF\\oem12.inf",
                   ModelInf("[Models]\n\"By compatible id\"=I,USB\\VID_F00D&PID_00FF,USB\\Class_FF\n"));
  WriteMachineFile("C:\\WINDOWS\\INF\\oem4.inf", ModelInf("[Models]\n\"Other\"=I,USB\\VID_F00D&PID_0011\n"));

  EXPECT_RESULT_AND_ERROR(SetupDiBuildDriverInfoList(set_, &data_, SPDIT_COMPATDRIVER), TRUE, ERROR_SUCCESS);
  // The list is held by the set: later deletions do not change it.
  ASSERT_TRUE(DeleteFileA("C:\\WINDOWS\\INF\\oem3.inf"));

  SP_DRVINFO_DATA_V2_A driver{};
  driver.cbSize = sizeof driver;
  const char* expected[][2] = {{"C:\\WINDOWS\\INF\\oem12.inf", "By compatible id"},
                               {"C:\\WINDOWS\\INF\\oem3.inf", "By hardware id"}};
  for (DWORD i = 0; i < 2; ++i) {
    SCOPED_TRACE(expected[i][0]);
    EXPECT_RESULT_AND_ERROR(SetupDiEnumDriverInfoA(set_, &data_, SPDIT_COMPATDRIVER, i, &driver), TRUE, ERROR_SUCCESS);
    EXPECT_STREQ(driver.Description, expected[i][1]);
    EXPECT_STREQ(driver.MfgName, "Example Maker");
    EXPECT_STREQ(driver.ProviderName, "Example Provider");
    EXPECT_EQ(driver.DriverVersion, 0x0001000200030004ull);
    EXPECT_NE(driver.DriverDate.dwHighDateTime, 0u);
    // As the program asks: cbSize and the size both the record's, so the id list does not fit.
    SP_DRVINFO_DETAIL_DATA_A detail{};
    detail.cbSize = sizeof detail;
    DWORD required = 0;
    EXPECT_RESULT_AND_ERROR(SetupDiGetDriverInfoDetailA(set_, &data_, &driver, &detail, sizeof detail, &required), FALSE,
                            ERROR_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(detail.InfFileName, expected[i][0]);
    EXPECT_STREQ(detail.SectionName, "I");
    EXPECT_STREQ(detail.DrvDescription, expected[i][1]);
  }
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDriverInfoA(set_, &data_, SPDIT_COMPATDRIVER, 2, &driver), FALSE,
                          ERROR_NO_MORE_ITEMS);

  // With room for the ids: the model's hardware id, then its compatible ids.
  ASSERT_TRUE(SetupDiEnumDriverInfoA(set_, &data_, SPDIT_COMPATDRIVER, 0, &driver));
  alignas(SP_DRVINFO_DETAIL_DATA_A) char buffer[1024];
  auto* big = reinterpret_cast<SP_DRVINFO_DETAIL_DATA_A*>(buffer);
  big->cbSize = sizeof *big;
  DWORD required = 0;
  EXPECT_RESULT_AND_ERROR(SetupDiGetDriverInfoDetailA(set_, &data_, &driver, big, sizeof buffer, &required), TRUE,
                          ERROR_SUCCESS);
  using namespace std::string_literals;
  const std::string ids = "USB\\VID_F00D&PID_00FF\0USB\\Class_FF\0\0"s;
  EXPECT_EQ(std::string(big->HardwareID, ids.size()), ids);
  EXPECT_EQ(required, offsetof(SP_DRVINFO_DETAIL_DATA_A, HardwareID) + ids.size());
  EXPECT_EQ(big->CompatIDsOffset, 22u);
  EXPECT_EQ(big->CompatIDsLength, 14u);

  EXPECT_RESULT_AND_ERROR(SetupDiDestroyDriverInfoList(set_, &data_, SPDIT_COMPATDRIVER), TRUE, ERROR_SUCCESS);
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDriverInfoA(set_, &data_, SPDIT_COMPATDRIVER, 0, &driver), FALSE,
                          ERROR_NO_MORE_ITEMS);
  // Destroying a list that is not there is allowed.
  EXPECT_RESULT_AND_ERROR(SetupDiDestroyDriverInfoList(set_, &data_, SPDIT_COMPATDRIVER), TRUE, ERROR_SUCCESS);
}

TEST_F(DriverLists, NoCompatibleDriverAndRefusals) {
  EXPECT_RESULT_AND_ERROR(SetupDiBuildDriverInfoList(set_, &data_, SPDIT_COMPATDRIVER), TRUE, ERROR_SUCCESS);
  SP_DRVINFO_DATA_V2_A driver{};
  driver.cbSize = sizeof driver;
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDriverInfoA(set_, &data_, SPDIT_COMPATDRIVER, 0, &driver), FALSE,
                          ERROR_NO_MORE_ITEMS);
  driver.cbSize = 12;
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDriverInfoA(set_, &data_, SPDIT_COMPATDRIVER, 0, &driver), FALSE,
                          ERROR_INVALID_USER_BUFFER);
  driver.cbSize = sizeof driver;
  SP_DRVINFO_DETAIL_DATA_A detail{};
  detail.cbSize = sizeof detail;
  EXPECT_RESULT_AND_ERROR(SetupDiGetDriverInfoDetailA(set_, &data_, &driver, &detail, sizeof detail, nullptr), FALSE,
                          ERROR_INVALID_PARAMETER);  // not a driver of the list
  EXPECT_RESULT_AND_ERROR(SetupDiBuildDriverInfoList(set_, nullptr, SPDIT_COMPATDRIVER), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_RESULT_AND_ERROR(SetupDiBuildDriverInfoList(set_, &data_, 7), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_RESULT_AND_ERROR(SetupDiBuildDriverInfoList(set_, &data_, SPDIT_CLASSDRIVER), FALSE,
                          ERROR_CALL_NOT_IMPLEMENTED);
  EXPECT_RESULT_AND_ERROR(SetupDiBuildDriverInfoList(INVALID_HANDLE_VALUE, &data_, SPDIT_COMPATDRIVER), FALSE,
                          ERROR_INVALID_HANDLE);
  // The set is destroyed in TearDown with the list still built: that releases it.
}

struct DecorationCase {
  const char* what;
  DWORD version;
  const char* architecture;
  const char* expected;
};
// Named, so that gtest does not print the bytes of the record (its padding
// among them, which memcheck reports as uninitialised).
void PrintTo(const DecorationCase& c, std::ostream* os) { *os << c.what; }

class ModelsDecorations : public DriverLists, public ::testing::WithParamInterface<DecorationCase> {};

TEST_P(ModelsDecorations, ManufacturerEntryChoosesTheModelsSection) {
  const DecorationCase& c = GetParam();
  sim::CurrentMachine().version = c.version;
  sim::CurrentMachine().architecture = c.architecture;
  WriteMachineFile("C:\\WINDOWS\\INF\\oem0.inf",
                   ModelInf("[Models]\n\"Plain\"=I,USB\\VID_F00D&PID_0010\n"
                            "[Models.NTamd64]\n\"Amd64\"=I,USB\\VID_F00D&PID_0010\n"
                            "[Models.NTx86.6.1]\n\"X86 from 6.1\"=I,USB\\VID_F00D&PID_0010\n",
                            "%M%=Models,NTamd64,NTx86.6.1"));
  ASSERT_TRUE(SetupDiBuildDriverInfoList(set_, &data_, SPDIT_COMPATDRIVER));
  SP_DRVINFO_DATA_V2_A driver{};
  driver.cbSize = sizeof driver;
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDriverInfoA(set_, &data_, SPDIT_COMPATDRIVER, 0, &driver), TRUE, ERROR_SUCCESS);
  EXPECT_STREQ(driver.Description, c.expected);
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDriverInfoA(set_, &data_, SPDIT_COMPATDRIVER, 1, &driver), FALSE,
                          ERROR_NO_MORE_ITEMS);
}

INSTANTIATE_TEST_SUITE_P(Platforms, ModelsDecorations,
                         ::testing::Values(DecorationCase{"Win10Amd64", 0x4A65000A, "amd64", "Amd64"},
                                           DecorationCase{"Win10X86", 0x4A65000A, "x86", "X86 from 6.1"},
                                           DecorationCase{"VistaX86", 0x17700006, "x86", "Plain"},
                                           DecorationCase{"Win98", 0xC0000A04, "x86", "Plain"}),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace
