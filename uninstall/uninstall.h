// Removal of a matching device and of the files of its driver package.
#pragma once

#include "platform/win32.h"

// Removes the first present device whose hardware id begins with one of the
// ids of HardwareIdList, after deleting its staged INF and PNF and, when the
// delete option of the main dialog is checked, the files the INF copied.
// ResultDone (2) when a device was removed, ResultFailed (3) otherwise.
int RemoveMatchingDevices();
// Deletes the staged copy of this package (and its PNF) among the compatible
// drivers of the device. Nothing is reported.
void DeleteDriverPackageFiles(HDEVINFO set, SP_DEVINFO_DATA* device);
// Deletes the files the INF at InfPath copies into the Windows or system
// directory. Nothing is reported.
void DeleteCopiedFiles();
