#include <gtest/gtest.h>

#include "engine/pkg/entry_name.h"
#include "engine/pkg/scanner.h"
#include "tests/support/package_test_util.h"

using namespace testsupport;
using pkg::FormatReason;

namespace {

const uint32_t kKey = 0xA5C3E187u;

// A package of three entries: a small text, one whose compressed data spans
// two input pieces, and an empty file two folder levels down.
struct Sample {
    std::vector<std::pair<std::string, Bytes>> files;
    Bytes package;
    std::vector<std::size_t> ends;  // offset after each entry
};

Sample MakeSample(uint32_t key, std::size_t noiseSize = 33000) {
    Sample s;
    s.files = {{"SYS\\readme.txt", ToBytes("line one\r\nline two\r\n")},
               {"PROG\\bin\\tool.dll", Noise(noiseSize, 3)},
               {"PROG\\a\\b\\empty.dat", {}}};
    s.package = Header();
    for (auto& [name, data] : s.files) {
        Bytes e = RawEntry::Of(name, Zlib(data)).Encode(key);
        s.package.insert(s.package.end(), e.begin(), e.end());
        s.ends.push_back(s.package.size());
    }
    return s;
}

}  // namespace

TEST(PackageHeader, HeaderAloneIsAnEmptyPackage) {
    RecordingSink sink;
    EXPECT_FALSE(Read(Header(), kKey, sink).has_value());
    EXPECT_TRUE(sink.entries.empty());
}

TEST(PackageHeader, EveryWrongOrMissingByteIsRefused) {
    for (std::size_t i = 0; i < 8; ++i) {
        for (unsigned char delta : {0x01, 0x20, 0x80, 0xFF}) {
            Bytes p = MakeSample(0).package;
            p[i] ^= delta;
            RecordingSink sink;
            auto err = Read(p, 0, sink);
            ASSERT_TRUE(err.has_value()) << i;
            EXPECT_EQ(err->reason(), i < 4 ? FormatReason::BadMagic : FormatReason::BadVersion) << i;
            EXPECT_TRUE(sink.entries.empty());
        }
    }
    struct { Bytes bytes; FormatReason reason; } cases[] = {
        {{'K', 'V', 'U', 'B', 0, 0, 0, 2}, FormatReason::BadVersion},
        {{'K', 'V', 'U', 'B', 1, 0, 0, 0}, FormatReason::BadVersion},  // version read big-endian
        {{}, FormatReason::ShortHeader},
        {{'K', 'V'}, FormatReason::ShortHeader},
        {{'K', 'V', 'U', 'B'}, FormatReason::ShortHeader},
        {{'K', 'V', 'U', 'B', 0, 0, 0}, FormatReason::ShortHeader},
        {{'K', 'X'}, FormatReason::BadMagic},
        {{'K', 'V', 'U', 'B', 0, 1}, FormatReason::BadVersion},
    };
    for (auto& c : cases) {
        RecordingSink sink;
        auto err = Read(c.bytes, 0, sink);
        ASSERT_TRUE(err.has_value()) << c.bytes.size();
        EXPECT_EQ(err->reason(), c.reason) << c.bytes.size();
    }
}

TEST(PackageEntries, ContentNamesAndPositionsComeThroughForEveryKey) {
    const std::string kSoFolder = "\x83\x5C\\x";  // "ソ" then a folder separator
    struct { std::string name; Bytes data; } files[] = {
        {"SYS\\empty.txt", {}},
        {"SYS\\one.txt", ToBytes("x")},
        {"PROG\\sub\\deeper\\file.bin", Noise(5, 1)},
        {kSoFolder + "\\\x83\x5C.txt", ToBytes("katakana so")},
        {"PROG\\noise.bin", Noise(200000, 2)},       // several input pieces
        {"PROG\\zeros.bin", Bytes(1 << 20, 0)},      // many output buffers
        {"PROG\\exact.bin", Bytes(pkg::kBufferSize, 'a')},
        {"PROG\\exact.bin", ToBytes("again")},       // same name twice: both come in order
    };
    for (uint32_t key : {0u, kKey, 0xFFFFFFFFu, 0x000000FFu}) {
        std::vector<RawEntry> raw;
        for (auto& f : files) raw.push_back(RawEntry::Of(f.name, Zlib(f.data)));
        Bytes package = Package(raw, key);

        RecordingSink sink;
        auto err = Read(package, key, sink);
        ASSERT_FALSE(err.has_value()) << key << ": " << err->what();
        EXPECT_EQ(sink.protocolFault, "");
        ASSERT_EQ(sink.entries.size(), std::size(files));
        EXPECT_EQ(sink.largestPiece, pkg::kBufferSize);
        uint64_t offset = pkg::kHeaderSize;
        for (std::size_t i = 0; i < std::size(files); ++i) {
            const auto& got = sink.entries[i];
            EXPECT_EQ(got.name, files[i].name);
            EXPECT_TRUE(got.data == files[i].data) << files[i].name;
            ASSERT_TRUE(got.verified);
            EXPECT_EQ(got.info.index, i);
            EXPECT_EQ(got.info.start, offset);
            EXPECT_EQ(got.info.compressedSize, raw[i].data.size());
            EXPECT_EQ(got.info.uncompressedSize, files[i].data.size());
            offset += raw[i].Encode(key).size();
            EXPECT_EQ(got.info.end, offset);
        }
        EXPECT_EQ(offset, package.size());
    }
}

