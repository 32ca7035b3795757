// updpkg build's compression: every file comes out as one zlib stream that
// inflates to the file, incompressible or not, and a file that only starts
// incompressible is still compressed.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "tools/updpkg/compress.h"

namespace {

updpkg::Bytes Random(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    updpkg::Bytes b(size);
    for (auto& x : b) x = static_cast<unsigned char>(rng());
    return b;
}

updpkg::Bytes Inflated(const updpkg::Bytes& stream, std::size_t size) {
    updpkg::Bytes out(size + 1);
    uLongf n = static_cast<uLongf>(out.size());
    EXPECT_EQ(uncompress(out.data(), &n, stream.data(), static_cast<uLong>(stream.size())), Z_OK);
    out.resize(n);
    return out;
}

}  // namespace

TEST(UpdpkgCompress, EveryKindOfFileInflatesBackAndTextStillShrinks) {
    const updpkg::Bytes noise = Random(1 << 20, 1);
    updpkg::Bytes mixed = Random(300 << 10, 2);  // an incompressible start, then text
    for (int i = 0; i < 100000; ++i) mixed.insert(mixed.end(), {'t', 'e', 'x', 't', ' ', static_cast<unsigned char>('0' + i % 10), '\n'});
    updpkg::Bytes tail = mixed;
    tail.insert(tail.end(), noise.begin(), noise.begin() + (100 << 10));  // and an incompressible end

    updpkg::Compressor compressor(6);
    const updpkg::Bytes* files[] = {&noise, &mixed, &tail};
    for (const updpkg::Bytes* file : files) {
        updpkg::Bytes packed;
        compressor.Compress(file->data(), file->size(), packed);
        EXPECT_TRUE(Inflated(packed, file->size()) == *file);
        if (file == &noise) {
            EXPECT_LT(packed.size(), file->size() + file->size() / 1000);  // stored, next to no overhead
        } else {
            EXPECT_LT(packed.size(), file->size() / 2) << "text behind noise was not compressed";
        }
    }
}
