// Name conversion on Linux: UTF-8 file names, code page 932 in packages.
#include <errno.h>
#include <iconv.h>

#include <cstdio>

#include "platform/mbcs.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/names.h"

namespace updpkg {

namespace {

// One iconv conversion descriptor, closed with iconv_close.
class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) {
            throw FileError(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~Iconv() { iconv_close(m_cd); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // False when the text holds a character without a form in the target
    // (or is not valid in the source encoding).
    bool Convert(const std::string& text, std::string& out) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state
        out.clear();
        char* in = const_cast<char*>(text.data());
        std::size_t inLeft = text.size();
        char buffer[256];
        while (inLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t r = iconv(m_cd, &in, &inLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
        }
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        if (iconv(m_cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<std::size_t>(-1)) return false;
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        return true;
    }

private:
    iconv_t m_cd;
};

// A descriptor per thread: the extraction converts on several at once.
Iconv& ToCp932() {
    thread_local Iconv cd("CP932", "UTF-8");
    return cd;
}
Iconv& FromCp932() {
    thread_local Iconv cd("UTF-8", "CP932");
    return cd;
}

}  // namespace

std::string ComponentToPackage(const std::string& component, const std::string& path) {
    std::string out;
    if (!ToCp932().Convert(component, out)) {
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
        if (!FromCp932().Convert(part, utf8)) {
            throw FileError("entry '" + DisplayName(entryName) + "': the name is not valid code page 932");
        }
        if (!path.empty()) path += kPathSeparator;
        path += utf8;
    }
    return path;
}

std::string DisplayName(const std::string& entryName) {
    // Control bytes are never passed to the terminal as they are.
    bool plain = true;
    for (unsigned char c : entryName) plain = plain && c >= 0x20 && c != 0x7F;
    std::string out;
    try {
        if (plain && FromCp932().Convert(entryName, out)) return out;
    } catch (const FileError&) {
    }
    // Convert what can be converted, character by character.
    out.clear();
    for (std::size_t i = 0; i < entryName.size();) {
        const unsigned char c = static_cast<unsigned char>(entryName[i]);
        const std::size_t width = mbcs::Cp932CharLength(entryName, i);
        const std::string one = entryName.substr(i, width);
        std::string utf8;
        bool ok = false;
        try {
            ok = c >= 0x20 && c != 0x7F && FromCp932().Convert(one, utf8);
        } catch (const FileError&) {
        }
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

bool Utf8ToCp932(const std::string& utf8, std::string& out) { return ToCp932().Convert(utf8, out); }
bool Cp932ToUtf8(const std::string& cp932, std::string& out) { return FromCp932().Convert(cp932, out); }

}  // namespace updpkg
