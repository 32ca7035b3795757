#include "product/package_key.h"

#include <zlib.h>

#include <vector>

namespace product {

uint32_t PackageKey(pkg::ByteSource& library) {
    constexpr std::size_t kPiece = 0x8000;
    std::vector<unsigned char> buffer(kPiece);
    uLong crc = crc32(0, nullptr, 0);
    for (;;) {
        const std::size_t got = library.Read(buffer.data(), kPiece);
        if (got == 0) break;
        crc = crc32(crc, buffer.data(), static_cast<uInt>(got));
    }
    return static_cast<uint32_t>(crc);
}

}  // namespace product
