#include "tools/updpkg/key.h"

#include <zlib.h>

#include <memory>

#include "tools/updpkg/fileio.h"

namespace updpkg {

uint32_t LibraryKey(const std::string& path) {
    InputFile file(path);
    constexpr std::size_t kPiece = 1 << 16;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kPiece]);
    uLong crc = crc32(0, nullptr, 0);
    for (;;) {
        const std::size_t got = file.Read(buffer.get(), kPiece);
        if (got == 0) break;
        crc = crc32(crc, buffer.get(), static_cast<uInt>(got));
    }
    return static_cast<uint32_t>(crc);
}

}  // namespace updpkg
