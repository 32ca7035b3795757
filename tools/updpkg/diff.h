#pragma once
// updpkg diff: the FILES tree of a small update, from the old and the new
// installed product.

#include <string>

namespace updpkg {

// Every file of NEW that is new or differs from OLD goes below FILES in the
// folder of the component whose destination (below <TARGETDIR>) holds it
// most closely; what is left out is printed with the reason, and components
// left without a file are named on stderr. FILES must be empty or missing
// unless force. Returns the exit status (1 for a faulty SETUP.INI); throws
// FileError and UsageError.
int DiffTrees(const std::string& oldTree, const std::string& newTree, const std::string& iniPath,
              const std::string& filesOut, bool force);

}  // namespace updpkg
