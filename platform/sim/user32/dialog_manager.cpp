// The dialog manager: modal dialogs with their nested loops, EndDialog, the
// keyboard focus, and message boxes that wait for the user while a dialog
// runs. What the user does comes from a front end (scripted or terminal).
#include "platform/sim/frontend/frontend.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/user32/dialogs.h"
#include "platform/sim/user32/user32.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>

#include <unistd.h>

namespace sim::internal {
namespace {

std::unique_ptr<FrontEnd> g_frontEnd;
std::vector<HWND> g_stack;  // modal dialogs that exist, oldest first
int g_depth = 0;            // DialogBoxParamA calls running
HWND g_focus = nullptr;
std::vector<OpenBox> g_boxes;
// Answers given for a dialog after the input ended, so that a dialog that
// ignores them cannot keep a script running for ever.
std::map<HWND, int> g_endOfInputAnswers;

int PresentBox(HWND owner, std::string_view text, std::string_view caption, UINT type);

internal::ResetHook g_reset([] {
  g_frontEnd.reset();
  g_stack.clear();
  g_depth = 0;
  g_focus = nullptr;
  g_boxes.clear();
  g_endOfInputAnswers.clear();
  SetMessageBoxPresenter(nullptr);
});

void InstallFrontEnd(std::unique_ptr<FrontEnd> frontEnd) {
  g_frontEnd = std::move(frontEnd);
  SetMessageBoxPresenter(PresentBox);
}

std::string TextOf(HWND control) {
  const Window* c = ControlRecord(control);
  return c ? AnsiToUtf8(c->text) : "";
}

std::string CommandSummary(int id, WORD code, HWND control, const std::string& cause) {
  std::string what;
  if (!control) what = id == IDCANCEL ? "IDCANCEL" : id == IDOK ? "IDOK" : "command " + std::to_string(id);
  else if (code == BN_CLICKED) what = "\"" + TextOf(control) + "\" (" + std::to_string(id) + ") clicked";
  else if (code == CBN_SELCHANGE) what = "combo box " + std::to_string(id) + " selection changed";
  else what = "command " + std::to_string(id) + " notification " + std::to_string(code);
  return what + " by " + cause;
}

void ShowDialog(HWND dialog) {
  if (Window* d = DialogRecord(dialog)) d->style |= WS_VISIBLE;
}

bool EnableWindowRecord(HWND dialog, bool enable) {
  Window* d = DialogRecord(dialog);
  if (!d || d->enabled == enable) return false;
  d->enabled = enable;
  return true;
}

[[noreturn]] void GiveUp(const std::string& why) {
  // A script must never hang: when the input has ended and a dialog will not
  // close, the run stops here with a code of its own.
  if (g_frontEnd) {
    g_frontEnd->Note("error: " + why);
    g_frontEnd->Finished();
  }
  std::fprintf(stderr, "setup: the events ended and %s; stopping\n", why.c_str());
  std::fflush(stdout);
  std::fflush(stderr);
  std::cout.flush();
  std::_Exit(3);
}

void Carry(FrontEnd& fe, const std::string& line, const UiEvent& event, const std::string& cause) {
  fe.Begin(line);
  const std::string outcome = ApplyUiEvent(event, cause);
  if (!outcome.empty()) fe.Note(outcome);
}

// Answers the box or dialog on top as Esc would, when no more events come.
void AnswerEndOfInput() {
  FrontEnd& fe = CurrentFrontEnd();
  const UiEvent esc{UiEvent::KeyPress, -1, 0, Key::Esc, ""};
  if (!g_boxes.empty()) {
    const OpenBox& box = g_boxes.back();
    if (!BoxAnswer(box.type, true)) GiveUp("the message box \"" + AnsiToUtf8(box.caption) + "\" does not close on Esc");
    Carry(fe, "key esc (end of input)", esc, "end of input");
    return;
  }
  HWND top = nullptr;
  for (auto it = g_stack.rbegin(); it != g_stack.rend() && !top; ++it)
    if (const Window* d = DialogRecord(*it); d && !d->ended) top = *it;
  if (!top) GiveUp("no dialog is left to answer");
  const int n = ++g_endOfInputAnswers[top];
  if (n == 1) Carry(fe, "key esc (end of input)", esc, "end of input");
  else if (n == 2) Carry(fe, "close (end of input)", UiEvent{UiEvent::Close, -1, 0, Key::Esc, ""}, "end of input");
  else GiveUp(Describe(top) + " does not close on Esc or its close box");
}

// One turn of a modal loop: the user's next action, carried out.
void WaitForUser() {
  FrontEnd& fe = CurrentFrontEnd();
  const std::optional<std::string> line = fe.NextEvent();
  if (!line) {
    AnswerEndOfInput();
    return;
  }
  std::string error;
  const std::optional<UiEvent> event = ParseUiEvent(*line, error);
  if (!event) {
    fe.Begin(*line);
    fe.Note("error: " + error);
    return;
  }
  Carry(fe, *line, *event, *line);
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
  const bool disabled = EnableWindowRecord(root, false);
  SetKeyboardFocus(nullptr);
  g_boxes.push_back(OpenBox{root, std::string(text), std::string(caption), type, std::nullopt, ""});
  // Boxes close newest first: one opened meanwhile has been answered before this loop looks again.
  const size_t index = g_boxes.size() - 1;
  while (!g_boxes[index].answer) WaitForUser();
  const int answer = *g_boxes[index].answer;
  const std::string cause = g_boxes[index].answeredBy;
  g_boxes.erase(g_boxes.begin() + static_cast<long>(index));
  if (disabled) EnableWindowRecord(root, true);
  Record({{"event", "dialog"},
          {"action", "box_closed"},
          {"caption", AnsiToUtf8(caption)},
          {"answer", answer},
          {"by", cause},
          {"summary", "message box \"" + AnsiToUtf8(caption) + "\" closed with " + std::to_string(answer) + " by " + cause}});
  ActivateTopDialog();
  return answer;
}

void NotifyFocus(HWND control, bool gained) {
  const Window* c = ControlRecord(control);
  if (!c) return;
  if (c->classOrdinal == kEditClass) Notify(control, gained ? EN_SETFOCUS : EN_KILLFOCUS);
  else if (c->classOrdinal == kComboBoxClass) Notify(control, gained ? CBN_SETFOCUS : CBN_KILLFOCUS);
}

}  // namespace

// ---- focus -------------------------------------------------------------

HWND KeyboardFocus() { return g_focus; }

void SetKeyboardFocus(HWND window) {
  if (window == g_focus) return;
  const HWND old = g_focus;
  g_focus = window;
  if (Window* c = ControlRecord(window)) {
    if (Window* d = DialogRecord(c->parent)) d->focus = window;
  } else if (Window* d = DialogRecord(window)) {
    d->focus = nullptr;
  }
  NotifyFocus(old, false);
  if (g_focus == window) NotifyFocus(window, true);
}

HWND FocusedControl(HWND dialog) {
  const Window* c = ControlRecord(g_focus);
  return c && c->parent == dialog ? g_focus : nullptr;
}

void ActivateTopDialog() {
  for (auto it = g_stack.rbegin(); it != g_stack.rend(); ++it) {
    const Window* d = DialogRecord(*it);
    if (!d || d->ended) continue;
    const HWND saved = d->focus;
    SetKeyboardFocus(ControlRecord(saved) ? saved : *it);
    return;
  }
  SetKeyboardFocus(nullptr);
}

const std::vector<HWND>& DialogStack() { return g_stack; }

HWND TopDialog() {
  for (auto it = g_stack.rbegin(); it != g_stack.rend(); ++it) {
    const Window* d = DialogRecord(*it);
    if (d && !d->ended && d->Visible()) return *it;
  }
  return nullptr;
}

int ModalDepth() { return g_depth; }

const std::vector<OpenBox>& OpenBoxes() { return g_boxes; }

std::optional<int> BoxAnswer(UINT type, bool escape) {
  constexpr int kAbort = 3, kRetry = 4, kYes = 6, kNo = 7;
  switch (type & 0xF) {
    case 0: return IDOK;  // an OK box closes on Esc too, with IDOK
    case 1: return escape ? IDCANCEL : IDOK;
    case 2: return escape ? std::nullopt : std::optional<int>(kAbort);
    case 3: return escape ? IDCANCEL : kYes;
    case 4: return escape ? std::nullopt : std::optional<int>(kYes);
    case 5: return escape ? IDCANCEL : kRetry;
    default: return escape ? std::nullopt : std::optional<int>(kNo);
  }
}

// ---- the user's actions, to the box or dialog on top -----------------------------

std::string ApplyUiEvent(const UiEvent& event, const std::string& cause) {
  if (!g_boxes.empty()) {
    OpenBox& box = g_boxes.back();
    if (event.kind == UiEvent::KeyPress || event.kind == UiEvent::Close) {
      // The box is the active window: the keys are its own.
      const bool escape = event.kind == UiEvent::Close || event.key == Key::Esc;
      if (event.kind == UiEvent::KeyPress && event.key != Key::Enter && event.key != Key::Space &&
          event.key != Key::Esc)
        return "no effect: the message box has only its buttons";
      const std::optional<int> answer = BoxAnswer(box.type, escape);
      if (!answer) return "no effect: this message box does not close that way";
      box.answer = answer;
      box.answeredBy = cause;
      return "";
    }
    // A click elsewhere reaches a dialog only if the box left it enabled.
    const HWND top = TopDialog();
    if (top && !DialogRecord(top)->enabled)
      return "refused: " + Describe(top) + " is disabled while the message box is open";
  }
  const HWND top = TopDialog();
  if (!top) return "refused: no dialog is open";
  if (!DialogRecord(top)->enabled) return "refused: " + Describe(top) + " is disabled";
  switch (event.kind) {
    case UiEvent::Select: return PickComboItem(top, event.id, event.item, cause);
    case UiEvent::Press: return ClickControl(top, event.id, cause);
    case UiEvent::Check:
    case UiEvent::Uncheck: {
      const Window* c = ControlRecord(FindControl(top, event.id));
      if (!c) return "refused: " + Describe(top) + " has no control " + std::to_string(event.id);
      if (!c->IsCheckBox()) return "refused: control " + std::to_string(event.id) + " is not a check box";
      const bool wanted = event.kind == UiEvent::Check;
      if ((c->check == BST_CHECKED) == wanted)
        return std::string("no effect: control ") + std::to_string(event.id) + " is already " +
               (wanted ? "checked" : "unchecked");
      return ClickControl(top, event.id, cause);
    }
    case UiEvent::Type: return TypeText(top, Utf8ToAnsi(event.text), cause);
    case UiEvent::Close: return ClickCloseBox(top, cause);
    case UiEvent::KeyPress: return PressKey(top, event.key, cause);
  }
  return "";
}

// ---- messages to dialogs ---------------------------------------------------

LRESULT SendToDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  const Window* d = DialogRecord(dialog);
  if (!d) return 0;
  const DLGPROC proc = d->proc;
  const INT_PTR handled = proc ? proc(dialog, message, wParam, lParam) : 0;
  if (message == WM_INITDIALOG) return handled;
  if (handled) return 0;  // the dialog's message result, which these procedures never set
  if (!DialogRecord(dialog)) return 0;
  switch (message) {
    case WM_CLOSE:
      SendCommand(dialog, IDCANCEL, BN_CLICKED, FindControl(dialog, IDCANCEL), "WM_CLOSE");
      return 0;
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: return DefWindowProcA(dialog, message, wParam, lParam);
    default: return 0;
  }
}

