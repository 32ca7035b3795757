#include <gtest/gtest.h>

#include <limits>

#include "engine/pkg/scanner.h"
#include "tests/support/package_test_util.h"

using namespace testsupport;

namespace {

// Every span the scanner hands out for a package, in order.
std::vector<pkg::EntrySpan> Walk(const Bytes& package) {
    pkg::MemorySource source(package);
    pkg::EntryScanner scanner(source, package.size(), pkg::kHeaderSize);
    std::vector<pkg::EntrySpan> spans;
    while (auto span = scanner.Next()) {
        spans.push_back(*span);
        if (spans.size() > package.size()) break;  // a scanner that never stops
    }
    return spans;
}

Bytes Words(uint64_t remaining) {
    Bytes b;
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<unsigned char>(remaining >> (8 * i)));
    return b;
}

}  // namespace

TEST(EntryScanner, CutAtEveryLengthHandsOutOnlyWhatLiesInside) {
    const Bytes whole = Package({RawEntry::Of("A\\one", Zlib(ToBytes("first"))),
                                 RawEntry::Of("B\\two", Zlib(Noise(5000, 2))),
                                 RawEntry::Of("three", Zlib({}))},
                                0x11223344u);
    const std::vector<pkg::EntrySpan> full = Walk(whole);
    ASSERT_EQ(full.size(), 3u);
    EXPECT_EQ(full.back().end, whole.size());

    for (std::size_t cut = pkg::kHeaderSize; cut <= whole.size(); ++cut) {
        const Bytes part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        const std::vector<pkg::EntrySpan> spans = Walk(part);
        // The entries wholly inside, and then the cut one (if any) as the last.
        std::size_t inside = 0;
        while (inside < full.size() && full[inside].end <= cut) ++inside;
        const bool cutOne = inside < full.size() && full[inside].offset < cut;
        ASSERT_EQ(spans.size(), inside + (cutOne ? 1 : 0)) << "cut " << cut;
        for (std::size_t i = 0; i < inside; ++i) {
            EXPECT_EQ(spans[i].offset, full[i].offset) << "cut " << cut;
            EXPECT_EQ(spans[i].end, full[i].end) << "cut " << cut;
            EXPECT_EQ(spans[i].index, i);
        }
        if (cutOne) {
            EXPECT_TRUE(spans.back().last) << "cut " << cut;
            EXPECT_EQ(spans.back().offset, full[inside].offset) << "cut " << cut;
        } else if (!spans.empty()) {
            EXPECT_FALSE(spans.back().last) << "cut " << cut;
        }
    }
}

TEST(EntryScanner, LengthsPastTheEndEndTheWalkWithoutWrapping) {
    const Bytes good = RawEntry::Of("A\\x", Zlib(ToBytes("x"))).Encode(0);
    struct {
        const char* what;
        uint64_t remaining;
    } cases[] = {
        {"all ones", std::numeric_limits<uint64_t>::max()},
        {"one past what is left", 13},
        {"size minus the words wraps to the start", std::numeric_limits<uint64_t>::max() - 7},
        {"high half only", uint64_t{1} << 32},
    };
    for (const auto& c : cases) {
        Bytes p = Header();
        p.insert(p.end(), good.begin(), good.end());
        const Bytes words = Words(c.remaining);
        p.insert(p.end(), words.begin(), words.end());
        p.insert(p.end(), 12, 0x5A);  // what is left after the words
        const std::vector<pkg::EntrySpan> spans = Walk(p);
        ASSERT_EQ(spans.size(), 2u) << c.what;
        EXPECT_FALSE(spans[0].last) << c.what;
        EXPECT_TRUE(spans[1].last) << c.what;
        EXPECT_EQ(spans[1].offset, pkg::kHeaderSize + good.size()) << c.what;
    }
    // Exactly what is left is a whole entry, as far as the scanner knows.
    Bytes p = Header();
    const Bytes words = Words(12);
    p.insert(p.end(), words.begin(), words.end());
    p.insert(p.end(), 12, 0x5A);
    const std::vector<pkg::EntrySpan> spans = Walk(p);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_FALSE(spans[0].last);
    EXPECT_EQ(spans[0].end, p.size());
}

TEST(EntryScanner, AFileShorterThanItsSizeEndsTheWalk) {
    // The size was taken before the file shrank: the scanner finds no byte
    // where an entry should start and hands it out as the last, for its
    // reader to find the end.
    const Bytes p = Package({RawEntry::Of("A\\x", Zlib(ToBytes("x")))}, 0);
    pkg::MemorySource source(p);
    pkg::EntryScanner scanner(source, p.size() + 100, pkg::kHeaderSize);
    auto first = scanner.Next();
    ASSERT_TRUE(first.has_value());
    EXPECT_FALSE(first->last);
    auto gone = scanner.Next();
    ASSERT_TRUE(gone.has_value());
    EXPECT_TRUE(gone->last);
    EXPECT_EQ(gone->offset, p.size());
    EXPECT_FALSE(scanner.Next().has_value());
}