TEST(PackageEntries, LengthWordCutShortIsRefusedButAnEndBetweenEntriesIsNot) {
    Sample s = MakeSample(kKey);
    Bytes next = RawEntry::Of("X\\y", Zlib(ToBytes("y"))).Encode(kKey);
    for (std::size_t cut = 0; cut <= 8; ++cut) {
        Bytes p = s.package;
        p.insert(p.end(), next.begin(), next.begin() + cut);
        RecordingSink sink;
        auto err = Read(p, kKey, sink);
        EXPECT_EQ(sink.VerifiedCount(), 3u) << cut;
        if (cut == 0) {
            EXPECT_FALSE(err.has_value());
        } else if (cut < 8) {
            ASSERT_TRUE(err.has_value()) << cut;
            EXPECT_EQ(err->reason(), FormatReason::ShortLengthWord) << cut;
            EXPECT_EQ(err->entryIndex(), 3u);
        } else {
            ASSERT_TRUE(err.has_value());
            EXPECT_EQ(err->reason(), FormatReason::ShortName);
        }
    }
}

TEST(PackageNames, LongestNameIsAcceptedAndOneByteMoreIsNot) {
    const Bytes data = Zlib(ToBytes("long"));
    std::string longest = "DIR\\" + std::string(pkg::kMaxNameLength - 4, 'n');
    ASSERT_EQ(longest.size(), 32767u);
    {
        RecordingSink sink;
        auto err = Read(Package({RawEntry::Of(longest, data)}, kKey), kKey, sink);
        ASSERT_FALSE(err.has_value()) << err->what();
        ASSERT_EQ(sink.VerifiedCount(), 1u);
        EXPECT_EQ(sink.entries[0].name, longest);
    }
    struct { std::size_t nonZero; bool terminated; FormatReason reason; } cases[] = {
        {32768, true, FormatReason::NameTooLong},   // the zero would be byte 32769
        {32768, false, FormatReason::NameTooLong},  // no zero, and nothing after
        {40000, false, FormatReason::NameTooLong},
        {100, false, FormatReason::ShortName},      // the package ends inside the name
        {0, false, FormatReason::ShortName},
    };
    for (auto& c : cases) {
        RawEntry e;
        e.nameBytes.assign(c.nonZero, 'n');
        if (c.terminated) e.nameBytes.push_back(0);
        Bytes p = Header();
        Bytes enc = e.Encode(kKey);
        // Keep only the length words and the name: the name is what is tested.
        p.insert(p.end(), enc.begin(), enc.begin() + 8 + e.nameBytes.size());
        RecordingSink sink;
        auto err = Read(p, kKey, sink);
        ASSERT_TRUE(err.has_value()) << c.nonZero;
        EXPECT_EQ(err->reason(), c.reason) << c.nonZero;
        EXPECT_TRUE(sink.entries.empty());
    }
}

