#include "engine/install/folder_names.h"

#include "platform/filefind.h"
#include "platform/wide.h"
#include "util/name_key.h"
#include "util/path.h"

namespace install {

namespace {

std::string NameOf(const std::string& path) {
    const std::string folder = PathBeforeLastBackslash(path);
    std::string name = path.substr(std::min(path.size(), folder.size() + 1));
    return names::Key(name);
}

}  // namespace

FolderNames::Listing& FolderNames::ListingOf(const std::string& folder) {
    const std::string key = names::Key(folder);
    auto it = m_folders.find(key);
    if (it != m_folders.end()) return it->second;
    Listing& listing = m_folders[key];
    platform::FileFind find;
    BOOL more = find.FindFile(JoinPath(folder, "*.*"));
    while (more) {
        more = find.FindNextFile();
        if (!find.IsDots()) listing[names::Key(find.GetFileName())] = find.GetAttributes();
    }
    return listing;
}

uint32_t FolderNames::Attributes(const std::string& path) {
    const std::string folder = plan::ParentFolder(path);
    if (folder.empty() || folder == path) return ::GetFileAttributesW(platform::Wide(path).c_str());  // a root
    const Listing& listing = ListingOf(folder);
    auto it = listing.find(NameOf(path));
    return it == listing.end() ? INVALID_FILE_ATTRIBUTES : it->second;
}

}  // namespace install
