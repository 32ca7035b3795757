// Compressor over zlib, for builds without libdeflate.
#include <zlib.h>

#include <stdexcept>

#include "tools/updpkg/compress.h"

namespace updpkg {

struct Compressor::Impl {
    int level;
};

Compressor::Compressor(int level) : m_impl(std::make_unique<Impl>(Impl{level})) {}

Compressor::~Compressor() = default;

void Compressor::Compress(const unsigned char* data, std::size_t size, Bytes& out) {
    uLongf packed = compressBound(static_cast<uLong>(size));
    out.resize(packed);
    if (compress2(out.data(), &packed, data, static_cast<uLong>(size), m_impl->level) != Z_OK) {
        throw std::runtime_error("zlib could not compress");
    }
    out.resize(packed);
}

}  // namespace updpkg