TEST(PackageNames, UnsafeNamesAreRefusedBeforeTheSinkSeesThem) {
    using R = FormatReason;
    const struct {
        std::string name;
        FormatReason reason;
    } cases[] = {
        {"", R::UnsafeName}, {"..\\evil.dll", R::UnsafeName}, {"SYS\\..\\..\\evil.dll", R::UnsafeName},
        {"\\Windows\\evil.dll", R::UnsafeName}, {"/etc/passwd", R::UnsafeName}, {"C:\\evil.dll", R::UnsafeName},
        {"C:evil.dll", R::UnsafeName}, {"\\\\server\\share\\x", R::UnsafeName}, {"SYS\\\\x", R::UnsafeName},
        {"SYS\\x\\", R::UnsafeName}, {"SYS\\file.txt:stream", R::UnsafeName}, {"SYS/../x", R::UnsafeName},
        {"SYS\\.\\x", R::UnsafeName},
        {"SYS\\CON", R::NameDevice}, {"SYS\\nul.txt", R::NameDevice}, {"COM1\\x", R::NameDevice},
        {"SYS\\lpt9.log", R::NameDevice}, {"SYS\\CONIN$", R::NameDevice}, {"SYS\\conout$.txt", R::NameDevice},
        {"SYS\\a\tb", R::NameControlByte}, {std::string("SYS\\a\x01", 6), R::NameControlByte},
        {"SYS\\a<b", R::NameReservedChar}, {"SYS\\a>b", R::NameReservedChar}, {"SYS\\\"q\"", R::NameReservedChar},
        {"SYS\\a|b", R::NameReservedChar}, {"SYS\\a?", R::NameReservedChar}, {"SYS\\*.*", R::NameReservedChar},
        {"SYS\\file.", R::NameTrailingDot}, {"SYS.\\file", R::NameTrailingDot}, {"SYS\\file ", R::NameTrailingDot},
        {"SYS\\\x83", R::NameNotCp932}, {"SYS\\\x85\x40", R::NameNotCp932}, {"SYS\\\xFF.txt", R::NameNotCp932},
        {"SYS\\\x81\x20", R::NameNotCp932},
    };
    for (const auto& c : cases) {
        Bytes p = Package({RawEntry::Of("OK\\first", Zlib(ToBytes("1"))), RawEntry::Of(c.name, Zlib(ToBytes("2")))}, kKey);
        RecordingSink sink;
        auto err = Read(p, kKey, sink);
        ASSERT_TRUE(err.has_value()) << c.name;
        EXPECT_EQ(err->reason(), c.reason) << c.name;
        EXPECT_EQ(err->entryIndex(), 1u);
        EXPECT_EQ(err->entryName(), c.name);
        EXPECT_EQ(sink.entries.size(), 1u) << c.name;  // only the first entry was begun
    }
}

TEST(PackageKeys, APackageOpensOnlyWithItsOwnKey) {
    Sample s = MakeSample(kKey);
    for (uint32_t wrong : {0u, kKey ^ 1u, kKey ^ 0x100u, kKey ^ 0x10000u, kKey ^ 0x1000000u, ~kKey}) {
        RecordingSink sink;
        auto err = Read(s.package, wrong, sink);
        ASSERT_TRUE(err.has_value()) << std::hex << wrong;
        EXPECT_EQ(err->entryIndex(), 0u);
        EXPECT_EQ(sink.VerifiedCount(), 0u);
    }
    // And an unmasked package does not open with a key.
    RecordingSink sink;
    EXPECT_TRUE(Read(MakeSample(0).package, kKey, sink).has_value());
}

TEST(PackageLength, AWrongRemainingLengthNeverLetsTheEntryThrough) {
    const Bytes small = ToBytes("some text that compresses a little, a little, a little");
    const Bytes z = Zlib(small);
    const uint64_t right = RawEntry::Of("D\\f", z).Encode(0).size() - 8;
    const RawEntry follower = RawEntry::Of("D\\g", Zlib(ToBytes("next")));
    struct { int64_t delta; bool last; FormatReason reason; } cases[] = {
        {+1, true, FormatReason::ShortChecksum},       // takes a checksum byte as data
        {+1, false, FormatReason::ChecksumMismatch},   // takes a byte of the next entry
        {+4, true, FormatReason::ShortChecksum},
        {+20, false, FormatReason::ChecksumMismatch},
        {+100, false, FormatReason::ShortData},          // beyond the next entry too
        {+5000, false, FormatReason::ShortData},
        {int64_t{1} << 32, true, FormatReason::ShortData},  // high word set: full pieces
        {-1, true, FormatReason::ZlibData},            // the stream starves
        {-1, false, FormatReason::ZlibData},
        {-static_cast<int64_t>(z.size()), true, FormatReason::ZlibData},  // no data at all
        {-static_cast<int64_t>(right) + 2, false, FormatReason::ShortData},  // below the name: wraps
        {-static_cast<int64_t>(right), true, FormatReason::ShortData},       // zero
    };
    for (auto& c : cases) {
        RawEntry e = RawEntry::Of("D\\f", z);
        e.remaining = right + c.delta;
        std::vector<RawEntry> entries = {e};
        if (!c.last) entries.push_back(follower);
        RecordingSink sink;
        auto err = Read(Package(entries, kKey), kKey, sink);
        ASSERT_TRUE(err.has_value()) << c.delta;
        EXPECT_EQ(err->reason(), c.reason) << c.delta << " " << err->what();
        EXPECT_EQ(err->entryIndex(), 0u);
        EXPECT_EQ(sink.VerifiedCount(), 0u) << c.delta;
        if (c.reason == FormatReason::ZlibData) {
            EXPECT_EQ(err->zlibCode(), -5) << c.delta;  // Z_BUF_ERROR
        }
    }
}

