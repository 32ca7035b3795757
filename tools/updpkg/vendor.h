#pragma once
// updpkg medium, check and diff: from a vendor's files to a checked medium.

#include <string>
#include <vector>

namespace updpkg {

// Runs one of the medium commands (args[0] names it) and returns the exit
// status. Throws UsageError and FileError as the other commands do.
int RunVendorCommand(const std::vector<std::string>& args);

}  // namespace updpkg
