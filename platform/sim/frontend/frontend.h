// The user's side of the simulated dialogs: a scripted front end (event
// lines in, snapshots out) and an interactive terminal one.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

namespace sim {

// Where the user's actions come from and where what they see goes: `next`
// returns the next event line (see events.h), or nullopt when there are no
// more; then every open message box and dialog is answered as Esc answers
// it. With `out`, a text snapshot of the top dialog follows each event there.
using UiEventSource = std::function<std::optional<std::string>()>;
void UseScriptedUi(UiEventSource next, std::ostream* out);
void UseScriptedUi(std::istream& events, std::ostream& out);
// The interactive terminal (ncurses) front end.
void UseTerminalUi();
// Without either, the first dialog chooses: SETUP_UI=script, or standard
// input not being a terminal, gives the scripted one on standard input and
// output; otherwise the terminal one.

// The scripted front end's snapshot of the current dialogs and message boxes.
std::string UiSnapshot();

}  // namespace sim
