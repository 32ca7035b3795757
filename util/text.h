#pragma once
// Plain text helpers over UTF-8 (portable). In UTF-8 no byte of a character
// is ever taken for an ASCII one, so byte-wise searching is character-wise.

#include <string>

// Replaces every occurrence of from (case-sensitive, left to right, never
// overlapping) by to; text brought in by to is not searched again. Returns
// the number of replacements.
int ReplaceAll(std::string& s, const std::string& from, const std::string& to);

// The ASCII letters a-z made capitals; every other byte stays.
std::string UpperAscii(std::string s);
