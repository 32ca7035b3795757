#pragma once
// Deflate for updpkg build: whole files into one zlib stream each, by
// libdeflate where the build has it (several times faster than zlib at the
// same level; compress_libdeflate.cpp) and by zlib elsewhere
// (compress_zlib.cpp), as CMake chooses; zlib's inflate reads both. Files too
// large to hold are streamed through zlib everywhere (compress.cpp).

#include <cstddef>
#include <functional>
#include <memory>

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
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Reads file to its end and hands the zlib stream to sink in pieces, with
// fixed memory.
void DeflateFile(InputFile& file, int level, const std::function<void(const unsigned char*, std::size_t)>& sink);

}  // namespace updpkg
