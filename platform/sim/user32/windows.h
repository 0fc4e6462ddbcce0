// The window records of the simulated user interface: every dialog, the
// controls its template made, the modal dialogs in the order they opened, and
// the message boxes open on top of them. A window's state lives here and
// nowhere else; the dialog manager, the controls and the front ends read and
// change it through these records.
#pragma once

#include "platform/sim/user32/resources.h"
#include "platform/win32.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim::internal {

constexpr WORD kButtonClass = 0x80;
constexpr WORD kEditClass = 0x81;
constexpr WORD kStaticClass = 0x82;
constexpr WORD kComboBoxClass = 0x85;

// A dialog, or a control of one. Controls are only of the kinds the
// program's templates hold (see OutsideModel): push buttons, one default push
// button, automatic check boxes, group boxes, read-only multi-line edits,
// left-aligned statics and drop-down combo boxes.
struct Window {
  HWND handle = nullptr;
  int templateId = 0;     // the dialog's template (for a control: its dialog's)
  HWND owner = nullptr;   // a dialog's owner
  HWND parent = nullptr;  // a control's dialog; null for a dialog
  DWORD style = 0;
  std::string text;       // caption or control text, ANSI bytes
  short x = 0, y = 0, cx = 0, cy = 0;  // dialog units; a control's relative to its dialog

  // A dialog.
  DLGPROC proc = nullptr;
  std::vector<HWND> children;  // controls in template (z and tab) order
  HWND focus = nullptr;        // its control that has the focus, or had it while another window was active
  bool enabled = true;
  bool ended = false;          // EndDialog was called
  INT_PTR result = 0;
  int defaultId = 0;           // the last BS_DEFPUSHBUTTON of the template

  // A control.
  int id = 0;
  WORD classOrdinal = 0;
  UINT check = BST_UNCHECKED;
  std::vector<std::string> items;  // combo box list
  int selection = -1;

  bool IsControl() const { return parent != nullptr; }
  bool Visible() const { return (style & WS_VISIBLE) != 0; }
  DWORD ButtonType() const { return style & BS_TYPEMASK; }
  bool IsButton() const { return classOrdinal == kButtonClass; }
  bool IsPushButton() const {
    return IsButton() && (ButtonType() == BS_PUSHBUTTON || ButtonType() == BS_DEFPUSHBUTTON);
  }
  bool IsGroupBox() const { return IsButton() && ButtonType() == BS_GROUPBOX; }
  bool IsCheckBox() const { return IsButton() && ButtonType() == BS_AUTOCHECKBOX; }
};

Window* WindowRecord(HWND handle);
Window* DialogRecord(HWND handle);   // dialogs only
Window* ControlRecord(HWND handle);  // controls only
// The dialog a window belongs to (itself for a dialog), or null.
HWND DialogOf(HWND window);
HWND FindControl(HWND dialog, int id);
// "dialog 129", "control 1004 of dialog 129".
std::string Describe(HWND window);

// What of a template the simulation does not model, "" when it models all of it.
std::string OutsideModel(const DialogTemplate& dialog);
// Creates a dialog window and its controls from a template: hidden, with the
// texts in the ANSI code page. Sends no message.
HWND CreateDialogWindow(const DialogTemplate& dialog, int templateId, HWND owner, DLGPROC proc);
// The dialog and its controls are gone; its end is kept for DialogEndOf.
void RemoveDialogWindow(HWND dialog);
// How a control shows a text it is given: an edit control applies its case style.
std::string ShownText(const Window& control, std::string_view text);

// The modal dialogs that exist, oldest first.
std::vector<HWND>& DialogStack();
// The newest modal dialog that has not ended: with `shownOnly`, the newest
// the user sees (one still in its WM_INITDIALOG is not shown yet).
HWND TopDialog(bool shownOnly = true);

// A message box waiting for the user while a dialog runs. The program's boxes
// all have the one OK button, so answering one is all there is to it.
struct OpenBox {
  HWND owner = nullptr;
  std::string text;
  std::string caption;
  UINT type = 0;
  std::optional<std::string> answeredBy;
};
// Open boxes, oldest first; the last one is on top.
std::vector<OpenBox>& OpenBoxes();

}  // namespace sim::internal
