// The interactive terminal front end (ncurses): the dialogs drawn to scale
// from their templates (3 by 8 dialog units to a character cell, see below),
// the controls, the focus, message boxes on top, and the
// transcript's summary lines in a log under them. Keys and clicks become the
// same event lines as the scripted front end reads.
#include "platform/sim/base/text.h"
#include "platform/sim/frontend/events.h"
#include "platform/sim/frontend/front_ends.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/user32/focus.h"
#include "platform/sim/user32/windows.h"

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstring>
#include <deque>
#include <map>

#include <curses.h>
#include <langinfo.h>
#include <unistd.h>

namespace sim::internal {
namespace {

constexpr size_t kLogLines = 4;

// Terminal text: characters as ncurses takes them, and the columns each
// takes by the one width rule of the simulation.
std::wstring Wide(const std::string& utf8) {
  std::wstring out;
  for (size_t at = 0; at < utf8.size();) out += static_cast<wchar_t>(DecodeUtf8(utf8, at));
  return out;
}

int Width(wchar_t c) { return CharWidth(static_cast<char32_t>(c)); }

int Width(const std::wstring& s) {
  int w = 0;
  for (wchar_t c : s) w += Width(c);
  return w;
}

// Lines of a text as a static or multi-line edit shows it: a line break at each
// CR LF or LF, and words wrapped at blanks (or between wide characters, which
// need no blanks) so that no line is wider than `width`.
std::vector<std::wstring> Wrap(const std::wstring& text, int width) {
  std::vector<std::wstring> lines;
  if (width <= 0) return lines;
  std::wstring paragraph;
  auto flush = [&](const std::wstring& p) {
    std::wstring line;
    int lineWidth = 0;
    size_t lastBreak = std::wstring::npos;
    for (wchar_t c : p) {
      const int w = Width(c);
      if (lineWidth + w > width && !line.empty()) {
        std::wstring rest;
        if (c != L' ' && lastBreak != std::wstring::npos && lastBreak < line.size()) {
          rest = line.substr(lastBreak);
          line.resize(lastBreak);
        }
        while (!line.empty() && line.back() == L' ') line.pop_back();
        lines.push_back(line);
        line = rest;
        lineWidth = Width(line);
        lastBreak = std::wstring::npos;
        if (c == L' ' && line.empty()) continue;  // the blank at a break is not shown
      }
      line += c;
      lineWidth += w;
      if (c == L' ' || w == 2) lastBreak = line.size();
    }
    lines.push_back(line);
  };
  for (wchar_t c : text) {
    if (c == L'\r') continue;
    if (c == L'\n') {
      flush(paragraph);
      paragraph.clear();
    } else {
      paragraph += c;
    }
  }
  flush(paragraph);
  return lines;
}

// Writes at most `width` columns of `s` at (y, x), inside the screen.
void Put(int y, int x, const std::wstring& s, int width = 1 << 20) {
  if (y < 0 || y >= LINES) return;
  int used = 0;
  for (wchar_t c : s) {
    const int w = Width(c);
    if (used + w > width || x + used + w > COLS) break;
    if (x + used >= 0) {
      const wchar_t one[2] = {c, 0};
      mvaddnwstr(y, x + used, one, 1);
    }
    used += w;
  }
}

void Fill(int y, int x, int width, wchar_t c = L' ') { Put(y, x, std::wstring(static_cast<size_t>(std::max(0, width)), c), width); }

void Frame(int top, int left, int bottom, int right) {
  Put(top, left, L"┌");
  Put(top, right, L"┐");
  Put(bottom, left, L"└");
  Put(bottom, right, L"┘");
  for (int x = left + 1; x < right; ++x) {
    Put(top, x, L"─");
    Put(bottom, x, L"─");
  }
  for (int y = top + 1; y < bottom; ++y) {
    Put(y, left, L"│");
    Put(y, right, L"│");
  }
}

struct Rect {
  int top = 0, left = 0, bottom = 0, right = 0;  // inclusive cells
  bool Contains(int y, int x) const { return y >= top && y <= bottom && x >= left && x <= right; }
};

// Dialog units to cells. A row is 8 vertical units, one line of the dialog
// font. A column is 3 horizontal units, not the 4 of the font's average
// character width: the dialogs' texts are set in a proportional font, whose
// words come out about a quarter narrower than that average, and a terminal
// cell holds one character whatever its shape. So a label fits its control
// here when it fits it on Windows.
constexpr int kUnitsPerColumn = 3;
constexpr int kUnitsPerRow = 8;

int Column(int units) { return (units + kUnitsPerColumn / 2) / kUnitsPerColumn; }
int Row(int units) { return (units + kUnitsPerRow / 2) / kUnitsPerRow; }

// The cells of a control. A frame (group box, bordered edit) has its lines on
// the rectangle's edges; a text fills the cells inside them, at least one row.
Rect CellsOf(int originY, int originX, const Window& c, bool frame) {
  Rect r;
  r.left = originX + Column(c.x);
  r.top = originY + Row(c.y);
  r.right = originX + Column(c.x + c.cx) - (frame ? 0 : 1);
  r.bottom = originY + Row(c.y + c.cy) - (frame ? 0 : 1);
  r.right = std::max(r.right, r.left);
  r.bottom = std::max(r.bottom, r.top);
  return r;
}

// The row a one-line control (button, check box, closed combo box) is drawn on.
int MiddleRow(int originY, const Window& c, int height) { return originY + (c.y + height / 2) / kUnitsPerRow; }

class TerminalFrontEnd;
TerminalFrontEnd* g_terminal = nullptr;

class TerminalFrontEnd : public FrontEnd {
 public:
  ~TerminalFrontEnd() override {
    Stop();
    if (g_terminal == this) g_terminal = nullptr;
  }

