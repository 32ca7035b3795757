#pragma once
// Paths in the form that the system takes as they stand ("\\?\C:\..."):
// no trailing dots or blanks cut off, no length limit of 260.

#include <string>

// A full path (UTF-8) as an extended-length UTF-16 path:
// "C:\x" gives "\\?\C:\x", "\\server\share\x" gives "\\?\UNC\server\share\x";
// a path that already is one stays. Slashes become backslashes and a
// trailing backslash goes, except after a drive root. A relative path is
// only converted (it cannot take the prefix).
std::wstring ExtendedPath(const std::string& path);
