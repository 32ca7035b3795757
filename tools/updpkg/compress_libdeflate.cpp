// Compressor over libdeflate. A file whose start does not shrink is stored.
#include <libdeflate.h>

#include <new>
#include <stdexcept>

#include "tools/updpkg/compress.h"

namespace updpkg {

namespace {

// A file none of whose kProbes windows, spread evenly over it, shrinks at
// the fastest level is stored: matching at a higher level would find next to
// nothing in it either (archives, images, encrypted data), and storing costs
// next to nothing. A window that shrinks, anywhere, keeps the file compressed.
constexpr std::size_t kProbe = 16 << 10;
constexpr std::size_t kProbes = 8;
constexpr std::size_t kProbeFrom = 16 * kProbe;

bool LooksIncompressible(libdeflate_compressor* probe, const unsigned char* data, std::size_t size, Bytes& scratch) {
    if (size < kProbeFrom) return false;
    scratch.resize(libdeflate_zlib_compress_bound(probe, kProbe));
    for (std::size_t i = 0; i < kProbes; ++i) {
        const unsigned char* window = data + (size - kProbe) / (kProbes - 1) * i;
        const std::size_t packed = libdeflate_zlib_compress(probe, window, kProbe, scratch.data(), scratch.size());
        if (packed != 0 && packed <= kProbe - kProbe / 64) return false;
    }
    return true;
}

// One libdeflate compressor, freed with its owner.
struct Deflater {
    explicit Deflater(int level) : c(libdeflate_alloc_compressor(level)) {
        if (!c) throw std::bad_alloc();
    }
    ~Deflater() { libdeflate_free_compressor(c); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    libdeflate_compressor* c;
};

}  // namespace

struct Compressor::Impl {
    explicit Impl(int l) : level(l), main(l), probe(1), store(0) {}
    int level;
    Deflater main;
    Deflater probe;  // for LooksIncompressible
    Deflater store;
};

Compressor::Compressor(int level) : m_impl(std::make_unique<Impl>(level)) {}

Compressor::~Compressor() = default;

void Compressor::Compress(const unsigned char* data, std::size_t size, Bytes& out) {
    libdeflate_compressor* c = m_impl->main.c;
    if (m_impl->level > 0 && LooksIncompressible(m_impl->probe.c, data, size, out)) c = m_impl->store.c;
    out.resize(libdeflate_zlib_compress_bound(c, size));
    const std::size_t packed = libdeflate_zlib_compress(c, data, size, out.data(), out.size());
    if (packed == 0) throw std::runtime_error("libdeflate could not compress");
    out.resize(packed);
}

}  // namespace updpkg
