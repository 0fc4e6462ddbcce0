// SetupDiGetDeviceRegistryPropertyA and SetupDiSetDeviceRegistryPropertyA:
// multi-strings, the configuration flags, missing properties and sizes.
#include "tests/support/device_helpers.h"
#include "platform/sim/pnp/pnp.h"

#include <cstring>

namespace {

class DeviceProperties : public test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    full_ = test::AddTestDevice({"USB\\VID_F00D&PID_0003&REV_0100", "USB\\VID_F00D&PID_0003"}, true, 0x40,
                                {"USB\\Class_FF"});
    bare_ = test::AddTestDevice({}, true, std::nullopt, {});  // no ids, no flags
    set_ = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    ASSERT_TRUE(test::FindElement(set_, full_, full));
    ASSERT_TRUE(test::FindElement(set_, bare_, bare));
  }
  void TearDown() override {
    SetupDiDestroyDeviceInfoList(set_);
    SimTest::TearDown();
  }
  std::string full_, bare_;
  HDEVINFO set_ = nullptr;
  SP_DEVINFO_DATA full{}, bare{};
};

TEST_F(DeviceProperties, GetTable) {
  using namespace std::string_literals;
  const std::string hwids = "USB\\VID_F00D&PID_0003&REV_0100\0USB\\VID_F00D&PID_0003\0\0"s;
  const std::string flags = "\x40\0\0\0"s;
  SP_DEVINFO_DATA wrongSize = full;
  wrongSize.cbSize = 0;
  struct Case {
    const char* what;
    SP_DEVINFO_DATA* device;
    DWORD property;
    DWORD size;  // of the buffer offered
    BOOL result;
    DWORD error;
    DWORD type;
    std::string bytes;  // expected content, and size reported
    bool noSet = false;  // a null set instead of the fixture's
  } cases[] = {
      // A successful read leaves the last error as it was (0xdeadbeef), as Wine's does.
      {"hardware ids", &full, SPDRP_HARDWAREID, 200, TRUE, 0xdeadbeef, REG_MULTI_SZ, hwids},
      {"size query", &full, SPDRP_HARDWAREID, 0, FALSE, ERROR_INSUFFICIENT_BUFFER, REG_MULTI_SZ, hwids},
      {"one byte short", &full, SPDRP_HARDWAREID, static_cast<DWORD>(hwids.size() - 1), FALSE, ERROR_INSUFFICIENT_BUFFER, REG_MULTI_SZ, hwids},
      {"compatible ids", &full, SPDRP_COMPATIBLEIDS, 200, TRUE, 0xdeadbeef, REG_MULTI_SZ, "USB\\Class_FF\0\0"s},
      {"flags", &full, SPDRP_CONFIGFLAGS, 4, TRUE, 0xdeadbeef, REG_DWORD, flags},
      {"no hardware ids", &bare, SPDRP_HARDWAREID, 200, FALSE, ERROR_INVALID_DATA, 0xdeadbeef, ""},
      {"a property devices lack", &full, SPDRP_MFG, 200, FALSE, ERROR_INVALID_DATA, 0xdeadbeef, ""},
      {"no such property", &full, 0x100, 200, FALSE, ERROR_INVALID_REG_PROPERTY, 0xdeadbeef, ""},
      {"no device record", nullptr, SPDRP_HARDWAREID, 200, FALSE, ERROR_INVALID_PARAMETER, 0xdeadbeef, ""},
      {"record of the wrong size", &wrongSize, SPDRP_CONFIGFLAGS, 8, FALSE, ERROR_INVALID_PARAMETER, 0xdeadbeef, ""},
      {"no set", &full, SPDRP_CONFIGFLAGS, 8, FALSE, ERROR_INVALID_HANDLE, 0xdeadbeef, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BYTE buffer[200];
    std::memset(buffer, 0xAA, sizeof buffer);
    DWORD type = 0xdeadbeef, required = 0xdeadbeef;
    EXPECT_RESULT_AND_ERROR(SetupDiGetDeviceRegistryPropertyA(c.noSet ? nullptr : set_, c.device, c.property, &type,
                                                              c.size ? buffer : nullptr, c.size, &required),
                            c.result, c.error);
    EXPECT_EQ(type, c.type);
    if (!c.bytes.empty()) {
      EXPECT_EQ(required, c.bytes.size());
    }
    if (c.result) {
      EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), c.bytes.size()), c.bytes);
    } else {
      EXPECT_EQ(buffer[0], 0xAA);  // nothing written on failure
    }
  }
}

TEST_F(DeviceProperties, SetFlagsAndRefusals) {
  const DWORD reinstall = CONFIGFLAG_REINSTALL;
  EXPECT_RESULT_AND_ERROR(SetupDiSetDeviceRegistryPropertyA(set_, &full, SPDRP_CONFIGFLAGS,
                                                            reinterpret_cast<const BYTE*>(&reinstall), 4),
                          TRUE, ERROR_SUCCESS);
  // A property that the device lacks can be written, and deleted again.
  EXPECT_RESULT_AND_ERROR(SetupDiSetDeviceRegistryPropertyA(set_, &bare, SPDRP_CONFIGFLAGS,
                                                            reinterpret_cast<const BYTE*>(&reinstall), 4),
                          TRUE, ERROR_SUCCESS);
  EXPECT_RESULT_AND_ERROR(SetupDiSetDeviceRegistryPropertyA(set_, &bare, SPDRP_CONFIGFLAGS, nullptr, 0), TRUE,
                          ERROR_SUCCESS);
  EXPECT_FALSE(sim::FindDevice(bare_)->config_flags.has_value());

  const DWORD v = 0;
  const BYTE* bytes = reinterpret_cast<const BYTE*>(&v);
  EXPECT_RESULT_AND_ERROR(SetupDiSetDeviceRegistryPropertyA(set_, &full, SPDRP_CONFIGFLAGS, bytes, 2), FALSE,
                          ERROR_INVALID_DATA);
  EXPECT_RESULT_AND_ERROR(SetupDiSetDeviceRegistryPropertyA(set_, &full, SPDRP_CLASS, bytes, 4), FALSE,
                          ERROR_INVALID_REG_PROPERTY);
  const BYTE unended[] = {'a', 'b', 'c'};
  EXPECT_RESULT_AND_ERROR(SetupDiSetDeviceRegistryPropertyA(set_, &full, SPDRP_HARDWAREID, unended, sizeof unended),
                          FALSE, ERROR_INVALID_DATA);  // a multi-string without its end
  EXPECT_RESULT_AND_ERROR(SetupDiSetDeviceRegistryPropertyA(set_, nullptr, SPDRP_CONFIGFLAGS, bytes, 4), FALSE,
                          ERROR_INVALID_PARAMETER);
  EXPECT_EQ(sim::FindDevice(full_)->config_flags, std::optional<DWORD>(reinstall));  // refusals change nothing
}

}  // namespace
