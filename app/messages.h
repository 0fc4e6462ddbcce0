// The message catalogue: every text the program shows in a message box, in
// English and in Simplified Chinese (code page 936), with caption and box type.
#pragma once

#include "platform/win32.h"

enum MessageKey {
  MsgInfNotFound,
  MsgUpdateDone,
  MsgUpdateFailed,
  MsgNewdevMissing,
  MsgUpdateFunctionMissing,
  MsgPreinstallDone,
  MsgPreinstallFailed,
  MsgLegacyInstallDone,
  MsgLegacyInstallFailed,
  MsgUninstallDone,
  MsgUninstallFailed,
  MsgNoInstallInfo,
  MsgPlatformError,
  MsgContact,
  MessageKeyCount
};

struct MessageRecord {
  MessageKey key;
  const char* english;
  const char* chinese;  // null: the English text in both languages
  const char* caption;
  UINT typeEnglish;
  UINT typeChinese;
};

extern const char CaptionDriverSetup[];
// Put into the summary box when the directory holds no INF file; the same in both languages.
extern const char SummaryNoInf[];

const MessageRecord& MessageOf(MessageKey key);
// The text and box type for the language chosen at start (UseChinese).
const char* MessageText(MessageKey key);
UINT MessageType(MessageKey key);
// Shows the message with the given owner (MainWindow, or null where the caller says so).
void ShowMessage(MessageKey key, HWND owner);
