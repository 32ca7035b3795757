#include "engine/pkg/writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/pkg/entry_name.h"
#include "engine/pkg/format.h"
#include "engine/pkg/bytes.h"

namespace pkg {

PackageWriter::PackageWriter(ByteOutput& out, uint32_t key, uint64_t limit)
    : m_out(out), m_key(key), m_limit(limit), m_buffer(new unsigned char[kBufferSize]) {
    Emit(kMagic, sizeof kMagic);
    Emit(kVersion, sizeof kVersion);
}

void PackageWriter::Emit(const void* data, std::size_t size) {
    if (m_position > m_limit || size > m_limit - m_position) {
        throw std::length_error("the package would grow beyond " + std::to_string(m_limit) + " bytes");
    }
    m_out.Write(data, size);
    m_position += size;
}

// The checksum covers the bytes before masking; the mask runs on across the
// name, the data and the checksum of one entry.
void PackageWriter::EmitMasked(const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const std::size_t piece = std::min(size, kBufferSize);
        std::memcpy(m_buffer.get(), data, piece);
        m_crc = crc32(m_crc, m_buffer.get(), static_cast<uInt>(piece));
        XorWithKey(m_key, m_buffer.get(), piece, &m_run);
        Emit(m_buffer.get(), piece);
        data += piece;
        size -= piece;
    }
}

void PackageWriter::StartEntry(const std::string& name, uint64_t dataSize, bool patchLater) {
    if (m_inEntry) throw std::logic_error("package entry not finished");
    if (name.size() > kMaxNameLength || name.find('\0') != std::string::npos) {
        throw std::invalid_argument("entry name too long or holding a zero byte");
    }
    if (!IsSafeEntryName(name)) throw std::invalid_argument("unsafe entry name");

    m_entryStart = m_position;
    m_patchLength = patchLater;
    m_run = 0;
    m_crc = crc32(0, nullptr, 0);
    m_entryLength = 0;

    unsigned char words[8] = {};
    if (!patchLater) {
        const uint64_t remaining = name.size() + 1 + dataSize + 4;
        StoreLE32(words, static_cast<uint32_t>(remaining));
        StoreLE32(words + 4, static_cast<uint32_t>(remaining >> 32));
    }
    Emit(words, sizeof words);
    m_inEntry = true;
    EmitMasked(reinterpret_cast<const unsigned char*>(name.c_str()), name.size() + 1);
    m_entryLength = name.size() + 1;
}

void PackageWriter::BeginEntry(const std::string& name) { StartEntry(name, 0, true); }

void PackageWriter::WriteData(const unsigned char* data, std::size_t size) {
    if (!m_inEntry) throw std::logic_error("no package entry begun");
    EmitMasked(data, size);
    m_entryLength += size;
}

void PackageWriter::FinishEntry() {
    if (!m_inEntry) throw std::logic_error("no package entry begun");
    unsigned char sum[4];
    StoreLE32(sum, static_cast<uint32_t>(m_crc));
    XorWithKey(m_key, sum, sizeof sum, &m_run);
    Emit(sum, sizeof sum);
    m_entryLength += 4;
    m_inEntry = false;
    if (m_patchLength) {
        unsigned char words[8];
        StoreLE32(words, static_cast<uint32_t>(m_entryLength));
        StoreLE32(words + 4, static_cast<uint32_t>(m_entryLength >> 32));
        m_out.Patch(m_entryStart, words, sizeof words);
    }
}

void PackageWriter::AddCompressed(const std::string& name, const unsigned char* data, std::size_t size) {
    StartEntry(name, size, false);
    WriteData(data, size);
    FinishEntry();
}

void PackageWriter::AddData(const std::string& name, const unsigned char* data, std::size_t size,
                            int level) {
    if (level < 0 || level > 9) throw std::invalid_argument("compression level outside 0-9");
    if (size > kMaxPackageSize) throw std::length_error("entry too large");
    uLongf packed = compressBound(static_cast<uLong>(size));
    std::vector<unsigned char> compressed(packed);
    int result = compress2(compressed.data(), &packed, data, static_cast<uLong>(size), level);
    if (result != Z_OK) throw std::runtime_error("zlib compress2 failed");
    AddCompressed(name, compressed.data(), packed);
}

}  // namespace pkg