TEST(PackageData, BytesAfterTheStreamCountOnlyInsideTheLastPiece) {
    const Bytes plain = ToBytes("payload payload payload");
    const Bytes z = Zlib(plain);
    const Bytes junk = ToBytes("trailing!");
    struct { std::size_t extra; bool coveredByChecksum; std::optional<FormatReason> reason; } cases[] = {
        {junk.size(), true, std::nullopt},
        {pkg::kBufferSize - z.size(), true, std::nullopt},        // fills the piece exactly
        {pkg::kBufferSize - z.size() + 1, true, FormatReason::LengthMismatch},  // spills over
        {40000, true, FormatReason::LengthMismatch},
        {junk.size(), false, FormatReason::ChecksumMismatch},
    };
    for (auto& c : cases) {
        RawEntry e = RawEntry::Of("D\\f", z);
        for (std::size_t i = 0; i < c.extra; ++i) e.data.push_back(junk[i % junk.size()]);
        if (!c.coveredByChecksum) {
            RawEntry plainOnly = RawEntry::Of("D\\f", z);
            Bytes run = plainOnly.nameBytes;
            run.insert(run.end(), z.begin(), z.end());
            e.checksum = static_cast<uint32_t>(crc32(0, run.data(), static_cast<uInt>(run.size())));
        }
        RecordingSink sink;
        auto err = Read(Package({e}, kKey), kKey, sink);
        if (!c.reason) {
            ASSERT_FALSE(err.has_value()) << c.extra << err->what();
            ASSERT_EQ(sink.VerifiedCount(), 1u);
            EXPECT_TRUE(sink.entries[0].data == plain);
            EXPECT_EQ(sink.entries[0].info.compressedSize, z.size() + c.extra);
        } else {
            ASSERT_TRUE(err.has_value()) << c.extra;
            EXPECT_EQ(err->reason(), *c.reason) << c.extra;
            EXPECT_EQ(sink.VerifiedCount(), 0u);
        }
    }
}

TEST(PackageData, DamagedStreamsCarryZlibsCode) {
    const Bytes plain = ToBytes("text text text text text");
    const Bytes good = Zlib(plain);
    auto modified = [&](auto change) { Bytes b = good; change(b); return b; };
    // CMF 0x78, FLG 0xBB: a valid header that asks for a preset dictionary.
    Bytes needDict = {0x78, 0xBB, 1, 2, 3, 4};
    needDict.insert(needDict.end(), good.begin() + 2, good.end());
    struct { const char* what; Bytes data; int code; } cases[] = {
        {"header check", modified([](Bytes& b) { b[1] ^= 1; }), Z_DATA_ERROR},
        {"raw deflate", Bytes(good.begin() + 2, good.end()), Z_DATA_ERROR},
        {"adler-32", modified([](Bytes& b) { b.back() ^= 1; }), Z_DATA_ERROR},
        {"preset dictionary", needDict, Z_NEED_DICT},
        {"cut stream", Bytes(good.begin(), good.end() - 4), Z_BUF_ERROR},
        {"no data", {}, Z_BUF_ERROR},
    };
    for (auto& c : cases) {
        RecordingSink sink;
        auto err = Read(Package({RawEntry::Of("D\\f", c.data)}, kKey), kKey, sink);
        ASSERT_TRUE(err.has_value()) << c.what;
        EXPECT_EQ(err->reason(), FormatReason::ZlibData) << c.what;
        EXPECT_EQ(err->zlibCode(), c.code) << c.what;
        EXPECT_EQ(err->entryName(), "D\\f");
        EXPECT_EQ(sink.VerifiedCount(), 0u);
    }
}

