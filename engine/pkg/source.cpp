#include "engine/pkg/source.h"

#include <algorithm>
#include <cstring>

namespace pkg {

std::size_t ReadFully(ByteSource& source, unsigned char* buffer, std::size_t size) {
    std::size_t total = 0;
    while (total < size) {
        std::size_t got = source.Read(buffer + total, size - total);
        if (got == 0) break;
        total += got;
    }
    return total;
}

std::size_t ReadAheadSource::Read(void* buffer, std::size_t size) {
    if (m_pos == m_end) {
        if (size >= sizeof m_block) return ReadRaw(buffer, size);
        m_pos = 0;
        m_end = ReadRaw(m_block, sizeof m_block);
        if (m_end == 0) return 0;
    }
    const std::size_t n = std::min(size, m_end - m_pos);
    std::memcpy(buffer, m_block + m_pos, n);
    m_pos += n;
    return n;
}

}  // namespace pkg
