// Lead-byte test of the portable build: the program's texts are code page 932.
#include "platform/mbcs.h"

namespace mbcs {
bool IsLeadByte(unsigned char c) { return IsCp932LeadByte(c); }
}  // namespace mbcs