  std::optional<UserAction> NextAction() override {
    Start();
    int errors = 0;
    for (;;) {
      Draw();
      wint_t ch = 0;
      const int kind = get_wch(&ch);
      if (kind == ERR) {
        // The terminal is gone: no more input will come.
        if (++errors >= 3) return std::nullopt;
        continue;
      }
      errors = 0;
      std::string error;
      if (const std::optional<std::string> line = Translate(kind, ch))
        if (const std::optional<UiEvent> event = ParseUiEvent(*line, error)) return UserAction{*line, *event};
    }
  }

  void Begin(const std::string&) override { note_.clear(); }
  void Note(const std::string& outcome) override { note_ = outcome; }
  void Finished() override { Stop(); }

  void Log(const std::string& line) {
    log_.push_back(line);
    while (log_.size() > 200) log_.pop_front();
  }

 private:
  struct Hit {
    HWND dialog;
    int id;  // -1: the close box
    Rect rect;
  };

  void Start() {
    if (active_) return;
    // Chinese texts need a UTF-8 terminal encoding.
    std::setlocale(LC_ALL, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
    initscr();
    cbreak();
    noecho();
    keypad(stdscr, TRUE);
    set_escdelay(25);
    curs_set(0);
    mousemask(BUTTON1_CLICKED | BUTTON1_PRESSED, nullptr);
    std::signal(SIGINT, [](int) {
      endwin();
      _exit(130);
    });
    g_terminal = this;
    SetEchoSink([](const std::string& line) {
      if (g_terminal) g_terminal->Log(line);
    });
    active_ = true;
  }

  void Stop() {
    if (!active_) return;
    endwin();
    SetEchoSink(nullptr);
    std::signal(SIGINT, SIG_DFL);
    active_ = false;
  }

  std::optional<std::string> Translate(int kind, wint_t ch) {
    const HWND top = TopDialog();
    const HWND focus = top ? FocusedControl(top) : nullptr;
    const Window* f = ControlRecord(focus);
    if (kind == KEY_CODE_YES) {
      switch (ch) {
        case KEY_BTAB: return "key shift-tab";
        case KEY_ENTER: return "key enter";
        case KEY_UP: return "key up";
        case KEY_DOWN: return "key down";
        case KEY_LEFT: return "key left";
        case KEY_RIGHT: return "key right";
        case KEY_PPAGE: scroll_ = std::max(0, scroll_ - 4); return std::nullopt;
        case KEY_NPAGE: scroll_ += 4; return std::nullopt;
        case KEY_RESIZE: return std::nullopt;
        case KEY_MOUSE: return Click();
        default:
          // F4 drops the list of a focused combo box down, as on Windows.
          if (ch == KEY_F(4) && f && f->classOrdinal == kComboBoxClass && OpenBoxes().empty()) return DropDown(focus);
          return std::nullopt;
      }
    }
    switch (ch) {
      case L'\t': return "key tab";
      case L'\n':
      case L'\r': return "key enter";
      case 27: return "key esc";
      case L' ': return "key space";
      case 23: return "close";  // Ctrl-W: the close box
      default: break;
    }
    if (ch >= 0x20 && f && f->classOrdinal == kComboBoxClass) note_ = "refused: typing into a combo box is not simulated";
    return std::nullopt;
  }

  std::optional<std::string> Click() {
    MEVENT m;
    if (getmouse(&m) != OK) return std::nullopt;
    if (!OpenBoxes().empty() && box_.Contains(m.y, m.x)) return "key enter";
    for (auto it = hits_.rbegin(); it != hits_.rend(); ++it) {
      if (!it->rect.Contains(m.y, m.x)) continue;
      if (it->id == -1) return "close";
      const Window* c = ControlRecord(FindControl(it->dialog, it->id));
      if (c && c->classOrdinal == kComboBoxClass) return DropDown(FindControl(it->dialog, it->id));
      return "press " + std::to_string(it->id);
    }
    return std::nullopt;
  }

  // The dropped-down list of a combo box: Up and Down move, Enter picks, Esc closes it.
  std::optional<std::string> DropDown(HWND combo) {
    const Window* c = ControlRecord(combo);
    if (!c || c->items.empty()) return std::nullopt;
    int chosen = std::max(0, c->selection);
    const Rect r = rects_.count(combo) ? rects_[combo] : Rect{};
    for (;;) {
      Draw();
      const int visible = std::max(1, r.bottom - r.top);
      const int first = std::max(0, chosen - visible + 1);
      for (int i = 0; i < visible && first + i < static_cast<int>(c->items.size()); ++i) {
        if (first + i == chosen) attron(A_REVERSE);
        Fill(r.top + 1 + i, r.left, r.right - r.left + 1);
        Put(r.top + 1 + i, r.left, Wide(AnsiToUtf8(c->items[static_cast<size_t>(first + i)])), r.right - r.left + 1);
        attroff(A_REVERSE);
      }
      refresh();
      wint_t ch = 0;
      const int kind = get_wch(&ch);
      if (kind == ERR) return std::nullopt;
      if (kind == KEY_CODE_YES && ch == KEY_UP) chosen = std::max(0, chosen - 1);
      else if (kind == KEY_CODE_YES && ch == KEY_DOWN) chosen = std::min(static_cast<int>(c->items.size()) - 1, chosen + 1);
      else if ((kind == KEY_CODE_YES && (ch == KEY_ENTER || ch == KEY_F(4))) || ch == L'\n' || ch == L'\r')
        return "select " + std::to_string(c->id) + " " + std::to_string(chosen);
      else if (ch == 27) return std::nullopt;
    }
  }

  void Draw() {
    erase();
    hits_.clear();
    rects_.clear();
    const int area = std::max(1, LINES - static_cast<int>(kLogLines) - 2);
    std::map<HWND, std::pair<int, int>> origins;  // client area of each dialog on screen
    for (HWND h : DialogStack()) {
      const Window* d = DialogRecord(h);
      if (!d || !d->Visible()) continue;
      const int cols = (d->cx + kUnitsPerColumn - 1) / kUnitsPerColumn, rows = (d->cy + kUnitsPerRow - 1) / kUnitsPerRow;
      int top = 0, left = 0;
      if ((d->style & DS_CENTER) || !origins.count(d->owner)) {
        top = std::max(0, (area - rows - 2) / 2);
        left = std::max(0, (COLS - cols - 2) / 2);
        if (!(d->style & DS_CENTER)) {
          top = Row(d->y);
          left = Column(d->x);
        }
      } else {
        top = origins[d->owner].first + Row(d->y) - 1;
        left = origins[d->owner].second + Column(d->x) - 1;
      }
      origins[h] = {top + 1, left + 1};
      DrawDialog(h, *d, top, left, cols, rows);
    }
    if (!OpenBoxes().empty()) DrawBox(OpenBoxes().back(), area);
    DrawStatus();
    refresh();
  }

  void DrawDialog(HWND h, const Window& d, int top, int left, int cols, int rows) {
    if (!d.enabled) attron(A_DIM);
    for (int y = top; y <= top + rows + 1; ++y) Fill(y, left, cols + 2);
    Frame(top, left, top + rows + 1, left + cols + 1);
    Put(top, left + 2, L" " + Wide(AnsiToUtf8(d.text)) + L" ", cols - 4);
    if ((d.style & WS_SYSMENU) && (d.style & WS_CAPTION) == WS_CAPTION) {
      Put(top, left + cols - 2, L"[X]");
      hits_.push_back(Hit{h, -1, Rect{top, left + cols - 2, top, left + cols}});
    }
    const int oy = top + 1, ox = left + 1;
    const HWND focus = FocusedControl(h);
    const Window* fw = ControlRecord(focus);
    const int defaultId = fw && fw->IsPushButton() ? fw->id : d.defaultId;
    for (HWND child : d.children) {
      const Window* c = ControlRecord(child);
      if (!c || !c->Visible()) continue;
      const bool focused = child == focus;
      const bool frame = (c->IsButton() && c->ButtonType() == BS_GROUPBOX) || (c->style & WS_BORDER);
      Rect r = CellsOf(oy, ox, *c, frame);
      const std::wstring text = Wide(AnsiToUtf8(c->text));
      const int width = r.right - r.left + 1;
      if (c->IsButton() && c->ButtonType() == BS_GROUPBOX) {
        Frame(r.top, r.left, r.bottom, r.right);
        Put(r.top, r.left + 1, L" " + text + L" ", width - 2);
        continue;
      }
      if (c->IsPushButton()) {
        r.top = r.bottom = MiddleRow(oy, *c, c->cy);
        const bool isDefault = c->id == defaultId;
        const std::wstring label = (isDefault ? L"<" : L"[") + std::wstring(L" ") + text + L" " + (isDefault ? L">" : L"]");
        const int pad = std::max(0, (width - Width(label)) / 2);
        if (focused) attron(A_REVERSE);
        Put(r.top, r.left + pad, label, width);
        attroff(A_REVERSE);
      } else if (c->IsButton()) {
        r.top = r.bottom = MiddleRow(oy, *c, c->cy);
        const wchar_t* mark = c->check == BST_CHECKED ? L"[x] " : c->check == BST_UNCHECKED ? L"[ ] " : L"[-] ";
        if (focused) attron(A_REVERSE);
        Put(r.top, r.left, mark + text, width);
        attroff(A_REVERSE);
      } else if (c->classOrdinal == kComboBoxClass) {
        // The template's height is the dropped-down list's; closed, it is one line.
        r.bottom = r.top = MiddleRow(oy, *c, 12);
        rects_[child] = r;
        if (focused) attron(A_REVERSE);
        Fill(r.top, r.left, width);
        Put(r.top, r.left, L"[" + text, width - 2);
        Put(r.top, r.right - 1, L"▼]");
        attroff(A_REVERSE);
        r.bottom = CellsOf(oy, ox, *c, false).bottom;
        rects_[child] = r;
        r.bottom = r.top;
      } else if (c->classOrdinal == kEditClass || c->classOrdinal == kStaticClass) {
        Rect inner = r;
        if (c->style & WS_BORDER) {
          Frame(r.top, r.left, r.bottom, r.right);
          inner = Rect{r.top + 1, r.left + 1, r.bottom - 1, r.right - 1};
        }
        const int innerWidth = inner.right - inner.left + 1, innerRows = inner.bottom - inner.top + 1;
        std::vector<std::wstring> lines =
            c->classOrdinal == kEditClass && !(c->style & ES_MULTILINE) ? std::vector<std::wstring>{text}
                                                                        : Wrap(text, innerWidth);
        // A text longer than its control is cut off there, as on Windows; PgUp and PgDn
        // scroll it here so that it can still be read.
        int skip = 0;
        if (static_cast<int>(lines.size()) > innerRows) {
          skip = std::min(scroll_, static_cast<int>(lines.size()) - innerRows);
          Put(inner.bottom, inner.right, L"↓");
        }
        if (focused) attron(A_BOLD);
        for (int i = 0; i < innerRows && skip + i < static_cast<int>(lines.size()); ++i)
          Put(inner.top + i, inner.left, lines[static_cast<size_t>(skip + i)], innerWidth - (i == innerRows - 1 && skip + innerRows < static_cast<int>(lines.size()) ? 1 : 0));
        attroff(A_BOLD);
      }
      hits_.push_back(Hit{h, c->id, r});
    }
    attroff(A_DIM);
  }

  void DrawBox(const OpenBox& box, int area) {
    const std::wstring caption = Wide(AnsiToUtf8(box.caption));
    const wchar_t* icon = (box.type & 0xF0) == MB_ICONERROR         ? L"(x) "
                          : (box.type & 0xF0) == MB_ICONWARNING     ? L"(!) "
                          : (box.type & 0xF0) == MB_ICONINFORMATION ? L"(i) "
                                                                    : L"";
    const int maxWidth = std::max(20, COLS - 6);
    std::vector<std::wstring> lines = Wrap(icon + Wide(AnsiToUtf8(box.text)), maxWidth);
    int width = std::max(Width(caption) + 8, 12);
    for (const auto& l : lines) width = std::max(width, Width(l) + 4);
    width = std::min(width, COLS);
    const int height = static_cast<int>(lines.size()) + 5;
    int top = std::max(0, (area - height) / 2), left = std::max(0, (COLS - width) / 2);
    for (int y = top; y < top + height; ++y) Fill(y, left, width);
    Frame(top, left, top + height - 1, left + width - 1);
    Put(top, left + 2, L" " + caption + L" ", width - 4);
    for (size_t i = 0; i < lines.size(); ++i) Put(top + 2 + static_cast<int>(i), left + 2, lines[i], width - 4);
    const std::wstring button = L"[ OK ]";
    attron(A_REVERSE);
    Put(top + height - 2, left + (width - Width(button)) / 2, button);
    attroff(A_REVERSE);
    box_ = Rect{top, left, top + height - 1, left + width - 1};
  }

  void DrawStatus() {
    const int y = LINES - static_cast<int>(kLogLines) - 2;
    std::string status;
    const HWND top = TopDialog();
    if (!OpenBoxes().empty()) {
      status = "message box open: Enter or Esc closes it";
    } else if (const Window* d = DialogRecord(top)) {
      const Window* f = ControlRecord(FocusedControl(top));
      status = "dialog " + std::to_string(d->templateId) + " | focus: " +
               (f ? std::to_string(f->id) + " " + AnsiToUtf8(f->text) : std::string("none"));
    }
    if (!note_.empty()) status += " | " + note_;
    attron(A_BOLD);
    Put(y, 0, Wide(status), COLS);
    attroff(A_BOLD);
    Put(y + 1, 0, L"Tab Shift-Tab Enter Esc Space arrows | F4 list | Ctrl-W close box | PgUp PgDn scroll | mouse", COLS);
    const size_t shown = std::min(kLogLines, log_.size());
    for (size_t i = 0; i < shown; ++i)
      Put(y + 2 + static_cast<int>(i), 0, Wide(log_[log_.size() - shown + i]), COLS);
  }

  bool active_ = false;
  std::deque<std::string> log_;
  std::string note_;
  int scroll_ = 0;
  std::vector<Hit> hits_;
  std::map<HWND, Rect> rects_;
  Rect box_;
};

}  // namespace

std::unique_ptr<FrontEnd> MakeTerminalFrontEnd() { return std::make_unique<TerminalFrontEnd>(); }

}  // namespace sim::internal
