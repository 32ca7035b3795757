#pragma once
// Paths and texts in UTF-8 (portable). A backslash byte is always a
// backslash: it never occurs inside another character.

#include <list>
#include <string>

// folder, one backslash unless the folder already ends in one, name.
std::string JoinPath(const std::string& folder, const std::string& name);

// Cuts text into parts and appends them to list; returns the list's size.
// separator != 0: the list is emptied first; every separator ends a part,
//   empty parts included; a non-empty rest is the last.
// separator == 0: text is a run of NUL-terminated strings ended by an empty
//   one (the form of a profile section's key names); each becomes a part.
int SplitString(const std::string& text, char separator, std::list<std::string>& list);

// The folder part of a path: everything before its last backslash, or an
// empty string when it has none.
std::string PathBeforeLastBackslash(const std::string& path);

// Whether the path ends in a backslash.
bool EndsWithBackslash(const std::string& s);

// Decimal integer as the C runtime's atoi reads it: blanks skipped, optional
// sign, digits up to the first other character; 0 without digits. Saturates
// instead of overflowing.
int ParseLeadingInt(const std::string& s);
