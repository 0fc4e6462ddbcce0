// The thread's last-error code, and the text functions of kernel32.
#include "platform/sim/machine/calls.h"
#include "platform/sim/machine/machine.h"

#include <cstring>

DWORD WINAPI GetLastError() { return sim::internal::LastError(); }
void WINAPI SetLastError(DWORD error) { sim::internal::SetError(error); }

int WINAPI lstrlenA(LPCSTR text) { return text ? static_cast<int>(std::strlen(text)) : 0; }

BOOL WINAPI IsDBCSLeadByte(BYTE byte) { return sim::IsDbcsLeadByte(byte) ? TRUE : FALSE; }
