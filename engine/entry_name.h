#pragma once
// Whether a package entry name may be joined below the FILES folder.

#include <string>

namespace pkg {

// An entry name is a path relative to the FILES folder, in code page 932,
// with '\' (or '/') separators. Refused: an empty name; a name that is
// absolute, drive-relative or UNC (leading separator, or a ':' anywhere);
// an empty component, "." or ".." as a component, or any component made of
// dots and blanks alone ("...", ".. "); a Windows device name
// (CON, PRN, AUX, NUL, COM1-9, LPT1-9) as a component, with or without an
// extension. Separators are found double-byte aware: the second byte of a
// double-byte character is never a separator.
bool IsSafeEntryName(const std::string& name);

}  // namespace pkg
