#include "app/messages.h"

#include "app/app_state.h"

extern const MessageRecord kMessages[MessageKeyCount];

const MessageRecord& MessageOf(MessageKey key) { return kMessages[key]; }

const char* MessageText(MessageKey key) {
  const MessageRecord& m = MessageOf(key);
  return AppState.UseChinese && m.chinese ? m.chinese : m.english;
}

UINT MessageType(MessageKey key) {
  const MessageRecord& m = MessageOf(key);
  return AppState.UseChinese ? m.typeChinese : m.typeEnglish;
}

void ShowMessage(MessageKey key, HWND owner) {
  // No caller acts on how the box was closed.
  MessageBoxA(owner, MessageText(key), MessageOf(key).caption, MessageType(key));
}
