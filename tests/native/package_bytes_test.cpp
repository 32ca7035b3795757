#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/pkg/bytes.h"

using pkg::AddToPosition64;
using pkg::XorWithKey;

TEST(AddToPosition64, CarryAndBorrow) {
    struct { int32_t high; uint32_t low; int32_t delta; int32_t wantHigh; uint32_t wantLow; } cases[] = {
        {0, 0xFFFFFFFFu, 1, 1, 0},
        {5, 0, -1, 4, 0xFFFFFFFFu},
        {0, 10, 0, 0, 10},
        {0, 10, -4, 0, 6},
        {1, 3, -4, 0, 0xFFFFFFFFu},
        {0, 0, -1, -1, 0xFFFFFFFFu},
        {0, 0x7FFFFFFFu, 0x7FFFFFFF, 0, 0xFFFFFFFEu},
    };
    for (auto& c : cases) {
        int32_t h = c.high;
        uint32_t l = c.low;
        AddToPosition64(&h, &l, c.delta);
        EXPECT_EQ(h, c.wantHigh);
        EXPECT_EQ(l, c.wantLow);
    }
}

TEST(AddToPosition64, BehavesAsOneSigned64BitCount) {
    std::mt19937 rng(7);
    int64_t ref = 0x1FFFFFFF0LL;
    int32_t h = 1;
    uint32_t l = 0xFFFFFFF0u;
    for (int i = 0; i < 10000; ++i) {
        int32_t d = static_cast<int32_t>(rng());
        AddToPosition64(&h, &l, d);
        ref += d;
        ASSERT_EQ((static_cast<int64_t>(h) << 32) | l, ref);
    }
}

TEST(XorWithKey, KeyStreamFollowsTheStreamPosition) {
    const uint32_t key = 0x44332211u;
    std::vector<unsigned char> data(11, 0);
    uint32_t pos = 0;
    XorWithKey(key, data.data(), data.size(), &pos);
    EXPECT_EQ(pos, 11u);
    for (size_t i = 0; i < data.size(); ++i) EXPECT_EQ(data[i], 0x11 * (i % 4 + 1)) << i;

    // Starting at position 2: the first byte meets key byte 2.
    unsigned char three[3] = {0, 0, 0};
    uint32_t p2 = 2;
    XorWithKey(key, three, 3, &p2);
    EXPECT_EQ(three[0], 0x33);
    EXPECT_EQ(three[1], 0x44);
    EXPECT_EQ(three[2], 0x11);
    EXPECT_EQ(p2, 5u);
}

TEST(XorWithKey, AnySplitEqualsOnePassAndTwiceRestores) {
    std::mt19937 rng(42);
    std::vector<unsigned char> plain(257);
    for (auto& b : plain) b = static_cast<unsigned char>(rng());
    for (uint32_t key : {0u, 0xDEADBEEFu, 0x01020304u}) {
        std::vector<unsigned char> whole = plain;
        uint32_t pos = 0;
        XorWithKey(key, whole.data(), whole.size(), &pos);
        if (key == 0) {
            EXPECT_EQ(whole, plain);
        }
        for (std::vector<size_t> sizes : {std::vector<size_t>{1, 3, 5}, {2}, {4, 1}, {7, 0, 6}}) {
            std::vector<unsigned char> pieces = plain;
            uint32_t p = 0;
            size_t off = 0, k = 0;
            while (off < pieces.size()) {
                size_t n = std::min(sizes[k++ % sizes.size()], pieces.size() - off);
                XorWithKey(key, pieces.data() + off, n, &p);
                off += n;
            }
            EXPECT_EQ(pieces, whole) << key;
            EXPECT_EQ(p, pieces.size());
            uint32_t again = 0;
            XorWithKey(key, pieces.data(), pieces.size(), &again);
            EXPECT_EQ(pieces, plain);
        }
    }
}
