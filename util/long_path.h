#pragma once
// Paths in the form that the system takes as they stand ("\\?\C:\..."):
// no trailing dots or blanks cut off, no length limit of 260; and the one
// full form of a path that the program compares.

#include <string>

// A full path (UTF-8) as an extended-length UTF-16 path:
// "C:\x" gives "\\?\C:\x", "\\server\share\x" gives "\\?\UNC\server\share\x";
// a path that already is one stays. Slashes become backslashes and a
// trailing backslash goes, except after a drive root. A relative path is
// only converted (it cannot take the prefix).
std::wstring ExtendedPath(const std::string& path);

// The full path of path, as GetFullPathName gives it ("." and ".." parts
// resolved, a run of backslashes made one, a relative path joined to the
// current folder), of any length; path itself when the system makes none.
// Whatever the update writes, compares or keeps in its journal is in this
// form, so that what one run writes the next run reads as the same path.
std::string FullPath(const std::string& path);
