#include "tools/updpkg/placement.h"

#include "engine/pkg/entry_name.h"
#include "tools/updpkg/names.h"

namespace updpkg {

std::vector<std::string> CasePlacement::Place(const std::string& entryName) {
    // Folding keeps every character's length, so the key of each leading
    // part of the name is the same leading part of the whole name's key.
    const std::string key = pkg::EntryNameKey(entryName);
    std::vector<std::string> placed;
    std::size_t length = 0;
    for (const std::string& part : SplitEntryName(entryName)) {
        length += (length == 0 ? 0 : 1) + part.size();
        const std::string prefixKey = key.substr(0, length);
        auto it = m_spelling.find(prefixKey);
        if (it == m_spelling.end()) it = m_spelling.emplace(prefixKey, EntryNameToPath(part)).first;
        placed.push_back(it->second);
    }
    return placed;
}

}  // namespace updpkg
