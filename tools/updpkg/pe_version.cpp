#include "tools/updpkg/pe_version.h"

#include "tools/updpkg/medium_files.h"
#include "tools/updpkg/pe_image.h"

namespace updpkg {

// Byte layouts read here (all little-endian), below the headers (pe_image.h):
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
    const std::optional<PeHeaders> headers = ReadPeHeaders(bytes);
    if (!headers || headers->directories.size() < 3) return std::nullopt;
    const uint32_t resAddress = headers->directories[2].first;
    if (resAddress == 0) return std::nullopt;
    auto fileOffset = [&](uint32_t address, uint32_t size) { return FileOffsetOf(*headers, bytes, address, size); };
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
