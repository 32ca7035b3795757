#pragma once
// The names in the destination folders, one listing a folder, so that
// planning a thousand files does not ask the file system a thousand times
// about names that are not there (where the file system folds case itself,
// as under Wine, each such question searches the whole folder). The view
// of the destinations that SETUP.EXE's plan is made against.

#include <windows.h>

#include <map>
#include <string>

#include "engine/plan/plan.h"

namespace install {

class FolderNames : public plan::DestinationView {
public:
    // The attributes of the file or folder at path as its folder's listing
    // showed them, INVALID_FILE_ATTRIBUTES when there is none (or no folder).
    uint32_t Attributes(const std::string& path) override;

private:
    using Listing = std::map<std::string, DWORD>;  // name's key (names::Key) -> attributes
    Listing& ListingOf(const std::string& folder);
    std::map<std::string, Listing> m_folders;  // by the folder's key
};

}  // namespace install
