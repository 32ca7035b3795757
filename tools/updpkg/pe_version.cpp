#include "tools/updpkg/pe_version.h"

#include <algorithm>

#include "platform/utf.h"
#include "tools/updpkg/medium_files.h"
#include "tools/updpkg/pe_image.h"

namespace updpkg {

// Byte layouts read here (all little-endian), below the headers
// (pe_image.h; the third data directory is the resources'):
//   Resource directory: 16 bytes, named entries at +12, id entries at +14,
//     then the entries, 8 bytes each (name or id, offset). An offset with the
//     high bit set is a subdirectory (offset from the directory's start),
//     else a data entry (address, size). Levels: type (16 is RT_VERSION),
//     name, language; the first name and language are taken.
//   VS_VERSIONINFO: length, value length, type (2 bytes each), the key
//     L"VS_VERSION_INFO", padding to 4 bytes, then VS_FIXEDFILEINFO (52
//     bytes: signature 0xFEEF04BD, structure version, file version MS, LS),
//     then its children (Block, below): "StringFileInfo" holds one table
//     of texts per language, each text a block named by its key.

namespace {

class Image {
public:
    explicit Image(const std::string& bytes) : m_b(bytes) {}

    bool Has(uint64_t offset, uint64_t size) const { return offset <= m_b.size() && size <= m_b.size() - offset; }
    uint64_t Size() const { return m_b.size(); }
    uint32_t U16(uint64_t at) const { return Byte(at) | Byte(at + 1) << 8; }
    uint32_t U32(uint64_t at) const { return U16(at) | U16(at + 2) << 16; }

private:
    uint32_t Byte(uint64_t at) const { return static_cast<unsigned char>(m_b[static_cast<std::size_t>(at)]); }
    const std::string& m_b;
};

constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr uint32_t kFixedSize = 52;

// The version resource's data in the file: where it begins, the size its
// data entry gives, and how much of that the file holds from there.
struct VersionData {
    uint64_t at;
    uint32_t size;
    uint64_t held;
};

std::optional<VersionData> FindVersionData(const std::string& bytes, const Image& img) {
    const std::optional<PeHeaders> headers = ReadPeHeaders(bytes);
    if (!headers || headers->directories.size() < 3) return std::nullopt;
    const uint32_t resAddress = headers->directories[2].first;
    if (resAddress == 0) return std::nullopt;
    // An address of the image as an offset in the file, with room for size;
    // *held: the bytes of the section the file holds from there.
    auto fileOffset = [&](uint32_t address, uint32_t size, uint64_t* held = nullptr) -> std::optional<uint64_t> {
        const std::optional<uint64_t> at = FileOffsetOf(*headers, bytes, address, size);
        if (!at || !held) return at;
        for (const PeSection& sec : headers->sections) {
            if (address < sec.address || address - sec.address >= sec.rawSize) continue;
            *held = std::min<uint64_t>(sec.rawSize - (address - sec.address), img.Size() - *at);
            break;
        }
        return at;
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
    VersionData v{0, img.U32(*root + *data + 4), 0};
    const auto at = fileOffset(img.U32(*root + *data), 0, &v.held);
    if (!at) return std::nullopt;
    v.at = *at;
    v.held = std::min<uint64_t>(v.held, v.size);
    return v;
}

constexpr uint32_t kValueAt = 40;  // of the root block: 6 bytes, 32 of key, padded to 4

// The blocks of VS_VERSIONINFO, each: length, value length, type (2 bytes
// each), a NUL-ended UTF-16 key, padding to 4 bytes, the value (value length
// in bytes, or in UTF-16 units for text: type 1), padding, the child blocks.
// Offsets are from the resource's start, to which the padding is aligned.
struct Block {
    uint64_t end;
    std::u16string key;
    uint64_t valueAt;
    uint32_t valueLength;
    uint32_t type;
    uint64_t childrenAt;
};

uint64_t Align4(uint64_t n) { return (n + 3) & ~uint64_t{3}; }

bool SameAsciiName(const std::u16string& a, const char* b) {
    const auto fold = [](char32_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (fold(a[i]) != fold(static_cast<unsigned char>(b[i]))) return false;
    }
    return i == a.size() && !b[i];
}

class VersionBlocks {
public:
    VersionBlocks(const Image& img, const VersionData& data) : m_img(img), m_base(data.at), m_held(data.held) {}

    std::optional<Block> Root() const { return Read(0, m_held); }

    // The first child of parent whose key is name (any, when name is null).
    std::optional<Block> Child(const Block& parent, const char* name) const {
        for (uint64_t at = parent.childrenAt; at < parent.end;) {
            const auto child = Read(at, parent.end);
            if (!child) return std::nullopt;
            if (!name || SameAsciiName(child->key, name)) return child;
            at = Align4(child->end);
        }
        return std::nullopt;
    }

    // A text value, up to its NUL.
    std::u16string Text(const Block& b) const {
        std::u16string text;
        const uint64_t end = std::min(b.end, b.valueAt + uint64_t{b.valueLength} * 2);
        for (uint64_t i = b.valueAt; i + 2 <= end && U16(i) != 0; i += 2) text += static_cast<char16_t>(U16(i));
        return text;
    }

private:
    uint32_t U16(uint64_t at) const { return m_img.U16(m_base + at); }

    // The block at at, which must end by limit.
    std::optional<Block> Read(uint64_t at, uint64_t limit) const {
        if (at + 6 > limit) return std::nullopt;
        const uint32_t length = U16(at);
        if (length < 6 || at + length > limit) return std::nullopt;
        Block b{at + length, u"", 0, U16(at + 2), U16(at + 4), 0};
        uint64_t i = at + 6;
        for (; i + 2 <= b.end && U16(i) != 0; i += 2) b.key += static_cast<char16_t>(U16(i));
        b.valueAt = std::min(Align4(i + 2), b.end);
        const uint64_t valueBytes = b.type == 1 ? uint64_t{b.valueLength} * 2 : b.valueLength;
        b.childrenAt = std::min(Align4(b.valueAt + valueBytes), b.end);
        return b;
    }

    const Image& m_img;
    uint64_t m_base, m_held;
};

}  // namespace

std::string FileVersion::Text() const {
    return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." + std::to_string(ls >> 16) + "." +
           std::to_string(ls & 0xFFFF);
}

std::optional<FileVersion> ReadPeFileVersion(const std::string& bytes) {
    const Image img(bytes);
    const auto data = FindVersionData(bytes, img);
    if (!data || data->size < kValueAt + kFixedSize || data->held < kValueAt + kFixedSize) return std::nullopt;
    const uint64_t info = data->at;
    static const char kKey[] = "VS_VERSION_INFO";
    for (uint32_t i = 0; i < sizeof kKey; ++i) {
        if (img.U16(info + 6 + 2 * i) != static_cast<unsigned char>(kKey[i])) return std::nullopt;
    }
    if (img.U16(info + 2) != kFixedSize || img.U32(info + kValueAt) != kFixedSignature) return std::nullopt;
    return FileVersion{img.U32(info + kValueAt + 8), img.U32(info + kValueAt + 12)};
}

std::optional<std::string> ReadPeVersionString(const std::string& bytes, const char* name) {
    const Image img(bytes);
    const auto data = FindVersionData(bytes, img);
    if (!data) return std::nullopt;
    const VersionBlocks blocks(img, *data);
    auto block = blocks.Root();
    if (block && !SameAsciiName(block->key, "VS_VERSION_INFO")) return std::nullopt;
    if (block) block = blocks.Child(*block, "StringFileInfo");
    if (block) block = blocks.Child(*block, nullptr);  // the first language's table
    if (block) block = blocks.Child(*block, name);
    if (!block) return std::nullopt;
    return utf::FromUtf16(blocks.Text(*block));
}

bool IsPeLibrary(const std::string& bytes) {
    const Image img(bytes);
    if (!img.Has(0, 0x40) || img.U16(0) != 0x5A4D) return false;
    const uint64_t pe = img.U32(0x3C);
    // The COFF header's characteristics: IMAGE_FILE_DLL.
    return img.Has(pe, 24) && img.U32(pe) == 0x00004550 && (img.U16(pe + 22) & 0x2000) != 0;
}

std::optional<FileVersion> ReadPeFileVersionOf(const std::string& path) {
    return ReadPeFileVersion(ReadWholeFile(path));
}

}  // namespace updpkg
