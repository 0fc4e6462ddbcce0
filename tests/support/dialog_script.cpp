#include "tests/support/dialog_script.h"
#include "platform/sim/frontend/frontend.h"
#include "platform/sim/user32/user32.h"

#include <sstream>

namespace test {

DialogRun RunDialog(int templateId, DLGPROC proc, const std::vector<std::string>& events,
                    const std::function<void(size_t)>& before, HWND owner, LPARAM param) {
  std::ostringstream out;
  size_t next = 0;
  sim::UseScriptedUi(
      [&]() -> std::optional<std::string> {
        if (before) before(next);
        if (next >= events.size()) return std::nullopt;
        return events[next++];
      },
      &out);
  DialogRun run;
  run.result = DialogBoxParamA(sim::ProgramInstance(), MAKEINTRESOURCEA(templateId), owner, proc, param);
  run.output = out.str();
  return run;
}

}  // namespace test
