#include "tools/updpkg/pe_version.h"

#include "tools/updpkg/medium_files.h"

namespace updpkg {

// Byte layouts read here (all little-endian):
//   DOS header: "MZ" at 0; at 0x3C the offset of the PE header.
//   PE header: "PE\0\0", then the COFF header (20 bytes: sections at +2,
//     optional header size at +16), then the optional header: magic 0x10B
//     (32-bit) or 0x20B (64-bit); the count of data directories at +92
//     (+108), the directories at +96 (+112), 8 bytes each (address, size);
//     the third is the resources'. The section table (40 bytes a section:
//     virtual size +8, virtual address +12, raw size +16, raw offset +20)
//     follows the optional header.
//   Resource directory: 16 bytes, named entries at +12, id entries at +14,
//     then the entries, 8 bytes each (name or id, offset). An offset with the
//     high bit set is a subdirectory (offset from the directory's start),
//     else a data entry (address, size). Levels: type (16 is RT_VERSION),
//     name, language; the first name and language are taken.
//   VS_VERSIONINFO: length, value length, type (2 bytes each), the key
//     L"VS_VERSION_INFO", padding to 4 bytes, then VS_FIXEDFILEINFO (52
//     bytes: signature 0xFEEF04BD, structure version, file version MS, LS).

namespace {

class Image {
public:
    explicit Image(const std::string& bytes) : m_b(bytes) {}

    bool Has(uint64_t offset, uint64_t size) const { return offset <= m_b.size() && size <= m_b.size() - offset; }
    uint32_t U16(uint64_t at) const { return Byte(at) | Byte(at + 1) << 8; }
    uint32_t U32(uint64_t at) const { return U16(at) | U16(at + 2) << 16; }

private:
    uint32_t Byte(uint64_t at) const { return static_cast<unsigned char>(m_b[static_cast<std::size_t>(at)]); }
    const std::string& m_b;
};

struct Section {
    uint32_t address, virtualSize, rawSize, rawOffset;
};

constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr uint32_t kFixedSize = 52;

}  // namespace

std::string FileVersion::Text() const {
    return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." + std::to_string(ls >> 16) + "." +
           std::to_string(ls & 0xFFFF);
}

std::optional<FileVersion> ReadPeFileVersion(const std::string& bytes) {
    const Image img(bytes);
    if (!img.Has(0, 0x40) || img.U16(0) != 0x5A4D) return std::nullopt;
    const uint64_t pe = img.U32(0x3C);
    if (!img.Has(pe, 24) || img.U32(pe) != 0x00004550) return std::nullopt;
    const uint32_t sectionCount = img.U16(pe + 6);
    const uint32_t optionalSize = img.U16(pe + 20);
    const uint64_t opt = pe + 24;
    if (!img.Has(opt, optionalSize) || optionalSize < 2) return std::nullopt;
    const uint32_t magic = img.U16(opt);
    uint64_t countAt, dirsAt;
    if (magic == 0x10B) countAt = 92, dirsAt = 96;
    else if (magic == 0x20B) countAt = 108, dirsAt = 112;
    else return std::nullopt;
    if (optionalSize < dirsAt + 3 * 8 || img.U32(opt + countAt) < 3) return std::nullopt;
    const uint32_t resAddress = img.U32(opt + dirsAt + 16);
    if (resAddress == 0) return std::nullopt;

    const uint64_t table = opt + optionalSize;
    if (!img.Has(table, uint64_t{sectionCount} * 40)) return std::nullopt;
    // An address of the image as an offset in the file, with room for size.
    auto fileOffset = [&](uint32_t address, uint32_t size) -> std::optional<uint64_t> {
        for (uint32_t i = 0; i < sectionCount; ++i) {
            const uint64_t s = table + uint64_t{i} * 40;
            const Section sec{img.U32(s + 12), img.U32(s + 8), img.U32(s + 16), img.U32(s + 20)};
            if (address < sec.address || address - sec.address >= sec.rawSize) continue;
            const uint64_t within = address - sec.address;
            if (uint64_t{size} > sec.rawSize - within) return std::nullopt;
            const uint64_t at = uint64_t{sec.rawOffset} + within;
            if (!img.Has(at, size)) return std::nullopt;
            return at;
        }
        return std::nullopt;
    };
    const auto root = fileOffset(resAddress, 16);
    if (!root) return std::nullopt;

    // The offset of the entry for id (or the first entry when id is empty)
    // in the directory at dir, relative to the resource root.
    auto entry = [&](uint64_t dir, std::optional<uint32_t> id) -> std::optional<uint32_t> {
        if (!img.Has(*root + dir, 16)) return std::nullopt;
        const uint32_t named = img.U16(*root + dir + 12), ids = img.U16(*root + dir + 14);
        const uint64_t first = *root + dir + 16;
        if (!img.Has(first, (uint64_t{named} + ids) * 8)) return std::nullopt;
        for (uint32_t i = 0; i < named + ids; ++i) {
            const uint64_t e = first + uint64_t{i} * 8;
            const uint32_t name = img.U32(e);
            if (!id || (i >= named && name == *id)) return img.U32(e + 4);
        }
        return std::nullopt;
    };
    const auto typeDir = entry(0, kRtVersion);
    if (!typeDir || !(*typeDir & 0x80000000u)) return std::nullopt;
    const auto nameDir = entry(*typeDir & 0x7FFFFFFFu, std::nullopt);
    if (!nameDir || !(*nameDir & 0x80000000u)) return std::nullopt;
    const auto data = entry(*nameDir & 0x7FFFFFFFu, std::nullopt);
    if (!data || (*data & 0x80000000u) || !img.Has(*root + *data, 16)) return std::nullopt;
    const uint32_t infoAddress = img.U32(*root + *data), infoSize = img.U32(*root + *data + 4);

    constexpr uint32_t kValueAt = 40;  // 6 bytes, 32 of key, padded to 4
    if (infoSize < kValueAt + kFixedSize) return std::nullopt;
    const auto info = fileOffset(infoAddress, kValueAt + kFixedSize);
    if (!info) return std::nullopt;
    static const char kKey[] = "VS_VERSION_INFO";
    for (uint32_t i = 0; i < sizeof kKey; ++i) {
        if (img.U16(*info + 6 + 2 * i) != static_cast<unsigned char>(kKey[i])) return std::nullopt;
    }
    if (img.U16(*info + 2) != kFixedSize || img.U32(*info + kValueAt) != kFixedSignature) return std::nullopt;
    return FileVersion{img.U32(*info + kValueAt + 8), img.U32(*info + kValueAt + 12)};
}

std::optional<FileVersion> ReadPeFileVersionOf(const std::string& path) {
    return ReadPeFileVersion(ReadWholeFile(path));
}

}  // namespace updpkg
