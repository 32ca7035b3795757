// Name conversion on Windows: file names in the ANSI code page, code page
// 932 in packages. On a Japanese system the two are the same.
#include <windows.h>

#include <cstdio>

#include "tools/updpkg/errors.h"
#include "tools/updpkg/names.h"

namespace updpkg {

namespace {

constexpr UINT kPackageCodePage = 932;

// Through UTF-16; false when a character has no form in the target.
bool Recode(UINT from, UINT to, const std::string& text, std::string& out) {
    out.clear();
    if (text.empty()) return true;
    const int inLength = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text.data(), inLength, nullptr, 0);
    if (wideLength <= 0) return false;
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text.data(), inLength, wide.data(), wideLength);
    // UTF-8 takes neither the flag nor the default-character report.
    BOOL usedDefault = FALSE;
    const bool utf8 = to == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL* used = utf8 ? nullptr : &usedDefault;
    const int length = WideCharToMultiByte(to, flags, wide.data(), wideLength, nullptr, 0, nullptr, used);
    if (length <= 0 || usedDefault) return false;
    out.resize(static_cast<std::size_t>(length));
    WideCharToMultiByte(to, flags, wide.data(), wideLength, out.data(), length, nullptr, used);
    return !usedDefault;
}

bool ToPackage(const std::string& text, std::string& out) {
    // '?' is what the ANSI file functions put for a character the code page
    // lacks; it is not allowed in a real file name.
    if (text.find('?') != std::string::npos) return false;
    if (GetACP() == kPackageCodePage) {
        std::string unused;
        out = text;
        return Recode(kPackageCodePage, CP_UTF8, text, unused);  // valid code page 932?
    }
    return Recode(CP_ACP, kPackageCodePage, text, out);
}

bool FromPackage(const std::string& text, std::string& out) {
    if (GetACP() == kPackageCodePage) {
        std::string unused;
        out = text;
        return Recode(kPackageCodePage, CP_UTF8, text, unused);
    }
    return Recode(kPackageCodePage, CP_ACP, text, out);
}

}  // namespace

std::string ComponentToPackage(const std::string& component, const std::string& path) {
    std::string out;
    if (!ToPackage(component, out)) {
        throw FileError("'" + path + "': the name has no code page 932 form; rename it");
    }
    if (SplitEntryName(out).size() != 1) {
        throw FileError("'" + path + "': the name holds a separator");
    }
    return out;
}

std::string EntryNameToPath(const std::string& entryName) {
    std::string path;
    for (const std::string& part : SplitEntryName(entryName)) {
        std::string native;
        if (!FromPackage(part, native)) {
            throw FileError("entry '" + DisplayName(entryName) + "': the name has no form on this system");
        }
        if (!path.empty()) path += kPathSeparator;
        path += native;
    }
    return path;
}

std::string DisplayName(const std::string& entryName) {
    bool plain = true;
    for (unsigned char c : entryName) plain = plain && c >= 0x20 && c != 0x7F;
    std::string out;
    if (plain && FromPackage(entryName, out)) return out;
    out.clear();
    for (unsigned char c : entryName) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

bool Utf8ToCp932(const std::string& utf8, std::string& out) { return Recode(CP_UTF8, kPackageCodePage, utf8, out); }
bool Cp932ToUtf8(const std::string& cp932, std::string& out) { return Recode(kPackageCodePage, CP_UTF8, cp932, out); }

}  // namespace updpkg
