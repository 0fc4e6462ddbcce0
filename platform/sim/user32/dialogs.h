// What the parts of the simulated user32 share: the window table, the dialog
// manager, the controls, and the events and front ends that drive them.
#pragma once

#include "platform/sim/frontend/frontend.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/user32/user32.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim::internal {

// The compiled resources of the program (res/setup.rc), embedded at build time.
extern const unsigned char kProgramResourceBytes[];
extern const size_t kProgramResourceSize;

constexpr WORD kButtonClass = 0x80;
constexpr WORD kEditClass = 0x81;
constexpr WORD kStaticClass = 0x82;
constexpr WORD kListBoxClass = 0x83;
constexpr WORD kScrollBarClass = 0x84;
constexpr WORD kComboBoxClass = 0x85;

// A window of the simulated user interface: a dialog, or a control of one.
struct Window {
  HWND handle = nullptr;
  int templateId = 0;     // the dialog's template (for a control: its dialog's)
  HWND owner = nullptr;   // a dialog's owner
  HWND parent = nullptr;  // a control's dialog; null for a dialog
  bool ended = false;     // EndDialog was called
  INT_PTR result = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string text;       // caption or control text, ANSI bytes

  // A dialog.
  DLGPROC proc = nullptr;
  std::vector<HWND> children;  // controls in template (z and tab) order
  HWND focus = nullptr;        // its control that has the focus, or had it while another window was active
  bool enabled = true;
  bool modal = false;          // run by DialogBoxParamA
  bool ownerDisabled = false;  // the modal loop disabled the owner
  int defaultId = 0;           // the last BS_DEFPUSHBUTTON of the template
  short x = 0, y = 0, cx = 0, cy = 0;  // dialog units; a control's relative to its dialog

  // A control.
  int id = 0;
  WORD classOrdinal = 0;  // 0 for a named class
  std::string className;
  UINT check = BST_UNCHECKED;
  std::vector<std::string> items;  // combo box list
  int selection = -1;

  bool IsControl() const { return parent != nullptr; }
  bool Visible() const { return (style & WS_VISIBLE) != 0; }
  bool Enabled() const { return (style & WS_DISABLED) == 0; }
  DWORD ButtonType() const { return style & BS_TYPEMASK; }
  bool IsButton() const { return classOrdinal == kButtonClass; }
  bool IsPushButton() const {
    return IsButton() && (ButtonType() == BS_PUSHBUTTON || ButtonType() == BS_DEFPUSHBUTTON);
  }
  bool IsCheckBox() const {
    const DWORD t = ButtonType();
    return IsButton() && (t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE);
  }
  bool IsMultilineEdit() const { return classOrdinal == kEditClass && (style & ES_MULTILINE); }
};

Window* WindowRecord(HWND handle);
Window* DialogRecord(HWND handle);   // dialogs only
Window* ControlRecord(HWND handle);  // controls only
HWND AddWindow(Window window);
void RemoveWindow(HWND handle);
// The dialog a window belongs to (itself for a dialog), or null.
HWND DialogOf(HWND window);
HWND FindControl(HWND dialog, int id);
// "dialog 129", "control 1004 of dialog 129".
std::string Describe(HWND window);

// Creates a dialog window and its controls from a template: hidden, with the
// texts in the ANSI code page. Sends no message.
HWND CreateDialogWindow(const DialogTemplate& dialog, int templateId, HWND owner, DLGPROC proc, bool modal);
// Destroys a dialog as DestroyWindow does: WM_DESTROY to its procedure, then
// the window and its controls are gone.
void DestroyDialogWindow(HWND dialog);

