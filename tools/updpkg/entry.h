#pragma once
// updpkg's program entry: the system's entry point (entry_posix.cpp,
// entry_win.cpp) hands the arguments after the program's name, in UTF-8.

#include <string>
#include <vector>

namespace updpkg {

// The whole program; returns the exit status.
int Main(const std::vector<std::string>& args);

}  // namespace updpkg
