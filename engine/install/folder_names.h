#pragma once
// The names in the destination folders, one listing a folder, so that
// planning a thousand files does not ask the file system a thousand times
// about names that are not there (where the file system folds case itself,
// as under Wine, each such question searches the whole folder).

#include <windows.h>

#include <map>
#include <string>

namespace install {

// The folder above path; "C:\\" (not "C:", the drive's current folder) for a
// name in a drive's root.
std::string ParentFolder(const std::string& path);

class FolderNames {
public:
    // The attributes of the file or folder at path as its folder's listing
    // showed them, INVALID_FILE_ATTRIBUTES when there is none (or no folder).
    DWORD Attributes(const std::string& path);
    bool Exists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }
    bool IsFolder(const std::string& path);
    // A name this run has made since its folder was listed.
    void Add(const std::string& path, DWORD attributes);

private:
    using Listing = std::map<std::string, DWORD>;  // name's key (names::Key) -> attributes
    Listing& ListingOf(const std::string& folder);
    std::map<std::string, Listing> m_folders;  // by the folder's key
};

}  // namespace install
