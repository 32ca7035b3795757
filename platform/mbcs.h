#pragma once
// Text in the system's multi-byte code page (code page 932 on the systems the
// update is written for). Every search here steps over double-byte
// characters whole, so the second byte of one (which may be 0x5C, the
// backslash, or any ASCII letter) is never taken for a match.

#include <cstddef>
#include <string>

namespace mbcs {

constexpr std::size_t npos = std::string::npos;

// Lead byte of a double-byte character in code page 932.
bool IsCp932LeadByte(unsigned char c);

// Bytes of the code page 932 character at i: 2 for a lead byte with a byte
// after it, else 1 (a lead byte at the very end stands alone).
std::size_t Cp932CharLength(const std::string& s, std::size_t i);

// Lead byte in the code page the program runs with: the system's ANSI code
// page on Windows, code page 932 elsewhere.
bool IsLeadByte(unsigned char c);

// Index of the first ch at or after start that begins a character, or npos.
std::size_t Find(const std::string& s, char ch, std::size_t start = 0);

// Index of the last ch that begins a character, or npos.
std::size_t ReverseFind(const std::string& s, char ch);

// Index of the first occurrence of sub at or after start whose first byte
// begins a character, or npos. An empty sub is never found.
std::size_t FindSubstr(const std::string& s, const std::string& sub, std::size_t start = 0);

// Replaces every occurrence of from (case-sensitive, left to right, never
// starting on a second byte, never overlapping) by to; text brought in by to
// is not searched again. Returns the number of replacements.
int ReplaceAll(std::string& s, const std::string& from, const std::string& to);

// Upper-cases the single-byte letters a-z; double-byte characters stay whole.
void MakeUpper(std::string& s);

}  // namespace mbcs
