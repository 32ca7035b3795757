// Streaming deflate of a file too large to hold, through zlib on every build.
#include "tools/updpkg/compress.h"

#include <zlib.h>

#include <cstring>
#include <memory>
#include <stdexcept>

#include "tools/updpkg/fileio.h"

namespace updpkg {

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
