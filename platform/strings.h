#pragma once
// The program's string table, in UTF-8.

#include <string>

namespace platform {

// String resource id of the program's own module, or "" when it has none.
std::string LoadResString(unsigned id);

// printf-style "%s" formatting of a resource text with one argument: every
// "%s" takes arg, "%%" gives "%". Other directives are left as they stand.
std::string FormatOneString(const std::string& format, const std::string& arg);

}  // namespace platform
