// Texts in the code page of the machine that is open.
#include "platform/sim/base/text.h"
#include "platform/sim/machine/machine.h"

namespace sim {

std::string AnsiToUtf8(std::string_view ansi) { return CodePageToUtf8(ansi, CurrentMachine().CodePage()); }
std::string Utf8ToAnsi(std::string_view utf8) { return Utf8ToCodePage(utf8, CurrentMachine().CodePage()); }
std::string Utf16LeToAnsi(std::string_view utf16) { return Utf16LeToCodePage(utf16, CurrentMachine().CodePage()); }
bool IsDbcsLeadByte(unsigned char byte) { return internal::LeadByte(CurrentMachine().CodePage(), byte); }
std::string UpperAnsi(std::string_view text) { return UpperInCodePage(text, CurrentMachine().CodePage()); }
bool EqualsNoCase(std::string_view a, std::string_view b) {
  return internal::SameNoCase(CurrentMachine().CodePage(), a, b);
}

}  // namespace sim
