// What the simulation refuses because the program never asks it, over the
// whole seam: each refusal fails the call with its code (the configuration
// manager's in its CONFIGRET, the last error left as it was), writes one
// transcript entry naming the call, and changes nothing.
#include "res/resource.h"
#include "tests/support/device_helpers.h"
#include "platform/sim/frontend/frontend.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/devices.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/user32/user32.h"

#include <functional>

namespace {

struct Refusal {
  const char* call;
  std::function<bool()> refused;  // makes the call; true when it failed
  DWORD error;
};

class Refusals : public test::SimTest {};

TEST_F(Refusals, FailLoudlyAndChangeNothing) {
  WritePackageFile("drv.inf", test::PackageInf("USB\\VID_F00D&PID_0060"));
  const std::string inf = PackagePath("drv.inf"), id = test::AddTestDevice({"USB\\VID_F00D&PID_0060"}, true, 0x40);
  const HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
  SP_DEVINFO_DATA device;
  ASSERT_TRUE(test::FindElement(set, id, device));
  const HINF open = SetupOpenInfFileA(inf.c_str(), nullptr, INF_STYLE_WIN4, nullptr);
  const HSPFILEQ queue = SetupOpenFileQueue();
  const PVOID context = SetupInitDefaultQueueCallbackEx(nullptr, nullptr, 0, 0, nullptr);
  const auto update = reinterpret_cast<UpdateDriverForPlugAndPlayDevicesAFn>(reinterpret_cast<void (*)()>(
      GetProcAddress(LoadLibraryA("newdev.DLL"), "UpdateDriverForPlugAndPlayDevicesA")));
  sim::UseScriptedUi([] { return std::optional<std::string>(); }, nullptr);
  const HWND dialog = sim::NewTestDialog(IDD_MAIN);
  const DLGPROC proc = [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return 0; };
  const DEVINST node = sim::FindDevice(id)->devnode;
  const DWORD reinstall = CONFIGFLAG_REINSTALL;
  const BYTE* flags = reinterpret_cast<const BYTE*>(&reinstall);
  SP_DRVINFO_DATA_V2_A driver{};
  driver.cbSize = offsetof(SP_DRVINFO_DATA_V2_A, DriverDate);  // the first version's record
  WIN32_FIND_DATAA found;
  char buffer[16], dest[MAX_PATH] = "unchanged", small[4] = "zzz";
  DWORD required = 0;
  UINT line = 0;
  ULONG status = 0;
  int machine = 0;
  const Refusal cases[] = {
      {"LocalAlloc", [] { return !LocalAlloc(0x0002 /* LMEM_MOVEABLE */, 8); }, ERROR_INVALID_PARAMETER},
      {"CreateFileA", [&] { return CreateFileA(inf.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr) == INVALID_HANDLE_VALUE; }, ERROR_INVALID_PARAMETER},
      {"FindFirstFileA", [&] { return FindFirstFileA("C:\\*.inf", &found) == INVALID_HANDLE_VALUE; }, ERROR_INVALID_PARAMETER},
      {"LoadLibraryA", [] { return !LoadLibraryA("kernel32.dll"); }, ERROR_MOD_NOT_FOUND},
      {"GetPrivateProfileStringA", [&] { return !GetPrivateProfileStringA("S", "k", "", buffer, 16, "drv.inf"); }, ERROR_INVALID_PARAMETER},
      {"GetPrivateProfileSectionA", [&] { return !GetPrivateProfileSectionA(nullptr, buffer, 16, inf.c_str()); }, ERROR_INVALID_PARAMETER},
      {"CM_Get_DevNode_Status", [&] { return CM_Get_DevNode_Status(&status, nullptr, node, 0) == CR_INVALID_POINTER; }, 0xdeadbeef},
      {"CM_Reenumerate_DevNode", [&] { return CM_Reenumerate_DevNode(node, 0x2 /* retry */) == CR_INVALID_FLAG; }, 0xdeadbeef},
      {"CM_Reenumerate_DevNode_Ex", [&] { return CM_Reenumerate_DevNode_Ex(node, 0, &machine) == CR_INVALID_MACHINENAME; }, 0xdeadbeef},
      {"UpdateDriverForPlugAndPlayDevicesA", [&] { return !update(nullptr, "USB\\VID_F00D&PID_0060", inf.c_str(), 0, nullptr); }, ERROR_INVALID_FLAGS},
      {"UpdateDriverForPlugAndPlayDevicesA", [&] { return !update(nullptr, "USB\\VID_F00D&PID_0060", "pkg\\drv.inf", INSTALLFLAG_FORCE, nullptr); }, ERROR_INVALID_PARAMETER},
      {"SetupDiGetClassDevsA", [] { return SetupDiGetClassDevsA(nullptr, "USB", nullptr, DIGCF_ALLCLASSES) == INVALID_HANDLE_VALUE; }, ERROR_INVALID_PARAMETER},
      {"SetupDiGetClassDevsA", [] { return SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_DEVICEINTERFACE) == INVALID_HANDLE_VALUE; }, ERROR_INVALID_FLAGS},
      {"SetupDiSetDeviceRegistryPropertyA", [&] { return !SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, flags, 4); }, ERROR_CALL_NOT_IMPLEMENTED},
      {"SetupDiSetDeviceRegistryPropertyA", [&] { return !SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_CONFIGFLAGS, flags, 2); }, ERROR_INVALID_PARAMETER},
      {"SetupDiCallClassInstaller", [&] { return !SetupDiCallClassInstaller(DIF_SELECTDEVICE, set, &device); }, ERROR_CALL_NOT_IMPLEMENTED},
      {"SetupDiBuildDriverInfoList", [&] { return !SetupDiBuildDriverInfoList(set, &device, SPDIT_CLASSDRIVER); }, ERROR_CALL_NOT_IMPLEMENTED},
      {"SetupDiEnumDriverInfoA", [&] { return !SetupDiEnumDriverInfoA(set, &device, SPDIT_COMPATDRIVER, 0, &driver); }, ERROR_INVALID_USER_BUFFER},
      // The program opens its INF by its full path, and nothing more.
      {"SetupOpenInfFileA", [] { return SetupOpenInfFileA("drv.inf", nullptr, INF_STYLE_WIN4, nullptr) == INVALID_HANDLE_VALUE; }, ERROR_INVALID_PARAMETER},
      {"SetupOpenInfFileA", [&] { return SetupOpenInfFileA(inf.c_str(), "USB", INF_STYLE_WIN4, nullptr) == INVALID_HANDLE_VALUE; }, ERROR_INVALID_PARAMETER},
      {"SetupOpenInfFileA", [&] { return SetupOpenInfFileA(inf.c_str(), nullptr, INF_STYLE_OLDNT | INF_STYLE_WIN4, nullptr) == INVALID_HANDLE_VALUE; }, ERROR_INVALID_PARAMETER},
      {"SetupOpenInfFileA", [&] { return SetupOpenInfFileA(inf.c_str(), nullptr, INF_STYLE_WIN4, &line) == INVALID_HANDLE_VALUE; }, ERROR_INVALID_PARAMETER},
      {"SetupDiGetActualSectionToInstallA", [&] { return !SetupDiGetActualSectionToInstallA(open, "Drv.Install", buffer, 16, &required, nullptr); }, ERROR_INVALID_PARAMETER},
      {"SetupInstallFilesFromInfSectionA", [&] { return !SetupInstallFilesFromInfSectionA(open, nullptr, queue, "Drv.Install.NT", "C:\\", 0); }, ERROR_INVALID_FLAGS},
      {"SetupInstallFilesFromInfSectionA", [&] { return !SetupInstallFilesFromInfSectionA(open, open, queue, "Drv.Install.NT", "C:\\", SP_COPY_NEWER); }, ERROR_INVALID_PARAMETER},
      {"SetupDefaultQueueCallbackA", [&] { return !SetupDefaultQueueCallbackA(context, 0x0000000f /* QUEUESCAN, which no queue here sends */, 0, 0); }, ERROR_CALL_NOT_IMPLEMENTED},
      {"SetupCopyOEMInfA", [&] { return !SetupCopyOEMInfA(inf.c_str(), nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE, dest, MAX_PATH, nullptr, nullptr); }, ERROR_INVALID_FLAGS},
      {"SetupCopyOEMInfA", [&] { return !SetupCopyOEMInfA(inf.c_str(), nullptr, SPOST_URL, 0, dest, MAX_PATH, nullptr, nullptr); }, ERROR_INVALID_PARAMETER},
      {"SetupCopyOEMInfA", [&] { return !SetupCopyOEMInfA(inf.c_str(), nullptr, SPOST_PATH, 0, dest, MAX_PATH, &required, nullptr); }, ERROR_INVALID_PARAMETER},
      {"DialogBoxParamA", [&] { return DialogBoxParamA(reinterpret_cast<HINSTANCE>(0x7000), MAKEINTRESOURCEA(IDD_MAIN), nullptr, proc, 0) == -1; }, ERROR_INVALID_PARAMETER},
      {"GetDlgItemTextA", [&] { return !GetDlgItemTextA(dialog, IDC_INSTALL, small, sizeof small); }, ERROR_INVALID_PARAMETER},
      {"CheckDlgButton", [&] { return !CheckDlgButton(dialog, IDC_DELETE_FILES, 2 /* BST_INDETERMINATE */); }, ERROR_INVALID_PARAMETER},
      {"IsDlgButtonChecked", [&] { return IsDlgButtonChecked(dialog, IDC_INSTALL) == 0; }, ERROR_CALL_NOT_IMPLEMENTED},
      {"SendDlgItemMessageA", [&] { return SendDlgItemMessageA(dialog, IDC_INF_COMBO, 0x0146 /* CB_GETCOUNT */, 0, 0) == 0; }, ERROR_CALL_NOT_IMPLEMENTED},
      {"SendDlgItemMessageA", [&] { return SendDlgItemMessageA(dialog, IDC_INF_COMBO, CB_SETCURSEL, 7, 0) == CB_ERR; }, ERROR_INVALID_PARAMETER},
      {"SendDlgItemMessageA", [&] { return SendDlgItemMessageA(dialog, IDC_INSTALL, CB_GETCURSEL, 0, 0) == 0; }, ERROR_CALL_NOT_IMPLEMENTED},
      {"ShowWindow", [&] { return !ShowWindow(GetDlgItem(dialog, IDC_INSTALL), 0 /* SW_HIDE */); }, ERROR_INVALID_PARAMETER},
      {"DefWindowProcA", [&] { return DefWindowProcA(dialog, WM_CLOSE, 0, 0) == 0; }, ERROR_CALL_NOT_IMPLEMENTED},
      {"MessageBoxA", [] { return !MessageBoxA(nullptr, "t", "c", 4 /* MB_YESNO */); }, ERROR_INVALID_PARAMETER},
      {"MessageBoxA", [] { return !MessageBoxA(nullptr, "t", nullptr, MB_OK); }, ERROR_INVALID_PARAMETER},
  };
  size_t n = 0;
  for (const Refusal& c : cases) {
    SCOPED_TRACE(std::string(c.call) + ", row " + std::to_string(&c - cases));
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(c.refused());
    EXPECT_EQ(GetLastError(), c.error);
    const auto entries = sim::TranscriptOf("unmodelled");
    ASSERT_EQ(entries.size(), ++n);
    EXPECT_EQ(entries.back()["call"], c.call);
  }
  // Nothing changed: the device, the staged packages, the caller's buffers, the queue, drive C.
  EXPECT_EQ(sim::FindDevice(id)->config_flags, std::optional<DWORD>(0x40));
  EXPECT_FALSE(sim::FindDevice(id)->driver);
  EXPECT_STREQ(dest, "unchanged");
  EXPECT_STREQ(small, "");  // emptied, as a refused read leaves it
  EXPECT_RESULT_AND_ERROR(SetupCommitFileQueueA(nullptr, queue, SetupDefaultQueueCallbackA, context), TRUE, ERROR_SUCCESS);
  EXPECT_TRUE(sim::FilesAddedSinceNew().empty());
  SetupTermDefaultQueueCallback(context);
  SetupCloseFileQueue(queue);
  SetupCloseInfFile(open);
  SetupDiDestroyDeviceInfoList(set);
}

}  // namespace
