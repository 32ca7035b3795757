#include "engine/entry_name.h"

#include <vector>

#include "platform/mbcs.h"

namespace pkg {

namespace {

std::vector<std::string> Components(const std::string& name) {
    std::vector<std::string> parts;
    std::string current;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (mbcs::IsCp932LeadByte(c) && i + 1 < name.size()) {
            current += name[i];
            current += name[++i];
            continue;
        }
        if (c == '\\' || c == '/') {
            parts.push_back(current);
            current.clear();
        } else {
            current += name[i];
        }
    }
    parts.push_back(current);
    return parts;
}

bool IsDeviceName(const std::string& component) {
    // The part before the first dot decides ("NUL.txt" is NUL); Windows also
    // ignores trailing blanks there.
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    mbcs::MakeUpper(base);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
        base[3] >= '1' && base[3] <= '9')
        return true;
    return false;
}

}  // namespace

bool IsSafeEntryName(const std::string& name) {
    if (name.empty()) return false;
    if (name.find(':') != std::string::npos) return false;  // drive-relative, streams
    for (const std::string& part : Components(name)) {
        if (part.empty() || part == "." || part == "..") return false;  // also leading '\', UNC
        // Windows drops trailing dots and blanks, so "... " or ".. " could
        // end up meaning ".." or nothing; no real file is named that way.
        if (part.find_first_not_of(". ") == std::string::npos) return false;
        if (IsDeviceName(part)) return false;
    }
    return true;
}

}  // namespace pkg
