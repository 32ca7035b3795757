#include "tools/updpkg/whole_entry.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

#ifdef UPDPKG_LIBDEFLATE
#include <libdeflate.h>
#endif

#include "engine/entry_name.h"
#include "engine/package_format.h"
#include "util/bytes.h"

namespace updpkg {

WholeEntryDecoder::WholeEntryDecoder() {
#ifdef UPDPKG_LIBDEFLATE
    m_decompressor = libdeflate_alloc_decompressor();
    if (!m_decompressor) throw std::bad_alloc();
#endif
}

WholeEntryDecoder::~WholeEntryDecoder() {
#ifdef UPDPKG_LIBDEFLATE
    libdeflate_free_decompressor(static_cast<libdeflate_decompressor*>(m_decompressor));
#endif
}

bool WholeEntryDecoder::Available() {
#ifdef UPDPKG_LIBDEFLATE
    return true;
#else
    return false;
#endif
}

#ifdef UPDPKG_LIBDEFLATE
// The streaming reader takes the data in pieces of kBufferSize bytes and
// ignores what follows the zlib stream only inside the last piece; a stream
// that ends in an earlier piece leaves bytes unread, which it refuses. So a
// stream of consumed bytes out of size is accepted when it ends in the last
// piece.
static bool EndsInLastPiece(std::size_t consumed, std::size_t size) {
    if (size == 0 || consumed == 0 || consumed > size) return false;
    const std::size_t lastPieceStart = (size - 1) / pkg::kBufferSize * pkg::kBufferSize;
    return consumed > lastPieceStart;
}
#endif

bool WholeEntryDecoder::Inflate(const unsigned char* data, std::size_t size) {
#ifdef UPDPKG_LIBDEFLATE
    auto* d = static_cast<libdeflate_decompressor*>(m_decompressor);
    // Most files compress by less than four to one; grow on the rare one
    // that does better, up to the limit.
    std::size_t capacity = std::min(kWholeOutputLimit, std::max<std::size_t>(size * 4, 1 << 16));
    for (;;) {
        if (m_out.size() < capacity) m_out.resize(capacity);
        std::size_t consumed = 0, produced = 0;
        const libdeflate_result r =
            libdeflate_zlib_decompress_ex(d, data, size, m_out.data(), capacity, &consumed, &produced);
        if (r == LIBDEFLATE_SUCCESS) {
            m_size = produced;
            return EndsInLastPiece(consumed, size);
        }
        if (r != LIBDEFLATE_INSUFFICIENT_SPACE || capacity >= kWholeOutputLimit) return false;
        capacity = std::min(kWholeOutputLimit, capacity * 4);
    }
#else
    (void)data;
    (void)size;
    return false;
#endif
}

bool WholeEntryDecoder::Decode(unsigned char* entry, std::size_t size, uint32_t key, uint64_t start,
                               uint64_t index, pkg::EntryInfo& info) {
    if (!Available() || size < 8) return false;
    if (pkg::RemainingLength(entry) != size - 8) return false;

    unsigned char* run = entry + 8;
    const std::size_t runSize = size - 8;
    uint32_t position = 0;
    XorWithKey(key, run, runSize, &position);

    // name, its zero, at least one byte of data, the checksum
    const std::size_t nameSearch = std::min(runSize, pkg::kBufferSize);
    const unsigned char* zero = static_cast<const unsigned char*>(std::memchr(run, 0, nameSearch));
    if (!zero) return false;
    const std::size_t nameBytes = static_cast<std::size_t>(zero - run) + 1;
    if (runSize < nameBytes + 1 + 4) return false;
    const std::size_t dataSize = runSize - nameBytes - 4;
    const unsigned char* data = run + nameBytes;

    std::string name(reinterpret_cast<const char*>(run), nameBytes - 1);
    if (!pkg::IsSafeEntryName(name)) return false;
#ifdef UPDPKG_LIBDEFLATE
    const uint32_t crc = libdeflate_crc32(0, run, nameBytes + dataSize);
#else
    const uint32_t crc = static_cast<uint32_t>(crc32(0, run, static_cast<uInt>(nameBytes + dataSize)));
#endif
    const uint32_t stored = LoadLE32(data + dataSize);
    if (crc != stored || !Inflate(data, dataSize)) return false;

    info.index = index;
    info.start = start;
    info.name = std::move(name);
    info.compressedSize = dataSize;
    info.uncompressedSize = m_size;
    info.checksum = stored;
    info.end = start + size;
    return true;
}

}  // namespace updpkg
