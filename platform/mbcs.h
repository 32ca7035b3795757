#pragma once
// Code page 932 (Shift-JIS), the one place the programs meet it: SETUP.INI's
// bytes and the names inside packages are code page 932, everything else is
// UTF-8. The character rule, and the explicit conversions both ways (never
// through the system's own code page, never best-fit).

#include <cstddef>
#include <string>

namespace mbcs {

// Lead byte of a double-byte character in code page 932.
bool IsCp932LeadByte(unsigned char c);

// Bytes of the code page 932 character at i: 2 for a lead byte with a byte
// after it, else 1 (a lead byte at the very end stands alone).
std::size_t Cp932CharLength(const std::string& s, std::size_t i);

// Whole texts between code page 932 and UTF-8; false (out unspecified) when
// the input is not valid in its encoding or a character has no form in the
// other. Windows' converter on Windows, iconv elsewhere.
bool Cp932ToUtf8(const std::string& cp932, std::string& out);
bool Utf8ToCp932(const std::string& utf8, std::string& out);

}  // namespace mbcs
