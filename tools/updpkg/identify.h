#pragma once
// What a file handed to updpkg is: SETUP.EXE must be the update wizard, and
// the key file should be the product's library. Judged by the files' own
// headers and version resources, so that a vendor who passes the wrong file
// hears of it before a medium ships.

#include <optional>
#include <string>
#include <vector>

namespace updpkg {

// Nothing when the file at path is SETUP.EXE, the update wizard: its version
// resource gives SETUP.EXE's product name or its internal name. Otherwise
// why not, for a message (in the terminal's encoding). Throws FileError
// when the file cannot be read.
std::optional<std::string> WhyNotSetupExe(const std::string& path);

// What is odd about a key file: not a library (DLL), or not named
// kvp2lib.dll. Empty when nothing is. Throws FileError when it cannot be read.
std::vector<std::string> KeyFileDoubts(const std::string& path);

}  // namespace updpkg
