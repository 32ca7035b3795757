#pragma once
// The headers of a Windows executable (PE32 or PE32+) held in bytes, read
// without Windows: what updpkg needs to find a resource, a section or a
// data directory in the file.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace updpkg {

struct PeSection {
    std::string name;  // up to 8 bytes, without its zero padding
    uint32_t virtualSize = 0, address = 0, rawSize = 0, rawOffset = 0;
};

struct PeHeaders {
    bool pe64 = false;
    uint64_t checksumAt = 0;  // file offset of the optional header's CheckSum
    // Data directories: (address, size). The fifth (index 4) is the
    // certificate table, whose address is a file offset.
    std::vector<std::pair<uint32_t, uint32_t>> directories;
    std::vector<PeSection> sections;
};

// nullopt for bytes that are no PE image or whose headers lie outside them.
std::optional<PeHeaders> ReadPeHeaders(const std::string& bytes);

// The file offset of size bytes at an address of the image, when they lie
// whole in one section's bytes in the file.
std::optional<uint64_t> FileOffsetOf(const PeHeaders& headers, const std::string& bytes, uint32_t address,
                                     uint32_t size);

// The image checksum as the system computes it (CheckSumMappedFile): the
// 16-bit words of the file added with their carries, the CheckSum field
// counted as zero, plus the file's length. Not a cryptographic sum: it only
// keeps the header true once bytes of the image are changed.
uint32_t PeChecksum(const std::string& bytes, uint64_t checksumAt);

}  // namespace updpkg
