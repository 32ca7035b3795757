#pragma once
// Deflate for updpkg build: whole files into one zlib stream each. libdeflate
// where the build has it (several times faster than zlib at the same level),
// zlib elsewhere; zlib's inflate reads both. With libdeflate, a file whose
// start does not shrink is stored. Files too large to hold are streamed
// through zlib.

#include <cstddef>
#include <functional>

#include "tools/updpkg/buffer.h"

namespace updpkg {

class InputFile;

// One per thread.
class Compressor {
public:
    explicit Compressor(int level);  // 0 to 9
    ~Compressor();
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    // out receives data as one zlib stream.
    void Compress(const unsigned char* data, std::size_t size, Bytes& out);

private:
    void FreeAll() noexcept;
    int m_level;
    void* m_libdeflate = nullptr;
    void* m_probe = nullptr;  // level 1, for LooksIncompressible
    void* m_store = nullptr;  // level 0
};

// Reads file to its end and hands the zlib stream to sink in pieces, with
// fixed memory.
void DeflateFile(InputFile& file, int level, const std::function<void(const unsigned char*, std::size_t)>& sink);

}  // namespace updpkg
