// MessageBoxA: recorded with its exact bytes, shown on the terminal.
#include "platform/sim/base/text.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/user32/user32.h"

#include <cstdio>

namespace sim {
namespace {

MessageBoxPresenter g_presenter = nullptr;

const char* IconName(UINT type) {
  switch (type & 0xF0) {
    case MB_ICONERROR: return "error";
    case MB_ICONWARNING: return "warning";
    case MB_ICONINFORMATION: return "information";
    case 0x20: return "question";
    default: return "";
  }
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(current);
      current.clear();
    } else if (c != '\r') {
      current += c;
    }
  }
  lines.push_back(current);
  return lines;
}

}  // namespace

void SetMessageBoxPresenter(MessageBoxPresenter presenter) { g_presenter = presenter; }

std::string FrameMessageBox(HWND owner, std::string_view text, std::string_view caption, UINT type) {
  const std::string title = AnsiToUtf8(caption);
  const std::vector<std::string> lines = Lines(AnsiToUtf8(text));
  const std::string icon = IconName(type);
  const std::string button = "[ OK ]";
  size_t width = DisplayWidth(title) + 4 + (icon.empty() ? 0 : icon.size() + 3);
  for (const std::string& line : lines) width = std::max(width, DisplayWidth(line));
  width = std::max(width, button.size());
  auto pad = [](const std::string& s, size_t have, size_t want) { return s + std::string(want - have, ' '); };
  std::string out;
  std::string top = "+- " + title + " ";
  if (!icon.empty()) top += "(" + icon + ") ";
  out += pad(top, DisplayWidth(top), width + 3) + "+\n";
  for (const std::string& line : lines) out += "| " + pad(line, DisplayWidth(line), width) + " |\n";
  out += "| " + std::string(width - button.size(), ' ') + button + " |\n";
  out += "+" + std::string(width + 2, '-') + "+";
  out += owner ? "  owner: " + WindowName(owner) + "\n" : "  owner: none\n";
  return out;
}

}  // namespace sim

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  if (auto error = sim::FaultFor("MessageBoxA", ERROR_NOT_ENOUGH_MEMORY)) {
    SetLastError(*error);
    return 0;
  }
  if (owner && !sim::IsWindowHandle(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  const std::string body = text ? text : "";
  // A null caption shows the platform's default, "Error".
  const std::string title = caption ? caption : "Error";
  sim::Record({{"event", "message_box"},
               {"owner", owner ? nlohmann::json(sim::WindowName(owner)) : nlohmann::json()},
               {"text", sim::AnsiToUtf8(body)},
               {"text_bytes", sim::HexBytes(body)},
               {"caption", sim::AnsiToUtf8(title)},
               {"caption_bytes", sim::HexBytes(title)},
               {"type", type}});
  if (sim::g_presenter) return sim::g_presenter(owner, body, title, type);
  std::fputs(sim::FrameMessageBox(owner, body, title, type).c_str(), stderr);
  return IDOK;
}
