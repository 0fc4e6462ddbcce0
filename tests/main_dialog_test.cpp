// The main dialog inside the test's process, where the program state can be
// read between the user's events.
#include "app/entry.h"
#include "tests/support/package_run.h"

#include <sstream>

namespace {

class MainDialog9x : public test::PackageRun {
 protected:
  sim::NewMachineOptions MachineOptions() override {
    sim::NewMachineOptions o;
    o.version = 0xC0000A04;
    return o;
  }
  // The program's entry with an empty command line, events given one by one;
  // `after(i)` runs once event i has been carried out.
  int RunEntry(const std::vector<std::string>& events, const std::function<void(size_t)>& after) {
    size_t next = 0;
    sim::UseScriptedUi(
        [&]() -> std::optional<std::string> {
          if (next > 0) after(next - 1);
          if (next >= events.size()) return std::nullopt;
          return events[next++];
        },
        &output_);
    return AppEntry(sim::ProgramInstance(), "");
  }
  std::ostringstream output_;
};

// One INF copy path too long for its buffer is refused; picking a file whose
// path fits afterwards gives the path again, as the family has not changed.
TEST_F(MainDialog9x, AnInfCopyPathRefusedOnceIsBuiltAgainForTheNextFile) {
  const std::string windows = "C:\\" + std::string(230, 'W');
  sim::CurrentMachine().windows_directory = windows;
  const std::string longName = "b" + std::string(40, 'x') + ".inf";
  CopyExamplePackage("a.inf");
  WritePackageFile(longName, ExampleInf());
  ASSERT_GT(windows.size() + 5 + longName.size(), MAX_PATH - 1u);

  std::vector<std::string> copyPaths, infPaths;
  const int exit = RunEntry({"select 1", "select 0", "key esc"}, [&](size_t) {
    copyPaths.push_back(AppState.InfCopyPath);
    infPaths.push_back(AppState.InfPath);
  });
  EXPECT_EQ(exit, 2) << output_.str();
  ASSERT_GE(copyPaths.size(), 2u);
  EXPECT_EQ(infPaths[0], PackagePath(longName));
  EXPECT_EQ(copyPaths[0], "");
  EXPECT_EQ(infPaths[1], PackagePath("a.inf"));
  EXPECT_EQ(copyPaths[1], windows + "\\inf\\a.inf");
  EXPECT_EQ(std::string(AppState.DriverIndexPath), windows + "\\inf\\drvidx.bin");
}

}  // namespace
