#include "tools/updpkg/compress.h"

#include <zlib.h>

#include <cstring>
#include <memory>
#include <stdexcept>

#ifdef UPDPKG_LIBDEFLATE
#include <libdeflate.h>
#endif

#include "tools/updpkg/fileio.h"

namespace updpkg {

Compressor::Compressor(int level) : m_level(level) {
#ifdef UPDPKG_LIBDEFLATE
    m_libdeflate = libdeflate_alloc_compressor(level);
    m_probe = libdeflate_alloc_compressor(1);
    m_store = libdeflate_alloc_compressor(0);
    if (!m_libdeflate || !m_probe || !m_store) {
        FreeAll();
        throw std::bad_alloc();
    }
#endif
}

Compressor::~Compressor() { FreeAll(); }

void Compressor::FreeAll() noexcept {
#ifdef UPDPKG_LIBDEFLATE
    for (void* c : {m_libdeflate, m_probe, m_store}) {
        if (c) libdeflate_free_compressor(static_cast<libdeflate_compressor*>(c));
    }
#endif
}

#ifdef UPDPKG_LIBDEFLATE
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

}  // namespace
#endif

void Compressor::Compress(const unsigned char* data, std::size_t size, Bytes& out) {
#ifdef UPDPKG_LIBDEFLATE
    auto* c = static_cast<libdeflate_compressor*>(m_libdeflate);
    if (m_level > 0 && LooksIncompressible(static_cast<libdeflate_compressor*>(m_probe), data, size, out)) {
        c = static_cast<libdeflate_compressor*>(m_store);
    }
    out.resize(libdeflate_zlib_compress_bound(c, size));
    const std::size_t packed = libdeflate_zlib_compress(c, data, size, out.data(), out.size());
    if (packed == 0) throw std::runtime_error("libdeflate could not compress");
    out.resize(packed);
#else
    uLongf packed = compressBound(static_cast<uLong>(size));
    out.resize(packed);
    if (compress2(out.data(), &packed, data, static_cast<uLong>(size), m_level) != Z_OK) {
        throw std::runtime_error("zlib could not compress");
    }
    out.resize(packed);
#endif
}

namespace {

// One deflate state, released with deflateEnd.
class DeflateStream {
public:
    explicit DeflateStream(int level) {
        std::memset(&m_stream, 0, sizeof m_stream);
        if (deflateInit(&m_stream, level) != Z_OK) throw std::runtime_error("zlib deflateInit failed");
    }
    ~DeflateStream() { deflateEnd(&m_stream); }
    DeflateStream(const DeflateStream&) = delete;
    DeflateStream& operator=(const DeflateStream&) = delete;
    z_stream& get() { return m_stream; }

private:
    z_stream m_stream;
};

}  // namespace

void DeflateFile(InputFile& file, int level, const std::function<void(const unsigned char*, std::size_t)>& sink) {
    constexpr std::size_t kPiece = 1 << 16;
    std::unique_ptr<unsigned char[]> in(new unsigned char[kPiece]);
    std::unique_ptr<unsigned char[]> out(new unsigned char[kPiece]);
    DeflateStream deflater(level);
    z_stream& s = deflater.get();
    int flush = Z_NO_FLUSH;
    do {
        const std::size_t got = file.Read(in.get(), kPiece);
        if (got == 0) flush = Z_FINISH;
        s.next_in = in.get();
        s.avail_in = static_cast<uInt>(got);
        do {
            s.next_out = out.get();
            s.avail_out = kPiece;
            const int result = deflate(&s, flush);
            if (result == Z_STREAM_ERROR) throw std::runtime_error("zlib deflate failed");
            const std::size_t made = kPiece - s.avail_out;
            if (made) sink(out.get(), made);
        } while (s.avail_out == 0);
    } while (flush != Z_FINISH);
}

}  // namespace updpkg
