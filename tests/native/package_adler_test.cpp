// The reader sums the inflated bytes itself instead of letting zlib do it:
// its sum must be zlib's, and a wrong stream sum must be refused exactly as
// zlib refuses it, wherever the sum lies among the reader's pieces.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "engine/pkg/adler32.h"
#include "tests/support/package_test_util.h"

using namespace testsupport;
using pkg::FormatReason;

namespace {

const uint32_t kKey = 0x5EC0DE11u;

// zlib's verdict on a whole stream, fed at once with its own sum check:
// Z_STREAM_END with the inflated bytes, or its error.
int ZlibVerdict(const Bytes& stream, Bytes& out) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return Z_MEM_ERROR;
    out.assign(1 << 20, 0);
    z.next_in = const_cast<unsigned char*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int result = inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    inflateEnd(&z);
    return result;
}

}  // namespace

TEST(Adler32, AgreesWithZlibForEveryLengthAndStart) {
    std::mt19937 rng(11);
    const uint32_t largest = (65520u << 16) | 65520u;
    for (int t = 0; t < 3000; ++t) {
        // Short lengths cover every tail; long ones several runs of 5552.
        const std::size_t size = t < 1000 ? static_cast<std::size_t>(t % 200) : rng() % 40000;
        Bytes data(size + 1);
        for (auto& b : data) b = t % 3 == 0 ? 0xFF : static_cast<unsigned char>(rng());  // 0xFF: the largest sums
        const uint32_t start = t % 4 == 0 ? 1u : t % 4 == 1 ? largest : (rng() % 65521) << 16 | (rng() % 65521);
        const uint32_t want = static_cast<uint32_t>(adler32(start, data.data(), static_cast<uInt>(size)));
        ASSERT_EQ(pkg::Adler32(start, data.data(), size), want) << "size " << size << " start " << start;
        // Any split gives the same sum.
        const std::size_t cut = size ? rng() % size : 0;
        ASSERT_EQ(pkg::Adler32(pkg::Adler32(start, data.data(), cut), data.data() + cut, size - cut), want);
    }
}

TEST(PackageData, TheStreamSumIsCheckedWhereverItLiesAmongThePieces) {
    // Stored (level 0) streams of one block take 11 bytes around the plain
    // ones: the sum's four bytes end the first piece, straddle the boundary
    // at each place, or lie wholly in the second piece.
    for (std::size_t streamSize = pkg::kBufferSize - 1; streamSize <= pkg::kBufferSize + 5; ++streamSize) {
        const Bytes plain = Noise(streamSize - 11, static_cast<uint32_t>(streamSize));
        const Bytes good = Zlib(plain, 0);
        ASSERT_EQ(good.size(), streamSize);
        for (std::size_t extra : {std::size_t{0}, std::size_t{3}}) {  // bytes after the stream, in its last piece
            for (int damaged = -1; damaged < 4; ++damaged) {
                Bytes data = good;
                if (damaged >= 0) data[data.size() - 4 + static_cast<std::size_t>(damaged)] ^= 0x10;
                Bytes reference;
                const int zlib = ZlibVerdict(data, reference);
                data.insert(data.end(), extra, 0xEE);

                RecordingSink sink;
                const auto err = Read(Package({RawEntry::Of("S\\sum", data)}, kKey), kKey, sink);
                const std::string what = std::to_string(streamSize) + "+" + std::to_string(extra) + " byte " +
                                         std::to_string(damaged);
                // Bytes after the stream that spill past its last piece are
                // a length fault, reported before the sum would be.
                const bool spills = extra != 0 && streamSize <= pkg::kBufferSize &&
                                    streamSize + extra > pkg::kBufferSize;
                if (spills) {
                    ASSERT_TRUE(err.has_value()) << what;
                    continue;
                }
                if (damaged < 0) {
                    ASSERT_EQ(zlib, Z_STREAM_END);
                    ASSERT_FALSE(err.has_value()) << what << ": " << err->what();
                    EXPECT_TRUE(sink.entries[0].data == plain) << what;
                } else {
                    ASSERT_EQ(zlib, Z_DATA_ERROR) << what;
                    ASSERT_TRUE(err.has_value()) << what;
                    EXPECT_EQ(err->reason(), FormatReason::ZlibData) << what;
                    EXPECT_EQ(err->zlibCode(), Z_DATA_ERROR) << what;
                    EXPECT_EQ(sink.VerifiedCount(), 0u) << what;
                    EXPECT_FALSE(sink.entries[0].ended) << what;
                }
                EXPECT_EQ(sink.protocolFault, "") << what;
            }
        }
    }
}

TEST(PackageData, DamageInsideTheStreamGetsZlibsVerdict) {
    // One bit changed anywhere in a stream of several pieces, the entry's
    // own checksum made right, so only the stream itself can tell: the
    // reader accepts exactly what zlib accepts, with zlib's bytes.
    std::mt19937 rng(5);
    const Bytes plain = [] {
        Bytes b = Noise(50000, 9);
        for (std::size_t i = 0; i < b.size(); i += 3) b[i] = 'a';  // compressible, so blocks are Huffman coded
        return b;
    }();
    const Bytes good = Zlib(plain);
    int refused = 0;
    for (int t = 0; t < 400; ++t) {
        Bytes data = good;
        const std::size_t at = t < 40 ? data.size() - 1 - static_cast<std::size_t>(t % 8) : rng() % data.size();
        data[at] ^= static_cast<unsigned char>(1u << (rng() % 8));
        Bytes reference;
        const int zlib = ZlibVerdict(data, reference);
        RecordingSink sink;
        const auto err = Read(Package({RawEntry::Of("S\\x", data)}, kKey), kKey, sink);
        if (zlib == Z_STREAM_END && reference.size() == plain.size()) {
            // The stream ended where it should (a flip may end it early:
            // then the reader finds the declared bytes unused).
            ASSERT_FALSE(err.has_value()) << "byte " << at << ": " << err->what();
            EXPECT_TRUE(sink.entries[0].data == reference);
        } else {
            ASSERT_TRUE(err.has_value()) << "byte " << at;
            ++refused;
            if (zlib == Z_DATA_ERROR && err->reason() == FormatReason::ZlibData) {
                EXPECT_EQ(err->zlibCode(), Z_DATA_ERROR) << "byte " << at;
            }
        }
    }
    EXPECT_GT(refused, 300);  // nearly every flip is caught
}
