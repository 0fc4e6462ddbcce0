// The two front ends that drive the simulated dialogs.
#pragma once

#include "platform/sim/frontend/frontend.h"
#include "platform/sim/user32/dialog_manager.h"

#include <memory>

namespace sim::internal {

std::unique_ptr<FrontEnd> MakeScriptFrontEnd(UiEventSource next, std::ostream* out);
std::unique_ptr<FrontEnd> MakeTerminalFrontEnd();
// The lines of a stream, one by one.
UiEventSource LinesOf(std::istream& in);

}  // namespace sim::internal
