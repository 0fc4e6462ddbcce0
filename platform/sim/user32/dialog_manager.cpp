// The dialog manager: modal dialogs with their nested loops, EndDialog, and
// message boxes that wait for the user while a dialog runs. What the user
// does comes from the installed front end.
#include "platform/sim/user32/dialog_manager.h"

#include "platform/sim/base/numbers.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/user32/focus.h"
#include "platform/sim/user32/message_box.h"
#include "platform/sim/user32/notify.h"
#include "platform/sim/user32/user32.h"
#include "platform/sim/user32/windows.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>

namespace sim::internal {
namespace {

FrontEndMaker g_makeDefault = nullptr;
std::unique_ptr<FrontEnd> g_frontEnd;
int g_depth = 0;  // DialogBoxParamA calls running
// Answers given for a dialog after the input ended, so that a dialog that
// ignores them cannot keep a script running for ever.
std::map<HWND, int> g_endOfInputAnswers;

ResetHook g_reset([] {
  g_frontEnd.reset();
  g_depth = 0;
  g_endOfInputAnswers.clear();
  SetMessageBoxPresenter(nullptr);
});

FrontEnd* CurrentFrontEnd() {
  if (!g_frontEnd && g_makeDefault) InstallFrontEnd(g_makeDefault());
  return g_frontEnd.get();
}

// Enables or disables a dialog; true when that changed it.
bool Enable(HWND dialog, bool enable) {
  Window* d = DialogRecord(dialog);
  if (!d || d->enabled == enable) return false;
  d->enabled = enable;
  return true;
}

[[noreturn]] void GiveUp(const std::string& why) {
  // A script must never hang: when the input has ended and a dialog will not
  // close, the run stops here with a code of its own.
  g_frontEnd->Note("error: " + why);
  g_frontEnd->Finished();
  std::fprintf(stderr, "setup: the events ended and %s; stopping\n", why.c_str());
  std::fflush(stdout);
  std::fflush(stderr);
  std::cout.flush();
  std::_Exit(3);
}

void Carry(const std::string& line, const UiEvent& event, const std::string& cause) {
  g_frontEnd->Begin(line);
  const std::string outcome = ApplyUiEvent(event, cause);
  if (!outcome.empty()) g_frontEnd->Note(outcome);
}

// Answers the box or dialog on top as Esc would, when no more events come;
// a dialog that stays open then gets its close box, and then the run stops.
void AnswerEndOfInput() {
  const UiEvent esc{UiEvent::KeyPress, -1, 0, Key::Esc};
  const HWND top = TopDialog(false);
  if (OpenBoxes().empty() && !top) GiveUp("no dialog is left to answer");
  const int n = OpenBoxes().empty() ? ++g_endOfInputAnswers[top] : 1;
  if (n == 1) Carry("key esc (end of input)", esc, "end of input");
  else if (n == 2) Carry("close (end of input)", UiEvent{UiEvent::Close, -1, 0, Key::Esc}, "end of input");
  else GiveUp(Describe(top) + " does not close on Esc or its close box");
}

// One turn of a modal loop: the user's next action, carried out.
void WaitForUser() {
  if (std::optional<UserAction> action = g_frontEnd->NextAction()) Carry(action->line, action->event, action->line);
  else AnswerEndOfInput();
}

int PresentBox(HWND owner, std::string_view text, std::string_view caption, UINT type) {
  // Outside a dialog (a silent run, or start-up) a box never waits for anyone.
  if (g_depth == 0) {
    std::fputs(FrameMessageBox(owner, text, caption, type).c_str(), stderr);
    return IDOK;
  }
  // An owned box disables its owner (the top-level dialog) while it is open;
  // a box without an owner leaves every dialog as it was.
  const HWND root = DialogOf(owner);
  const bool disabled = Enable(root, false);
  SetKeyboardFocus(nullptr);
  OpenBoxes().push_back(OpenBox{root, std::string(text), std::string(caption), type, std::nullopt});
  // Boxes close newest first: one opened meanwhile has been answered before this loop looks again.
  const size_t index = OpenBoxes().size() - 1;
  while (!OpenBoxes()[index].answeredBy) WaitForUser();
  const std::string cause = *OpenBoxes()[index].answeredBy;
  OpenBoxes().erase(OpenBoxes().begin() + static_cast<long>(index));
  if (disabled) Enable(root, true);
  Record({{"event", "dialog"},
          {"action", "box_closed"},
          {"caption", AnsiToUtf8(caption)},
          {"answer", IDOK},
          {"by", cause},
          {"summary", "message box \"" + AnsiToUtf8(caption) + "\" closed with " + std::to_string(IDOK) + " by " + cause}});
  ActivateTopDialog();
  return IDOK;
}

// A template named by number: an integer resource, or a string "#129".
std::optional<int> TemplateNumber(LPCSTR name) {
  if (IS_INTRESOURCE(name)) return LOWORD(name);
  const std::string_view digits = name[0] == '#' ? std::string_view(name + 1) : std::string_view();
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  const std::optional<long long> value = ParseNumber(digits, 0, 0xFFFF);
  return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

// Where WM_INITDIALOG's default focus goes: the first visible tab stop, else
// the first visible control of the first group.
HWND DefaultFocus(HWND dialog) {
  const Window* d = DialogRecord(dialog);
  for (HWND child : d->children) {
    const Window* c = WindowRecord(child);
    if ((c->style & WS_TABSTOP) && c->Visible()) return child;
  }
  for (HWND child : d->children) {
    const Window* c = WindowRecord(child);
    if (child != d->children.front() && (c->style & WS_GROUP)) break;
    if (c->Visible()) return child;
  }
  return nullptr;
}

// As DestroyWindow does: WM_DESTROY to the procedure, then the window and its controls are gone.
void DestroyDialogWindow(HWND dialog) {
  if (DialogOf(KeyboardFocus()) == dialog) SetKeyboardFocus(nullptr);
  SendToDialog(dialog, WM_DESTROY, 0, 0);
  RemoveDialogWindow(dialog);
}

}  // namespace

void InstallFrontEnd(std::unique_ptr<FrontEnd> frontEnd) {
  g_frontEnd = std::move(frontEnd);
  SetMessageBoxPresenter(PresentBox);
}

void SetDefaultFrontEnd(FrontEndMaker make) { g_makeDefault = make; }

}  // namespace sim::internal

using namespace sim::internal;

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM initParam) {
  if (auto error = sim::FaultFor("DialogBoxParamA", ERROR_NOT_ENOUGH_MEMORY)) return sim::Fail(*error, INT_PTR{-1});
  // An owner that is not a window fails with 0, not -1, as it always has on Windows.
  if (owner && !WindowRecord(owner)) return sim::Fail(ERROR_INVALID_WINDOW_HANDLE, INT_PTR{0});
  // No module of this process but the program (or null, which names it) holds dialogs.
  if (instance && instance != sim::ProgramInstance())
    return sim::Unmodelled("DialogBoxParamA", "a module other than the program's", ERROR_INVALID_PARAMETER, INT_PTR{-1});
  const std::optional<int> id = templateName ? TemplateNumber(templateName) : std::nullopt;
  const sim::DialogTemplate* found = id ? sim::FindDialogTemplate(*id) : nullptr;
  if (!found) return sim::Fail(ERROR_RESOURCE_NAME_NOT_FOUND, INT_PTR{-1});
  if (std::string what = OutsideModel(*found); !what.empty())
    return sim::Unmodelled("DialogBoxParamA", what, ERROR_CALL_NOT_IMPLEMENTED, INT_PTR{-1});
  if (!CurrentFrontEnd())
    return sim::Unmodelled("DialogBoxParamA", "a dialog without a front end to show it", ERROR_CALL_NOT_IMPLEMENTED, INT_PTR{-1});

  // The owner of a modal dialog is a top-level window, disabled while the dialog runs.
  const HWND root = DialogOf(owner);
  Enable(root, false);
  const HWND dialog = CreateDialogWindow(*found, *id, root, proc);
  DialogStack().push_back(dialog);
  ++g_depth;
  const std::string caption = sim::AnsiToUtf8(DialogRecord(dialog)->text);
  RecordDialog(dialog, "open", {{"owner", root ? nlohmann::json(Describe(root)) : nlohmann::json()}, {"caption", caption}},
               "opens \"" + caption + "\"" + (root ? ", owner " + Describe(root) : std::string()));
  SetKeyboardFocus(dialog);

  // The dialog's font, then the initialisation; a non-zero answer asks for the default focus.
  SendToDialog(dialog, WM_SETFONT, static_cast<WPARAM>(0x0A0F), 0);
  if (SendToDialog(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(DefaultFocus(dialog)), initParam)) {
    const HWND focus = DefaultFocus(dialog);
    SetKeyboardFocus(focus ? focus : dialog);
  }
  // An EndDialog during the initialisation ends it before it is ever shown.
  if (!DialogRecord(dialog)->ended) DialogRecord(dialog)->style |= WS_VISIBLE;
  while (!DialogRecord(dialog)->ended) WaitForUser();
  // The result is taken before the window is destroyed: an EndDialog in
  // WM_DESTROY does not change what DialogBoxParamA returns.
  const INT_PTR result = DialogRecord(dialog)->result;
  DestroyDialogWindow(dialog);
  std::erase(DialogStack(), dialog);
  g_endOfInputAnswers.erase(dialog);
  --g_depth;
  sim::Record({{"event", "dialog"},
               {"action", "closed"},
               {"dialog", *id},
               {"result", result},
               {"summary", "dialog " + std::to_string(*id) + " is closed; DialogBoxParamA returns " + std::to_string(result)}});
  ActivateTopDialog();
  if (g_depth == 0 && g_frontEnd) g_frontEnd->Finished();
  return result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
  Window* d = DialogRecord(dialog);
  if (!d) return sim::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
  const bool again = d->ended;
  const INT_PTR before = d->result;
  d->ended = true;
  d->result = result;
  d->style &= ~static_cast<DWORD>(WS_VISIBLE);
  // The owner is enabled at once, so that it is usable as soon as the dialog is gone.
  Enable(d->owner, true);
  nlohmann::json fields = {{"result", result}};
  if (again) fields["ended_before_with"] = before;
  RecordDialog(dialog, "end", fields,
               "ends with " + std::to_string(result) +
                   (again ? " (it had ended with " + std::to_string(before) + ")" : std::string()));
  // The dialog itself takes the focus from its controls.
  if (DialogOf(KeyboardFocus()) == dialog) SetKeyboardFocus(dialog);
  return TRUE;
}
