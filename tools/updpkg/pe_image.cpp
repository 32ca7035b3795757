#include "tools/updpkg/pe_image.h"

#include <algorithm>

namespace updpkg {

// Byte layouts read here (all little-endian):
//   DOS header: "MZ" at 0; at 0x3C the offset of the PE header.
//   PE header: "PE\0\0", then the COFF header (20 bytes: sections at +2,
//     optional header size at +16), then the optional header: magic 0x10B
//     (32-bit) or 0x20B (64-bit), CheckSum at +64; the count of data
//     directories at +92 (+108), the directories at +96 (+112), 8 bytes each
//     (address, size). The section table (40 bytes a section: name +0,
//     virtual size +8, virtual address +12, raw size +16, raw offset +20)
//     follows the optional header.

namespace {

bool Has(const std::string& b, uint64_t offset, uint64_t size) {
    return offset <= b.size() && size <= b.size() - offset;
}
uint32_t U16(const std::string& b, uint64_t at) {
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}
uint32_t U32(const std::string& b, uint64_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

}  // namespace

std::optional<PeHeaders> ReadPeHeaders(const std::string& b) {
    if (!Has(b, 0, 0x40) || U16(b, 0) != 0x5A4D) return std::nullopt;
    const uint64_t pe = U32(b, 0x3C);
    if (!Has(b, pe, 24) || U32(b, pe) != 0x00004550) return std::nullopt;
    const uint32_t sectionCount = U16(b, pe + 6);
    const uint32_t optionalSize = U16(b, pe + 20);
    const uint64_t opt = pe + 24;
    if (!Has(b, opt, optionalSize) || optionalSize < 2) return std::nullopt;
    PeHeaders h;
    const uint32_t magic = U16(b, opt);
    uint64_t countAt, dirsAt;
    if (magic == 0x10B) countAt = 92, dirsAt = 96;
    else if (magic == 0x20B) countAt = 108, dirsAt = 112, h.pe64 = true;
    else return std::nullopt;
    if (optionalSize < dirsAt) return std::nullopt;
    h.checksumAt = opt + 64;
    const uint64_t count = std::min<uint64_t>(U32(b, opt + countAt), (optionalSize - dirsAt) / 8);
    for (uint64_t i = 0; i < count; ++i) h.directories.emplace_back(U32(b, opt + dirsAt + 8 * i), U32(b, opt + dirsAt + 8 * i + 4));

    const uint64_t table = opt + optionalSize;
    if (!Has(b, table, uint64_t{sectionCount} * 40)) return std::nullopt;
    for (uint32_t i = 0; i < sectionCount; ++i) {
        const uint64_t s = table + uint64_t{i} * 40;
        PeSection sec;
        sec.name = b.substr(s, 8);
        sec.name.resize(sec.name.find('\0') == std::string::npos ? 8 : sec.name.find('\0'));
        sec.virtualSize = U32(b, s + 8);
        sec.address = U32(b, s + 12);
        sec.rawSize = U32(b, s + 16);
        sec.rawOffset = U32(b, s + 20);
        h.sections.push_back(sec);
    }
    return h;
}

std::optional<uint64_t> FileOffsetOf(const PeHeaders& h, const std::string& bytes, uint32_t address, uint32_t size) {
    for (const PeSection& sec : h.sections) {
        if (address < sec.address || address - sec.address >= sec.rawSize) continue;
        const uint64_t within = address - sec.address;
        if (uint64_t{size} > sec.rawSize - within) return std::nullopt;
        const uint64_t at = uint64_t{sec.rawOffset} + within;
        if (!Has(bytes, at, size)) return std::nullopt;
        return at;
    }
    return std::nullopt;
}

uint32_t PeChecksum(const std::string& bytes, uint64_t checksumAt) {
    uint64_t sum = 0;
    for (uint64_t i = 0; i < bytes.size(); i += 2) {
        if (i >= checksumAt && i < checksumAt + 4) continue;
        uint32_t word = static_cast<unsigned char>(bytes[i]);
        if (i + 1 < bytes.size()) word |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + bytes.size());
}

}  // namespace updpkg