TEST(PackageChecksum, TheStoredChecksumMustMatchAndBeWhole) {
    Sample s = MakeSample(kKey);
    const std::size_t sumAt = s.ends[0] - 4;
    for (std::size_t i = 0; i < 4; ++i) {
        Bytes p = s.package;
        p[sumAt + i] ^= 0x40;
        RecordingSink sink;
        auto err = Read(p, kKey, sink);
        ASSERT_TRUE(err.has_value());
        EXPECT_EQ(err->reason(), FormatReason::ChecksumMismatch);
        EXPECT_EQ(sink.VerifiedCount(), 0u);
        ASSERT_EQ(sink.entries.size(), 1u);
        EXPECT_TRUE(sink.entries[0].ended);  // inflated, then refused
    }
    // A checksum over the inflated bytes instead of the stored ones is wrong.
    RawEntry e = RawEntry::Of("D\\f", Zlib(ToBytes("abc")));
    Bytes run = ToBytes(std::string("D\\f") + '\0' + "abc");
    e.checksum = static_cast<uint32_t>(crc32(0, run.data(), static_cast<uInt>(run.size())));
    RecordingSink sink;
    auto err = Read(Package({e}, kKey), kKey, sink);
    ASSERT_TRUE(err.has_value());
    EXPECT_EQ(err->reason(), FormatReason::ChecksumMismatch);
    for (std::size_t cut = 1; cut < 4; ++cut) {
        Bytes p(s.package.begin(), s.package.begin() + s.ends[2] - cut);
        RecordingSink cutSink;
        auto cutErr = Read(p, kKey, cutSink);
        ASSERT_TRUE(cutErr.has_value());
        EXPECT_EQ(cutErr->reason(), FormatReason::ShortChecksum);
        EXPECT_EQ(cutSink.VerifiedCount(), 2u);
    }
}

TEST(PackageReader, APackageCutAnywhereFailsCleanlyInTheEntryItCut) {
    Sample s = MakeSample(kKey);
    std::size_t boundaryHits = 0;
    for (std::size_t length = 0; length < s.package.size(); ++length) {
        Bytes p(s.package.begin(), s.package.begin() + length);
        std::size_t complete = 0;
        while (complete < s.ends.size() && s.ends[complete] <= length) ++complete;
        const bool atBoundary = length == pkg::kHeaderSize || (complete > 0 && s.ends[complete - 1] == length);
        RecordingSink sink;
        auto err = Read(p, kKey, sink);
        ASSERT_EQ(sink.protocolFault, "") << length;
        ASSERT_EQ(sink.VerifiedCount(), length < pkg::kHeaderSize ? 0 : complete) << length;
        if (atBoundary) {
            ASSERT_FALSE(err.has_value()) << length;
            ++boundaryHits;
        } else {
            ASSERT_TRUE(err.has_value()) << length;
            if (length >= pkg::kHeaderSize) {
                ASSERT_EQ(err->entryIndex(), complete) << length;
                ASSERT_EQ(err->position(), length) << length;
            }
        }
    }
    EXPECT_EQ(boundaryHits, 3u);  // after the header and after the first two entries
}

TEST(PackageReader, EveryChangedByteIsCaughtInItsOwnEntry) {
    Sample s = MakeSample(kKey, 3000);
    std::mt19937 rng(1234);
    for (int round = 0; round < 3000; ++round) {
        Bytes p = s.package;
        const std::size_t at = rng() % p.size();
        p[at] ^= static_cast<unsigned char>(1 + rng() % 255);
        std::size_t entry = 0;
        while (at >= s.ends[entry]) ++entry;
        RecordingSink sink;
        auto err = Read(p, kKey, sink);
        ASSERT_TRUE(err.has_value()) << "byte " << at;
        ASSERT_EQ(sink.protocolFault, "");
        if (at >= pkg::kHeaderSize) {
            ASSERT_EQ(err->entryIndex(), entry) << "byte " << at;
            ASSERT_EQ(sink.VerifiedCount(), entry) << "byte " << at;
        }
    }
}

