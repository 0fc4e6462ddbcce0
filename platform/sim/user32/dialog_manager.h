// The dialog manager's modal loops and what drives them: a front end hands
// over the user's actions one by one and shows what they did. The front ends
// (scripted, terminal) are made elsewhere and installed here.
#pragma once

#include "platform/sim/user32/apply_event.h"

#include <memory>
#include <optional>
#include <string>

namespace sim::internal {

struct UserAction {
  std::string line;  // the action as an event line, e.g. "press 1001"
  UiEvent event;
};

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  // Waits for the user's next action; nullopt when the input has ended.
  virtual std::optional<UserAction> NextAction() = 0;
  // An action is about to be carried out (one of the user's, or the answer
  // the dialog manager gives when the input has ended).
  virtual void Begin(const std::string& line) = 0;
  // Why the action had no effect.
  virtual void Note(const std::string& outcome) = 0;
  // The outermost dialog has closed.
  virtual void Finished() = 0;
};

// Drives the dialogs from now on, in place of the front end before.
void InstallFrontEnd(std::unique_ptr<FrontEnd> frontEnd);
// Makes the front end for a dialog that opens while none is installed.
using FrontEndMaker = std::unique_ptr<FrontEnd> (*)();
void SetDefaultFrontEnd(FrontEndMaker make);

}  // namespace sim::internal