void SendCommand(HWND dialog, int id, WORD code, HWND control, const std::string& cause) {
  if (!DialogRecord(dialog)) return;
  RecordDialog(dialog, "command", {{"id", id}, {"code", code}, {"by", cause}},
               CommandSummary(id, code, control, cause));
  const WPARAM wParam = static_cast<WPARAM>(static_cast<WORD>(id)) | (static_cast<WPARAM>(code) << 16);
  SendToDialog(dialog, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(control));
}

void SendClose(HWND dialog, const std::string& cause) {
  const Window* d = DialogRecord(dialog);
  if (!d) return;
  const DLGPROC proc = d->proc;
  const INT_PTR handled = proc ? proc(dialog, WM_CLOSE, 0, 0) : 0;
  if (!handled && DialogRecord(dialog)) SendCommand(dialog, IDCANCEL, BN_CLICKED, FindControl(dialog, IDCANCEL), cause);
}

// ---- front ends ------------------------------------------------------------

FrontEnd& CurrentFrontEnd() {
  if (!g_frontEnd) {
    const char* ui = std::getenv("SETUP_UI");
    const bool script = (ui && std::string(ui) == "script") || !isatty(STDIN_FILENO);
    if (script) {
      InstallFrontEnd(MakeScriptFrontEnd(
          [] {
            std::string line;
            if (!std::getline(std::cin, line)) return std::optional<std::string>();
            return std::optional<std::string>(line);
          },
          &std::cout));
    } else {
      InstallFrontEnd(MakeTerminalFrontEnd());
    }
  }
  return *g_frontEnd;
}

}  // namespace sim::internal

