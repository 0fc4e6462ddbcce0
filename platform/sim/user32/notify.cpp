// Messages to dialog procedures.
#include "platform/sim/user32/notify.h"

#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/user32/windows.h"

namespace sim::internal {
namespace {

void Command(HWND dialog, int id, WORD code, HWND control) {
  const WPARAM wParam = static_cast<WPARAM>(static_cast<WORD>(id)) | (static_cast<WPARAM>(code) << 16);
  SendToDialog(dialog, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(control));
}

std::string CommandSummary(int id, WORD code, HWND control, const std::string& cause) {
  std::string what;
  if (const Window* c = ControlRecord(control); !c)
    what = id == IDCANCEL ? "IDCANCEL" : id == IDOK ? "IDOK" : "command " + std::to_string(id);
  else if (code == BN_CLICKED) what = "\"" + AnsiToUtf8(c->text) + "\" (" + std::to_string(id) + ") clicked";
  else if (code == CBN_SELCHANGE) what = "combo box " + std::to_string(id) + " selection changed";
  else what = "command " + std::to_string(id) + " notification " + std::to_string(code);
  return what + " by " + cause;
}

}  // namespace

INT_PTR SendToDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  const Window* d = DialogRecord(dialog);
  return d && d->proc ? d->proc(dialog, message, wParam, lParam) : 0;
}

void Notify(HWND control, WORD code) {
  if (const Window* c = ControlRecord(control)) Command(c->parent, c->id, code, control);
}

void SendCommand(HWND dialog, int id, WORD code, HWND control, const std::string& cause) {
  if (!DialogRecord(dialog)) return;
  RecordDialog(dialog, "command", {{"id", id}, {"code", code}, {"by", cause}}, CommandSummary(id, code, control, cause));
  Command(dialog, id, code, control);
}

void SendClose(HWND dialog, const std::string& cause) {
  if (!SendToDialog(dialog, WM_CLOSE, 0, 0)) SendCommand(dialog, IDCANCEL, BN_CLICKED, FindControl(dialog, IDCANCEL), cause);
}

void RecordDialog(HWND window, const char* action, nlohmann::json fields, const std::string& summary) {
  const Window* w = WindowRecord(window);
  nlohmann::json entry = {{"event", "dialog"}, {"action", action}};
  entry["dialog"] = w ? w->templateId : 0;
  if (w && w->IsControl()) entry["control"] = w->id;
  for (auto& [key, value] : fields.items()) entry[key] = value;
  entry["summary"] = Describe(window) + ": " + summary;
  Record(std::move(entry));
}

}  // namespace sim::internal
