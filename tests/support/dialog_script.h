// Runs a modal dialog in the test's own process with the scripted front end:
// events one by one, with a look at the dialogs before each of them.
#pragma once

#include "platform/win32.h"

#include <functional>
#include <string>
#include <vector>

namespace test {

struct DialogRun {
  INT_PTR result = 0;
  std::string output;  // what the scripted front end printed
};

// `before(i)` runs just before event i is handed over, and once more with
// i == events.size() when the events have run out.
DialogRun RunDialog(int templateId, DLGPROC proc, const std::vector<std::string>& events,
                    const std::function<void(size_t)>& before = {}, HWND owner = nullptr, LPARAM param = 0);

}  // namespace test
