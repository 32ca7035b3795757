#pragma once
// A minimal Windows executable image made in memory for the tests: headers,
// one resource section and, if asked, a version resource (or the place for
// a key).

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/trusted_key.h"

namespace testsupport {

inline void Put16(std::string& b, std::size_t at, uint32_t v) {
    if (b.size() < at + 2) b.resize(at + 2, '\0');
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8 & 0xFF);
}
inline void Put32(std::string& b, std::size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

inline void Pad4(std::string& b) { b.resize((b.size() + 3) & ~std::size_t{3}, '\0'); }

// A text block of a version resource: length, value length (UTF-16 units),
// type 1, the key, the text and the children, each padded to 4 bytes.
inline std::string VersionBlock(const std::u16string& key, const std::u16string& text, const std::string& children) {
    std::string b(6, '\0');
    for (const char16_t c : key + u'\0') Put16(b, b.size(), c);
    if (!text.empty()) Pad4(b);
    for (const char16_t c : text.empty() ? u"" : text + u'\0') Put16(b, b.size(), c);
    if (!children.empty()) Pad4(b), b += children;
    Put16(b, 0, static_cast<uint32_t>(b.size()));
    Put16(b, 2, text.empty() ? 0 : static_cast<uint32_t>(text.size() + 1));
    Put16(b, 4, 1);
    return b;
}

struct PeOptions {
    uint32_t ms = 0x00070005, ls = 0x00020000;
    bool pe64 = false;
    bool version = true;           // a version resource at all
    uint32_t valueLength = 52;     // the root block's value length
    uint32_t resourceType = 16;    // RT_VERSION
    bool library = false;          // IMAGE_FILE_DLL
    std::vector<std::pair<std::u16string, std::u16string>> strings;  // a string table, when any
};

// Layout: DOS header, PE header at 0x40, the section ".rsrc" at address
// 0x1000 stored from file offset 0x200: root, name and language
// directories, one data entry, then VS_VERSIONINFO.
inline std::string MakePe(const PeOptions& o = {}) {
    std::string b(0x200, '\0');
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, 0x40);
    Put32(b, 0x40, 0x00004550);
    const uint32_t optSize = o.pe64 ? 240 : 224;
    Put16(b, 0x44, o.pe64 ? 0x8664 : 0x14C);
    Put16(b, 0x46, 1);  // sections
    Put16(b, 0x56, o.library ? 0x2000 : 0);
    Put16(b, 0x54, optSize);
    const std::size_t opt = 0x58;
    Put16(b, opt, o.pe64 ? 0x20B : 0x10B);
    const std::size_t dirs = opt + (o.pe64 ? 112 : 96);
    Put32(b, opt + (o.pe64 ? 108 : 92), 16);
    std::string table;
    for (const auto& [name, text] : o.strings) Pad4(table), table += VersionBlock(name, text, "");
    const std::string children =
        o.strings.empty() ? "" : VersionBlock(u"StringFileInfo", u"", VersionBlock(u"041104b0", u"", table));
    const uint32_t infoSize = 92 + static_cast<uint32_t>(children.size());
    const uint32_t resSize = 0x58 + infoSize;
    const uint32_t rawSize = (resSize + 0x1FF) & ~0x1FFu;
    if (o.version) {
        Put32(b, dirs + 16, 0x1000);
        Put32(b, dirs + 20, resSize);
    }
    const std::size_t sec = opt + optSize;
    std::memcpy(&b[sec], ".rsrc", 5);
    Put32(b, sec + 8, resSize);
    Put32(b, sec + 12, 0x1000);
    Put32(b, sec + 16, rawSize);
    Put32(b, sec + 20, 0x200);  // raw offset
    b.resize(0x200 + rawSize, '\0');
    const std::size_t r = 0x200;
    Put16(b, r + 14, 1);
    Put32(b, r + 16, o.resourceType);
    Put32(b, r + 20, 0x80000000u | 0x18);
    Put16(b, r + 0x18 + 14, 1);
    Put32(b, r + 0x18 + 16, 1);
    Put32(b, r + 0x18 + 20, 0x80000000u | 0x30);
    Put16(b, r + 0x30 + 14, 1);
    Put32(b, r + 0x30 + 16, 0x411);
    Put32(b, r + 0x30 + 20, 0x48);
    Put32(b, r + 0x48, 0x1000 + 0x58);
    Put32(b, r + 0x48 + 4, infoSize);
    const std::size_t v = r + 0x58;
    Put16(b, v, infoSize);
    Put16(b, v + 2, o.valueLength);
    const char key[] = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < sizeof key; ++i) Put16(b, v + 6 + 2 * i, static_cast<unsigned char>(key[i]));
    Put32(b, v + 40, 0xFEEF04BD);
    Put32(b, v + 44, 0x00010000);
    Put32(b, v + 48, o.ms);
    Put32(b, v + 52, o.ls);
    Put32(b, v + 56, o.ms);
    Put32(b, v + 60, o.ls);
    b.replace(v + 92, children.size(), children);
    return b;
}

// SETUP.EXE as the build leaves it: its version resource's names, and a
// second section, SETUP.EXE's empty place for the vendor's key
// (app/trusted_key.h).
inline std::string MakePeWithKeySlot(PeOptions o = {}) {
    if (o.strings.empty()) o.strings = {{u"ProductName", u"アップデートウィザード"}, {u"InternalName", u"SETUP"}};
    std::string b = MakePe(o);
    const std::size_t sec = 0x58 + (o.pe64 ? 240 : 224) + 40;
    Put16(b, 0x46, 2);
    std::memcpy(&b[sec], ".kvkey\0\0", 8);
    Put32(b, sec + 8, 0x200);
    Put32(b, sec + 12, 0x1000 + static_cast<uint32_t>(b.size()));  // past the resources
    Put32(b, sec + 16, 0x200);
    Put32(b, sec + 20, static_cast<uint32_t>(b.size()));
    const std::size_t slot = b.size();
    b.resize(slot + 0x200, '\0');
    std::memcpy(&b[slot], trustedkey::kMagic, sizeof trustedkey::kMagic);
    return b;
}

}  // namespace testsupport
