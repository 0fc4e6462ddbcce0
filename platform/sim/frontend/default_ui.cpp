// Which front end drives a dialog when the program's caller chose none: the
// choice `setup` makes when it starts, registered with the dialog manager.
#include "platform/sim/frontend/front_ends.h"

#include <cstdlib>
#include <iostream>
#include <string>

#include <unistd.h>

namespace sim::internal {
namespace {

std::unique_ptr<FrontEnd> DefaultFrontEnd() {
  const char* ui = std::getenv("SETUP_UI");
  if ((ui && std::string(ui) == "script") || !isatty(STDIN_FILENO)) return MakeScriptFrontEnd(LinesOf(std::cin), &std::cout);
  return MakeTerminalFrontEnd();
}

[[maybe_unused]] const bool g_registered = (SetDefaultFrontEnd(DefaultFrontEnd), true);

}  // namespace

UiEventSource LinesOf(std::istream& in) {
  return [&in] {
    std::string line;
    if (!std::getline(in, line)) return std::optional<std::string>();
    return std::optional<std::string>(line);
  };
}

}  // namespace sim::internal

namespace sim {

void UseScriptedUi(UiEventSource next, std::ostream* out) {
  internal::InstallFrontEnd(internal::MakeScriptFrontEnd(std::move(next), out));
}

void UseScriptedUi(std::istream& events, std::ostream& out) { UseScriptedUi(internal::LinesOf(events), &out); }

void UseTerminalUi() { internal::InstallFrontEnd(internal::MakeTerminalFrontEnd()); }

}  // namespace sim

// Nothing calls this file by name: every program of the simulation links it
// through this symbol (see cmake/linux.cmake), so that the choice is registered.
extern "C" void sim_frontend_anchor() {}
