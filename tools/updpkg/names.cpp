// Name conversion: UTF-8 file names (on Linux as on Windows, where the
// file layer takes them to the W functions), code page 932 in packages.
#include <cstdio>

#include "platform/mbcs.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/names.h"

namespace updpkg {

std::string ComponentToPackage(const std::string& component, const std::string& path) {
    std::string out;
    if (!mbcs::Utf8ToCp932(component, out)) {
        throw FileError("'" + path + "': the name has no code page 932 form; rename it");
    }
    if (SplitEntryName(out).size() != 1) {
        throw FileError("'" + path + "': the name holds a backslash, which packages take as a folder separator");
    }
    return out;
}

std::string EntryNameToPath(const std::string& entryName) {
    std::string path;
    for (const std::string& part : SplitEntryName(entryName)) {
        std::string utf8;
        if (!mbcs::Cp932ToUtf8(part, utf8)) {
            throw FileError("entry '" + DisplayName(entryName) + "': the name is not valid code page 932");
        }
        if (!path.empty()) path += kPathSeparator;
        path += utf8;
    }
    return path;
}

std::string RelativeToNative(const std::string& relative) {
    std::string path = relative;
    for (char& c : path)
        if (c == '\\') c = kPathSeparator;
    return path;
}

std::string DisplayName(const std::string& entryName) {
    // Control bytes are never passed to the terminal as they are.
    bool plain = true;
    for (unsigned char c : entryName) plain = plain && c >= 0x20 && c != 0x7F;
    std::string out;
    if (plain && mbcs::Cp932ToUtf8(entryName, out)) return out;
    // Convert what can be converted, character by character.
    out.clear();
    for (std::size_t i = 0; i < entryName.size();) {
        const unsigned char c = static_cast<unsigned char>(entryName[i]);
        const std::size_t width = mbcs::Cp932CharLength(entryName, i);
        const std::string one = entryName.substr(i, width);
        std::string utf8;
        const bool ok = c >= 0x20 && c != 0x7F && mbcs::Cp932ToUtf8(one, utf8);
        if (ok) {
            out += utf8;
        } else {
            for (unsigned char b : one) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", b);
                out += hex;
            }
        }
        i += width;
    }
    return out;
}

}  // namespace updpkg