TEST(PackageReader, RandomDamageNeverCrashesOrLetsAnUnsafeNameThrough) {
    Sample s = MakeSample(kKey, 3000);
    std::mt19937 rng(99);
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes p = s.package;
        const int edits = 1 + static_cast<int>(rng() % 16);
        for (int i = 0; i < edits; ++i) {
            const std::size_t at = rng() % p.size();
            switch (rng() % 3) {
            case 0: p[at] = static_cast<unsigned char>(rng()); break;
            case 1: p.erase(p.begin() + static_cast<std::ptrdiff_t>(at)); break;
            default: p.insert(p.begin() + static_cast<std::ptrdiff_t>(at), static_cast<unsigned char>(rng())); break;
            }
        }
        RecordingSink sink;
        refused += Read(p, kKey, sink).has_value();
        ASSERT_EQ(sink.protocolFault, "") << round;
        for (auto& e : sink.entries) ASSERT_TRUE(pkg::IsSafeEntryName(e.name)) << e.name;
    }
    EXPECT_GT(refused, 2900);
}

namespace {

struct DiskError {
    int code;
};

// Fails like a file that cannot be read after failAt bytes.
class FailingSource : public pkg::ByteSource {
public:
    FailingSource(const Bytes& bytes, std::size_t failAt) : m_inner(bytes), m_left(failAt) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        if (size > m_left) throw DiskError{23};
        m_left -= size;
        return m_inner.Read(buffer, size);
    }

private:
    pkg::MemorySource m_inner;
    std::size_t m_left;
};

class FailingSink : public RecordingSink {
public:
    void Write(const unsigned char* data, std::size_t size) override {
        RecordingSink::Write(data, size);
        throw DiskError{112};
    }
};

}  // namespace

TEST(PackageReader, SourceAndSinkFailuresPassThroughAsThemselves) {
    // Under the sanitizers a missed inflateEnd shows as a leak.
    Sample s = MakeSample(kKey);
    for (std::size_t failAt : {std::size_t{0}, std::size_t{5}, std::size_t{12}, std::size_t{40}, std::size_t{300},
                               s.ends[0] + 20, s.package.size() - 1}) {
        FailingSource source(s.package, failAt);
        RecordingSink sink;
        try {
            pkg::ReadPackage(source, kKey, sink);
            ADD_FAILURE() << "no error at " << failAt;
        } catch (const DiskError& e) {
            EXPECT_EQ(e.code, 23);
        }
    }
    pkg::MemorySource source(s.package);
    FailingSink sink;
    EXPECT_THROW(pkg::ReadPackage(source, kKey, sink), DiskError);
    EXPECT_EQ(sink.VerifiedCount(), 0u);
}

TEST(PackageReader, AnEntryFoundByItsLengthWordsReadsAlone) {
    Sample s = MakeSample(kKey);
    // Walk the entries by their length words alone, then read each one by itself.
    pkg::MemorySource lengths(s.package);
    pkg::EntryScanner scanner(lengths, s.package.size(), pkg::kHeaderSize);
    uint64_t offset = pkg::kHeaderSize;
    for (std::size_t i = 0; i < s.files.size(); ++i) {
        const auto span = scanner.Next();
        ASSERT_TRUE(span.has_value());
        EXPECT_EQ(span->index, i);
        EXPECT_EQ(span->offset, offset);
        EXPECT_FALSE(span->last);
        EXPECT_EQ(span->end, s.ends[i]);

        pkg::MemorySource source(s.package.data() + offset, s.package.size() - offset);
        pkg::PackageReader reader(source, kKey, offset, i);
        RecordingSink sink;
        ASSERT_TRUE(reader.ReadEntry(sink));
        ASSERT_EQ(sink.VerifiedCount(), 1u);
        EXPECT_EQ(sink.entries[0].name, s.files[i].first);
        EXPECT_EQ(sink.entries[0].info.index, i);
        EXPECT_EQ(sink.entries[0].info.start, offset);
        EXPECT_EQ(reader.Position(), s.ends[i]);
        offset = span->end;
    }
    EXPECT_FALSE(scanner.Next().has_value());
    pkg::MemorySource end(s.package.data() + offset, 0);
    unsigned char words[8];
    std::size_t count = 9;
    EXPECT_EQ(pkg::ReadLengthWords(end, words, &count), pkg::LengthWords::End);
    EXPECT_EQ(count, 0u);
    pkg::MemorySource three(s.package.data() + pkg::kHeaderSize, 3);
    EXPECT_EQ(pkg::ReadLengthWords(three, words, &count), pkg::LengthWords::Short);
    EXPECT_EQ(count, 3u);
}
