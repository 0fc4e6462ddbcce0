// The texts of the message catalogue. This file is compiled with
// -fexec-charset=CP936: the Chinese texts are written here in UTF-8 and land in
// the binary as the GBK bytes that MessageBoxA expects.
#include "app/messages.h"

const char CaptionDriverSetup[] = "DriverSetup";
const char SummaryNoInf[] = "No found *.inf!";

// The vendor's addresses are placeholders under a reserved domain.
#define VENDOR_WEBSITE "www.example.com"
#define VENDOR_EMAIL "support@example.com"

extern const MessageRecord kMessages[MessageKeyCount];
const MessageRecord kMessages[MessageKeyCount] = {
    {MsgInfNotFound, "Not Found *.inf.",
     "在当前目录下没有发现安装文件(*.inf)",
     CaptionDriverSetup, MB_ICONWARNING, MB_ICONWARNING},
    {MsgUpdateDone, "Driver install success!",
     "驱动安装成功!",
     CaptionDriverSetup, MB_ICONINFORMATION, MB_OK},
    {MsgUpdateFailed, "Driver install failure!",
     "驱动安装失败!",
     CaptionDriverSetup, MB_ICONERROR, MB_OK},
    {MsgNewdevMissing, "newdev.DLL not found.",
     "newdev.DLL 找不到",
     CaptionDriverSetup, MB_ICONWARNING, MB_ICONWARNING},
    {MsgUpdateFunctionMissing, "UpdateDriverForPlugAndPlayDevices() not found.",
     "UpdateDriverForPlugAndPlayDevices()找不到",
     CaptionDriverSetup, MB_ICONWARNING, MB_ICONWARNING},
    {MsgPreinstallDone, "Driver install success.\nplease plug the device.",
     "驱动预安装成功!\n插上设备,在弹出的<找到新的硬件向导>对话框中选择自动安装即可,\n忽略驱动数字签名警告!",
     CaptionDriverSetup, MB_ICONINFORMATION, MB_ICONINFORMATION},
    {MsgPreinstallFailed, "Driver Pre-install failure!",
     "驱动预安装失败",
     CaptionDriverSetup, MB_ICONERROR, MB_OK},
    {MsgLegacyInstallDone, "Driver install success.\n\n,please plug the device!",
     "*****驱动安装成功!*****        \n\n请插上设备!",
     CaptionDriverSetup, MB_ICONINFORMATION, MB_ICONINFORMATION},
    {MsgLegacyInstallFailed, "Driver install failure.",
     "驱动安装失败",
     CaptionDriverSetup, MB_ICONERROR, MB_OK},
    {MsgUninstallDone, "Driver uninstall success!",
     "驱动卸载成功!",
     CaptionDriverSetup, MB_ICONINFORMATION, MB_OK},
    {MsgUninstallFailed, "Driver uninstall failure!",
     "驱动卸载失败!",
     CaptionDriverSetup, MB_ICONERROR, MB_OK},
    {MsgNoInstallInfo, "Get install information failure.",
     "获取安装信息失败",
     "set", MB_OK, MB_OK},
    {MsgPlatformError, "Windows version or directory error",
     nullptr,
     "Initialize", MB_ICONERROR, MB_ICONERROR},
    {MsgContact,
     "Welcome to contact us if you have some question. \nWebsite:   " VENDOR_WEBSITE "\nEmail:     " VENDOR_EMAIL,
     "您遇到疑惑了吧,欢迎与我们联系!      \n网站/Website:   " VENDOR_WEBSITE "\n邮件/Email:     " VENDOR_EMAIL,
     "Setup", MB_ICONINFORMATION, MB_ICONINFORMATION},
};
