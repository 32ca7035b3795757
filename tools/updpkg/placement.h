#pragma once
// Where updpkg extract places each entry: the folder tree SETUP.EXE would
// leave on Windows, where names that differ only in case are one file.

#include <map>
#include <string>
#include <vector>

namespace updpkg {

class CasePlacement {
public:
    // The components below the extraction folder for an entry name (already
    // found safe by the reader), in the system's spelling. A folder or file
    // whose name matches an earlier one without regard to case takes the
    // earlier spelling, so a later entry replaces the earlier file, as
    // Windows does. Throws FileError for a name without a form here.
    std::vector<std::string> Place(const std::string& entryName);

private:
    // Case-folded name of every folder and file placed so far, by the
    // system's spelling of its last component.
    std::map<std::string, std::string> m_spelling;
};

}  // namespace updpkg
