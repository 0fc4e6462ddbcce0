// How a message box looks on a terminal when nobody waits on it.
#pragma once

#include "platform/win32.h"

#include <string>
#include <string_view>

namespace sim::internal {

// The framed box written to standard error for a message box (UTF-8).
std::string FrameMessageBox(HWND owner, std::string_view text, std::string_view caption, UINT type);

}  // namespace sim::internal
