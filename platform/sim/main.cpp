// The Linux entry shim: builds the Windows command line from argv, takes its
// argument part as Windows' WinMain would receive it, and runs the shared
// entry on the simulated machine.
#include "app/entry.h"
#include "platform/sim/sim.h"

#include <cstdio>
#include <string>

namespace {

// Quotes one argument as the Windows C runtime expects to read it back.
std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') out.append(backslashes * 2 + 1, '\\');
    else out.append(backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  std::string commandLine;
  for (int i = 0; i < argc; ++i) {
    if (i) commandLine += ' ';
    commandLine += QuoteArgument(argv[i]);
  }
  const int code = AppEntry(sim::ProgramInstance(), ArgumentPart(commandLine.c_str()));
  if (sim::LedgerCheckLeaks() > 0 || !sim::LedgerViolations().empty()) {
    for (const std::string& v : sim::LedgerViolations()) std::fprintf(stderr, "setup: handle ledger: %s\n", v.c_str());
  }
  return code;
}
