// The Linux entry shim: builds the Windows command line from argv, takes its
// argument part as Windows' WinMain would receive it, and runs the shared
// entry on the simulated machine.
#include "app/entry.h"
#include "platform/sim/machine/calls.h"
#include "platform/sim/user32/user32.h"

#include <cstdio>
#include <string>

namespace {

// The program's own name opens the command line. Windows reads it back by a
// rule of its own: a name that begins with a double quote ends at the next
// one, any other at the first character of code 32 or less; backslashes are
// plain characters there. So the name is quoted when it holds such a
// character or begins with a quote. A double quote cannot be part of a
// Windows file name, so none is written inside the quotes, where it would end
// the name early and hand a piece of the program's path to the argument part.
std::string QuoteProgramName(const std::string& name) {
  bool needsQuotes = !name.empty() && name[0] == '"';
  for (unsigned char c : name) needsQuotes = needsQuotes || (c >= 1 && c <= ' ');
  if (!needsQuotes) return name;
  std::string out = "\"";
  for (char c : name)
    if (c != '"') out += c;
  return out + '"';
}

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
  std::string commandLine = argc > 0 ? QuoteProgramName(argv[0]) : std::string();
  for (int i = 1; i < argc; ++i) commandLine += ' ' + QuoteArgument(argv[i]);
  const int code = AppEntry(sim::ProgramInstance(), ArgumentPart(commandLine.c_str()));
  if (sim::LedgerCheckLeaks() > 0 || !sim::LedgerViolations().empty()) {
    for (const std::string& v : sim::LedgerViolations()) std::fprintf(stderr, "setup: handle ledger: %s\n", v.c_str());
  }
  return code;
}
