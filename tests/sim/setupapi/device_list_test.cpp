// Device information sets: SetupDiGetClassDevsA, SetupDiEnumDeviceInfo,
// SetupDiDestroyDeviceInfoList and SetupDiCallClassInstaller with DIF_REMOVE.
#include "tests/support/device_helpers.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/pnp/pnp.h"

namespace {

using test::AddTestDevice;

const GUID kUsbClass = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

DWORD CountOf(HDEVINFO set) {
  SP_DEVINFO_DATA d{};
  d.cbSize = sizeof d;
  DWORD n = 0;
  while (SetupDiEnumDeviceInfo(set, n, &d)) ++n;
  return n;
}

class DeviceLists : public test::SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    // The new machine's three present devices, and one that is not plugged in.
    absent_ = AddTestDevice({"USB\\VID_F00D&PID_0001"}, false);
  }
  std::string absent_;
};

TEST_F(DeviceLists, GetClassDevsFlagsClassesAndEnumerators) {
  struct Case {
    const char* what;
    const GUID* cls;
    const char* enumerator;
    DWORD flags;
    DWORD error;  // 0: a set of `count` devices
    DWORD count;
  } cases[] = {
      {"all, present or not", nullptr, nullptr, DIGCF_ALLCLASSES, 0, 4},
      {"all present", nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES, 0, 3},
      {"no class and not all classes", nullptr, nullptr, DIGCF_PRESENT, ERROR_INVALID_PARAMETER, 0},
      {"one class", &kUsbClass, nullptr, DIGCF_PRESENT, 0, 1},
      {"a class, all classes wins", &kUsbClass, nullptr, DIGCF_ALLCLASSES, 0, 4},
      {"enumerator", nullptr, "acpi", DIGCF_ALLCLASSES, 0, 2},
      {"enumerator, present only", nullptr, "USB", DIGCF_PRESENT | DIGCF_ALLCLASSES, 0, 1},
      {"unknown enumerator", nullptr, "PCMCIA", DIGCF_ALLCLASSES, ERROR_INVALID_DATA, 0},
      {"interfaces: none registered", nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_DEVICEINTERFACE, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetLastError(0xdeadbeef);
    HDEVINFO set = SetupDiGetClassDevsA(c.cls, c.enumerator, nullptr, c.flags);
    EXPECT_EQ(GetLastError(), c.error) << std::hex << GetLastError();
    if (c.error) {
      EXPECT_EQ(set, INVALID_HANDLE_VALUE);
      continue;
    }
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CountOf(set), c.count);
    EXPECT_RESULT_AND_ERROR(SetupDiDestroyDeviceInfoList(set), TRUE, ERROR_SUCCESS);
  }
}

TEST_F(DeviceLists, EnumDeviceInfoRecordsEndAndDestroy) {
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
  ASSERT_NE(set, INVALID_HANDLE_VALUE);
  SP_DEVINFO_DATA d{};
  d.cbSize = sizeof d;
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDeviceInfo(set, 0, &d), TRUE, 0xdeadbeef);  // left as it was
  EXPECT_EQ(d.DevInst, sim::CurrentMachine().devices[0].devnode);
  EXPECT_EQ(d.ClassGuid.Data1, kUsbClass.Data1);  // the root hub is in the USB class
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDeviceInfo(set, 3, &d), TRUE, 0xdeadbeef);
  EXPECT_EQ(d.DevInst, sim::FindDevice(absent_)->devnode);
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDeviceInfo(set, 4, &d), FALSE, ERROR_NO_MORE_ITEMS);
  d.cbSize = sizeof d - 1;
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDeviceInfo(set, 0, &d), FALSE, ERROR_INVALID_USER_BUFFER);
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDeviceInfo(set, 0, nullptr), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_RESULT_AND_ERROR(SetupDiDestroyDeviceInfoList(set), TRUE, ERROR_SUCCESS);
  EXPECT_RESULT_AND_ERROR(SetupDiEnumDeviceInfo(set, 0, &d), FALSE, ERROR_INVALID_HANDLE);
  // The ledger sees a double destroy, one of a handle never opened, and a leak.
  EXPECT_RESULT_AND_ERROR(SetupDiDestroyDeviceInfoList(set), FALSE, ERROR_INVALID_HANDLE);
  EXPECT_RESULT_AND_ERROR(SetupDiDestroyDeviceInfoList(INVALID_HANDLE_VALUE), FALSE, ERROR_INVALID_HANDLE);
  EXPECT_EQ(sim::LedgerViolations().size(), 2u);
  SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
  EXPECT_EQ(sim::LedgerCheckLeaks(), 1u);
  expectCleanLedger_ = false;
}

TEST_F(DeviceLists, RemoveTakesTheDeviceOutOfTheTree) {
  const std::string id = AddTestDevice({"USB\\VID_F00D&PID_0002"});
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
  SP_DEVINFO_DATA d{};
  ASSERT_TRUE(test::FindElement(set, id, d));
  EXPECT_RESULT_AND_ERROR(SetupDiCallClassInstaller(DIF_REMOVE, set, &d), TRUE, ERROR_SUCCESS);
  EXPECT_EQ(sim::FindDevice(id), nullptr);
  // The element stays in the set, but names no device any more (what else it
  // then reads, and the save of the tree, are KeptDevices' tests).
  EXPECT_RESULT_AND_ERROR(SetupDiCallClassInstaller(DIF_REMOVE, set, &d), FALSE, ERROR_NO_SUCH_DEVINST);
  EXPECT_RESULT_AND_ERROR(SetupDiCallClassInstaller(DIF_REMOVE, set, nullptr), FALSE, ERROR_NO_DEVICE_SELECTED);
  EXPECT_RESULT_AND_ERROR(SetupDiCallClassInstaller(DIF_SELECTDEVICE, set, &d), FALSE, ERROR_CALL_NOT_IMPLEMENTED);
  SP_DEVINFO_DATA stranger = d;
  stranger.Reserved = 0;
  EXPECT_RESULT_AND_ERROR(SetupDiCallClassInstaller(DIF_REMOVE, set, &stranger), FALSE, ERROR_INVALID_PARAMETER);
  SetupDiDestroyDeviceInfoList(set);
}

}  // namespace
