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

std::string SnapshotField(const std::string& field) {
  const std::string snapshot = sim::UiSnapshot();
  const std::string first = snapshot.substr(0, snapshot.find('\n'));
  const size_t at = first.find(" " + field + "=");
  if (at == std::string::npos) return "";
  const size_t start = at + field.size() + 2;
  return first.substr(start, first.find(' ', start) - start);
}

}  // namespace test
