#include "tools/updpkg/placement.h"

#include "engine/pkg/entry_name.h"
#include "tools/updpkg/names.h"
#include "util/name_key.h"

namespace updpkg {

std::vector<std::string> CasePlacement::Place(const std::string& entryName) {
    // The keys of the name's folders, then of the name itself: one for each
    // of its components.
    const std::string key = pkg::EntryNameKey(entryName);
    std::vector<std::string> prefixKeys = names::FolderKeysOf(key);
    prefixKeys.push_back(key);
    std::vector<std::string> placed;
    const std::vector<std::string> parts = SplitEntryName(entryName);
    for (std::size_t i = 0; i < parts.size() && i < prefixKeys.size(); ++i) {
        auto it = m_spelling.find(prefixKeys[i]);
        if (it == m_spelling.end()) it = m_spelling.emplace(prefixKeys[i], EntryNameToPath(parts[i])).first;
        placed.push_back(it->second);
    }
    return placed;
}

}  // namespace updpkg
