#pragma once
// A minimal Windows executable image made in memory for the tests: headers,
// one resource section and, if asked, a version resource (or the place for
// a key).

#include <cstdint>
#include <cstring>
#include <string>

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

struct PeOptions {
    uint32_t ms = 0x00070005, ls = 0x00020000;
    bool pe64 = false;
    bool version = true;           // a version resource at all
    uint32_t valueLength = 52;     // the root block's value length
    uint32_t resourceType = 16;    // RT_VERSION
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
    Put16(b, 0x54, optSize);
    const std::size_t opt = 0x58;
    Put16(b, opt, o.pe64 ? 0x20B : 0x10B);
    const std::size_t dirs = opt + (o.pe64 ? 112 : 96);
    Put32(b, opt + (o.pe64 ? 108 : 92), 16);
    const uint32_t resSize = 0x58 + 92;
    if (o.version) {
        Put32(b, dirs + 16, 0x1000);
        Put32(b, dirs + 20, resSize);
    }
    const std::size_t sec = opt + optSize;
    std::memcpy(&b[sec], ".rsrc", 5);
    Put32(b, sec + 8, resSize);
    Put32(b, sec + 12, 0x1000);
    Put32(b, sec + 16, 0x200);  // raw size
    Put32(b, sec + 20, 0x200);  // raw offset
    b.resize(0x400, '\0');
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
    Put32(b, r + 0x48 + 4, 92);
    const std::size_t v = r + 0x58;
    Put16(b, v, 92);
    Put16(b, v + 2, o.valueLength);
    const char key[] = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < sizeof key; ++i) Put16(b, v + 6 + 2 * i, static_cast<unsigned char>(key[i]));
    Put32(b, v + 40, 0xFEEF04BD);
    Put32(b, v + 44, 0x00010000);
    Put32(b, v + 48, o.ms);
    Put32(b, v + 52, o.ls);
    Put32(b, v + 56, o.ms);
    Put32(b, v + 60, o.ls);
    return b;
}

// The image with its one section made SETUP.EXE's empty place for the
// vendor's key (app/trusted_key.h), as the build leaves it.
inline std::string MakePeWithKeySlot(const PeOptions& o = {}) {
    std::string b = MakePe(o);
    std::memcpy(&b[0x58 + (o.pe64 ? 240 : 224)], ".kvkey\0\0", 8);
    std::memcpy(&b[0x200], trustedkey::kMagic, sizeof trustedkey::kMagic);
    return b;
}

}  // namespace testsupport