// Sends a message to a dialog: its procedure first, then the default dialog
// handling for what the procedure left (WM_CLOSE becomes IDCANCEL).
LRESULT SendToDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The control's own handling of a message (its window procedure).
LRESULT ControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
// Selects a combo box item (-1: none) as CB_SETCURSEL does, recorded as done
// by `by` ("program" or "user"). Returns the index, or CB_ERR.
LRESULT SelectComboItem(HWND combo, int index, const char* by);
// A control's notification to its dialog (WM_COMMAND with the control's id).
void Notify(HWND control, WORD code);
// A command that the user caused (a click, a key, a selection), recorded in
// the transcript before the dialog procedure gets it.
void SendCommand(HWND dialog, int id, WORD code, HWND control, const std::string& cause);
// WM_CLOSE; what the procedure leaves becomes IDCANCEL, as the default dialog procedure does.
void SendClose(HWND dialog, const std::string& cause);
// Records a dialog event in the transcript.
void RecordDialog(HWND window, const char* action, nlohmann::json fields, const std::string& summary);

// ---- focus and the dialogs on screen ----------------------------------------

// The window with the keyboard focus: a control, a dialog, or null while a
// message box has it.
HWND KeyboardFocus();
// Moves the keyboard focus, with the focus notifications of edits and combo boxes.
void SetKeyboardFocus(HWND window);
// The focused control of `dialog` while it is active, or null.
HWND FocusedControl(HWND dialog);
// Gives the focus back to the topmost dialog (after a box or a dialog on top closed).
void ActivateTopDialog();
// The modal dialogs that exist, oldest first.
const std::vector<HWND>& DialogStack();
// The dialog the user sees on top: the newest visible one that has not ended.
HWND TopDialog();
// How many DialogBoxParamA calls are running.
int ModalDepth();

// ---- message boxes while a dialog runs -----------------------------------------

struct OpenBox {
  HWND owner = nullptr;
  std::string text;
  std::string caption;
  UINT type = 0;
  std::optional<int> answer;
  std::string answeredBy;
};
const std::vector<OpenBox>& OpenBoxes();
// What Enter (or Space) and Esc answer for a box type; nullopt when the key does nothing.
std::optional<int> BoxAnswer(UINT type, bool escape);

// ---- the user's actions ------------------------------------------------------

enum class Key { Enter, Esc, Tab, ShiftTab, Space, Up, Down, Left, Right };
const char* KeyName(Key key);

struct UiEvent {
  enum Kind { Select, Press, Check, Uncheck, Type, Close, KeyPress } kind = Press;
  int id = -1;    // control id; -1: none given
  int item = 0;   // combo item for Select
  Key key = Key::Enter;
  std::string text;  // UTF-8, for Type
};
// Parses one event line; nullopt with `error` set when it is not one.
std::optional<UiEvent> ParseUiEvent(std::string_view line, std::string& error);
// Carries out an event on the message box or dialog on top. Returns "" when
// it had its effect, else a line saying why it had none ("refused: ...").
std::string ApplyUiEvent(const UiEvent& event, const std::string& cause);

// What the user does to a dialog (the keyboard interface of a real dialog
// manager and the mouse). Each returns "" or why nothing happened.
std::string PressKey(HWND dialog, Key key, const std::string& cause);
std::string ClickControl(HWND dialog, int id, const std::string& cause);
std::string PickComboItem(HWND dialog, int comboId, int item, const std::string& cause);
std::string TypeText(HWND dialog, const std::string& ansi, const std::string& cause);
std::string ClickCloseBox(HWND dialog, const std::string& cause);

// ---- front ends --------------------------------------------------------------

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  // Waits for the user's next action (an event line); nullopt when the input has ended.
  virtual std::optional<std::string> NextEvent() = 0;
  // An event is about to be carried out.
  virtual void Begin(const std::string& event) = 0;
  // Why the event did nothing, or that it was not understood.
  virtual void Note(const std::string& outcome) = 0;
  // The outermost dialog has closed.
  virtual void Finished() = 0;
};
FrontEnd& CurrentFrontEnd();
std::unique_ptr<FrontEnd> MakeScriptFrontEnd(UiEventSource next, std::ostream* out);
std::unique_ptr<FrontEnd> MakeTerminalFrontEnd();

}  // namespace sim::internal
