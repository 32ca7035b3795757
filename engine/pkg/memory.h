#pragma once
// A package held in memory: the byte source and output that the tests, the
// fuzz target and its seed maker read and write packages with.

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "engine/pkg/reader.h"
#include "engine/pkg/source.h"
#include "engine/pkg/writer.h"

namespace pkg {

class MemorySource : public SeekableSource {
public:
    MemorySource(const unsigned char* data, std::size_t size) : m_data(data), m_size(size) {}
    explicit MemorySource(const std::vector<unsigned char>& bytes) : MemorySource(bytes.data(), bytes.size()) {}

    std::size_t Read(void* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, m_size - m_offset);
        if (n != 0) std::memcpy(buffer, m_data + m_offset, n);
        m_offset += n;
        return n;
    }
    // Past the end, reads give nothing.
    void Seek(uint64_t offset) override { m_offset = static_cast<std::size_t>(std::min<uint64_t>(offset, m_size)); }
    std::size_t Offset() const { return m_offset; }

private:
    const unsigned char* m_data;
    std::size_t m_size;
    std::size_t m_offset = 0;
};

class MemoryOutput : public ByteOutput {
public:
    void Write(const void* data, std::size_t size) override {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        m_bytes.insert(m_bytes.end(), p, p + size);
    }
    void Patch(uint64_t offset, const void* data, std::size_t size) override {
        if (offset > m_bytes.size() || size > m_bytes.size() - offset) {
            throw std::out_of_range("patch beyond the bytes written");
        }
        std::memcpy(m_bytes.data() + offset, data, size);
    }
    std::vector<unsigned char>& bytes() { return m_bytes; }

private:
    std::vector<unsigned char> m_bytes;
};

}  // namespace pkg
