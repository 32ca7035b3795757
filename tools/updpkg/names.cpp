#include "tools/updpkg/names.h"

#include "platform/mbcs.h"

namespace updpkg {

std::vector<std::string> SplitEntryName(const std::string& entryName) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < entryName.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(entryName[i]);
        if (mbcs::IsCp932LeadByte(c) && i + 1 < entryName.size()) {
            parts.back() += entryName.substr(i++, 2);
        } else if (c == '\\' || c == '/') {
            parts.emplace_back();
        } else {
            parts.back() += entryName[i];
        }
    }
    return parts;
}

}  // namespace updpkg