namespace sim {

void UseScriptedUi(UiEventSource next, std::ostream* out) {
  internal::InstallFrontEnd(internal::MakeScriptFrontEnd(std::move(next), out));
}

void UseScriptedUi(std::istream& events, std::ostream& out) {
  UseScriptedUi(
      [&events] {
        std::string line;
        if (!std::getline(events, line)) return std::optional<std::string>();
        return std::optional<std::string>(line);
      },
      &out);
}

void UseTerminalUi() { internal::InstallFrontEnd(internal::MakeTerminalFrontEnd()); }

}  // namespace sim

using namespace sim::internal;

namespace {

// A template named by number: an integer resource, or a string "#129".
std::optional<int> TemplateNumber(LPCSTR name) {
  if (IS_INTRESOURCE(name)) return LOWORD(name);
  if (name[0] != '#' || !name[1]) return std::nullopt;
  long value = 0;
  for (const char* p = name + 1; *p; ++p) {
    if (*p < '0' || *p > '9' || value > 0xFFFF) return std::nullopt;
    value = value * 10 + (*p - '0');
  }
  if (value > 0xFFFF) return std::nullopt;
  return static_cast<int>(value);
}

// Where WM_INITDIALOG's default focus goes: the first tab stop, else the
// first control that can take the focus.
HWND DefaultFocus(HWND dialog);

}  // namespace

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM initParam) {
  if (auto error = sim::FaultFor("DialogBoxParamA", ERROR_NOT_ENOUGH_MEMORY)) {
    SetLastError(*error);
    return -1;
  }
  // An owner that is not a window fails with 0, not -1, as it always has on Windows.
  if (owner && !sim::IsWindowHandle(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (instance && instance != sim::ProgramInstance()) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);  // no other module of this process has dialogs
    return -1;
  }
  const std::optional<int> id = templateName ? TemplateNumber(templateName) : std::nullopt;
  const sim::DialogTemplate* found = id ? sim::FindDialogTemplate(*id) : nullptr;
  if (!found) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return -1;
  }
  FrontEnd& frontEnd = CurrentFrontEnd();

  // The owner of a modal dialog is a top-level window, disabled while the dialog runs.
  const HWND root = DialogOf(owner);
  bool ownerDisabled = false;
  if (Window* o = DialogRecord(root); o && o->enabled) {
    o->enabled = false;
    ownerDisabled = true;
  }
  const HWND dialog = CreateDialogWindow(*found, *id, root, proc, true);
  DialogRecord(dialog)->ownerDisabled = ownerDisabled;
  g_stack.push_back(dialog);
  ++g_depth;
  RecordDialog(dialog, "open",
               {{"owner", root ? nlohmann::json(Describe(root)) : nlohmann::json()},
                {"caption", sim::AnsiToUtf8(DialogRecord(dialog)->text)}},
               "opens \"" + sim::AnsiToUtf8(DialogRecord(dialog)->text) + "\"" +
                   (root ? ", owner " + Describe(root) : std::string()));
  SetKeyboardFocus(dialog);

  // The dialog's font, then the initialisation; a non-zero answer asks for the default focus.
  SendToDialog(dialog, WM_SETFONT, static_cast<WPARAM>(0x0A0F), 0);
  const INT_PTR init =
      SendToDialog(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(DefaultFocus(dialog)), initParam);
  if (init && DialogRecord(dialog)) {
    const HWND focus = DefaultFocus(dialog);
    SetKeyboardFocus(focus ? focus : dialog);
  }

  // An EndDialog during the initialisation ends it before it is ever shown.
  bool destroyed = false;
  if (Window* d = DialogRecord(dialog); d && !d->ended) {
    ShowDialog(dialog);
    for (;;) {
      const Window* w = DialogRecord(dialog);
      if (!w) {
        destroyed = true;
        break;
      }
      if (w->ended) break;
      WaitForUser();
    }
  } else if (!d) {
    destroyed = true;
  }
  // The result is taken before the window is destroyed: an EndDialog in
  // WM_DESTROY does not change what DialogBoxParamA returns.
  INT_PTR result = 0;
  if (!destroyed) {
    result = DialogRecord(dialog)->result;
    DestroyDialogWindow(dialog);
  } else if (ownerDisabled) {
    EnableWindowRecord(root, true);
  }
  g_stack.erase(std::remove(g_stack.begin(), g_stack.end(), dialog), g_stack.end());
  g_endOfInputAnswers.erase(dialog);
  --g_depth;
  sim::Record({{"event", "dialog"},
               {"action", "closed"},
               {"dialog", *id},
               {"result", result},
               {"summary", "dialog " + std::to_string(*id) + " is closed; DialogBoxParamA returns " +
                               std::to_string(result)}});
  ActivateTopDialog();
  if (g_depth == 0) frontEnd.Finished();
  return result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
  Window* d = DialogRecord(dialog);
  if (!d) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const bool again = d->ended;
  const INT_PTR before = d->result;
  d->ended = true;
  d->result = result;
  d->style &= ~static_cast<DWORD>(WS_VISIBLE);
  // The owner is enabled at once, so that it is usable as soon as the dialog is gone.
  const HWND owner = d->owner;
  EnableWindowRecord(owner, true);
  nlohmann::json fields = {{"result", result}};
  if (again) fields["ended_before_with"] = before;
  RecordDialog(dialog, "end", fields,
               "ends with " + std::to_string(result) +
                   (again ? " (it had ended with " + std::to_string(before) + ")" : std::string()));
  // The dialog itself takes the focus from its controls.
  if (DialogOf(g_focus) == dialog) SetKeyboardFocus(dialog);
  return TRUE;
}

namespace {

HWND DefaultFocus(HWND dialog) {
  const Window* d = DialogRecord(dialog);
  if (!d) return nullptr;
  for (HWND child : d->children) {
    const Window* c = WindowRecord(child);
    if (c && (c->style & WS_TABSTOP) && c->Visible() && c->Enabled()) return child;
  }
  // No tab stop: the first control of the first group that is visible and enabled.
  for (HWND child : d->children) {
    const Window* c = WindowRecord(child);
    if (child != d->children.front() && (c->style & WS_GROUP)) break;
    if (c->Visible() && c->Enabled()) return child;
  }
  return nullptr;
}

}  // namespace
