// MessageBoxA: recorded with its exact bytes, then shown by the dialogs'
// front end, or written to the terminal when no dialog runs.
#include "platform/sim/user32/message_box.h"

#include "platform/sim/base/text.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/machine/transcript.h"
#include "platform/sim/user32/user32.h"

#include <cstdio>
#include <sstream>

namespace sim {
namespace {

MessageBoxPresenter g_presenter = nullptr;

// The program's boxes: the one OK button, with one of three icons or none.
bool Modelled(UINT type) {
  return type == MB_OK || type == MB_ICONERROR || type == MB_ICONWARNING || type == MB_ICONINFORMATION;
}

const char* IconName(UINT type) {
  switch (type) {
    case MB_ICONERROR: return "error";
    case MB_ICONWARNING: return "warning";
    case MB_ICONINFORMATION: return "information";
    default: return "";
  }
}

}  // namespace

void SetMessageBoxPresenter(MessageBoxPresenter presenter) { g_presenter = presenter; }

std::string internal::FrameMessageBox(HWND owner, std::string_view text, std::string_view caption, UINT type) {
  const std::string title = AnsiToUtf8(caption);
  std::vector<std::string> lines;
  std::istringstream body(AnsiToUtf8(text) + "\n");
  for (std::string line; std::getline(body, line);) {
    std::erase(line, '\r');
    lines.push_back(line);
  }
  const std::string icon = IconName(type);
  const std::string button = "[ OK ]";
  size_t width = DisplayWidth(title) + 4 + (icon.empty() ? 0 : icon.size() + 3);
  for (const std::string& line : lines) width = std::max(width, DisplayWidth(line));
  width = std::max(width, button.size());
  auto pad = [](const std::string& s, size_t want) { return s + std::string(want - DisplayWidth(s), ' '); };
  std::string top = "+- " + title + " ";
  if (!icon.empty()) top += "(" + icon + ") ";
  std::string out = pad(top, width + 3) + "+\n";
  for (const std::string& line : lines) out += "| " + pad(line, width) + " |\n";
  out += "| " + std::string(width - button.size(), ' ') + button + " |\n";
  out += "+" + std::string(width + 2, '-') + "+";
  out += owner ? "  owner: " + WindowName(owner) + "\n" : "  owner: none\n";
  return out;
}

}  // namespace sim

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  if (auto error = sim::FaultFor("MessageBoxA", ERROR_NOT_ENOUGH_MEMORY)) return sim::Fail(*error, 0);
  if (owner && !sim::IsWindowHandle(owner)) return sim::Fail(ERROR_INVALID_WINDOW_HANDLE, 0);
  if (!text || !caption || !sim::Modelled(type))
    return sim::Unmodelled("MessageBoxA", "a box without a text or caption, or of type " + std::to_string(type),
                           ERROR_INVALID_PARAMETER, 0);
  sim::Record({{"event", "message_box"},
               {"owner", owner ? nlohmann::json(sim::WindowName(owner)) : nlohmann::json()},
               {"text", sim::AnsiToUtf8(text)},
               {"text_bytes", sim::HexBytes(text)},
               {"caption", sim::AnsiToUtf8(caption)},
               {"caption_bytes", sim::HexBytes(caption)},
               {"type", type}});
  if (sim::g_presenter) return sim::g_presenter(owner, text, caption, type);
  std::fputs(sim::internal::FrameMessageBox(owner, text, caption, type).c_str(), stderr);
  return IDOK;
}
