// The four usage texts of the help dialog, by platform family and language.
// Lines are joined by CR LF, with no line break after the last one. The
// Chinese texts are written in UTF-8 here and stored in code page 936 (this
// file is compiled with -fexec-charset=CP936); their punctuation is ASCII.
#include "ui/ui.h"

const char HelpNtEnglish[] =
    "1.You should put all the drive files(sys,dll) in the same directory at first, then select the installation file *.inf before installing or uninstalling the driver.\r\n"
    "2.Run the 'setup.exe' file and click [INSTALL] to install it in advance.  If the device is inserted, the system will find the new device and clue it on. Click 'next' to complete the process.\r\n"
    "3.Insert the device and run the setup.exe. If the system registers the device, click 'cancel' in the massage box. Then click [INSTALL] to install device driver. .\r\n"
    "4.Click [UNINSTALL] to uninstall the device driver.\r\n"
    "5.Delect the driver file by [!! Delete the...]. Driver files are shared by other devices . Delete it will lead that other device can't work.\r\n"
    "6.Install the drive in the command line box. Type 'SETUP /S' to install driver and type 'SETUP /U' to uninstall the driver.there are not any dialogbox appeared.";

const char Help9xEnglish[] =
    "1.You should put all the drive files(sys,dll) in the same directory at first, then select the installation file *.inf before installing or uninstalling the driver.\r\n"
    "2.Run the setup.exe file and click [INSTALL] to install driver in advance. Then the devices inserted are installed automatically.\r\n"
    "3.Click [UNINSTALL] to uninstall the device driver.\r\n"
    "4.Delect the driver file by [!! Delete the...]. Driver files are shared by other devices. Delete it will lead that other device can't work.\r\n"
    "5.Install the drive in the command line box. Type 'SETUP /S' to install the driver and type   'SETUP /U ' to uninstall the driver.";

const char HelpNtChinese[] =
    "1.安装或卸载前,先从组合框内选择驱动安装文件*.INF,相应的驱动文件(SYS,DLL等)应该放在同一目录下\r\n"
    "2.先运行SETUP程序,点击[INSTALL],对设备进行预安装.插上设备后,系统弹出[发现新的硬件安装向导],点击[下一步],直至完成\r\n"
    "3.先插上设备,后运行SETUP程序.在系统弹出的[发现新的硬件安装向导]对话框中点击[取消],再运行SETUP程序,点击[INSTALL]安装\r\n"
    "4.设备卸载.点击[UNINSTALL],进行设备驱动卸载\r\n"
    "5.可以通过[!! Delete the...]选择在卸载设备时要删除设备驱动文件.设备驱动文件是共用文件,删除了可能会导致其它设备不能工作\r\n"
    "6.命令行隐式安装[ SETUP /S ], 卸载[ SETUP /U ]";

const char Help9xChinese[] =
    "1.安装或卸载前,先从组合框内选择驱动安装文件*.INF,相应的驱动文件(SYS,DLL等)应该放在同一目录下\r\n"
    "2.先运行SETUP程序,点击[INSTALL],对设备进行预安装.安装完成后,重新插拔一下设备即可使用\r\n"
    "3.设备卸载.点击[UNINSTALL],进行设备驱动卸载\r\n"
    "4.可以通过[!! Delete the...]选择在卸载设备时要删除设备驱动文件.设备驱动文件是共用文件,删除了可能会导致其它设备不能工作\r\n"
    "5.命令行隐式安装[ SETUP /S ], 卸载[ SETUP /U ]";
