#pragma once
// SETUP.INI as updpkg reads and writes it.

#include <string>
#include <vector>

#include "app/setup_description.h"

namespace updpkg {

// The description SETUP.EXE would take from these bytes (code page 932).
setupini::Description DescribeSetupIni(const std::string& bytes);

// The lines of SETUP.EXE's fault box, each with why, for the terminal:
// "[COMPONENTS] MAIN: the destination goes on after <TARGETDIR> ...".
std::vector<std::string> ExplainedFaults(const setupini::Description& d);

// A vendor's SETUP.INI made ready for a medium: UTF-8 (with or without a
// byte order mark) is converted to code page 932, and every line end ("\r\n",
// "\n" or a lone "\r") becomes "\r\n". Text that is not valid UTF-8 must be
// valid code page 932. Throws FileError naming path otherwise.
std::string MediumSetupIni(const std::string& bytes, const std::string& path);

// Whether the bytes begin with the UTF-8 byte order mark, which the system's
// reader takes as part of the first line.
bool HasUtf8Mark(const std::string& bytes);

}  // namespace updpkg
