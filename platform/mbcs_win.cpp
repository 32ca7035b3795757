// Lead-byte test on Windows: the system's own, for its ANSI code page.
#include <windows.h>

#include "platform/mbcs.h"

namespace mbcs {
bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }
}  // namespace mbcs
