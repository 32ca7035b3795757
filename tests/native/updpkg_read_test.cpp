// updpkg's reading of a package file, with several workers, must judge
// every package as the shared streaming reader does: the same verdict, the
// same reason, entry and position, and the same bytes extracted; hostile
// streams and names included.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/pkg/entry_name.h"
#include "tests/support/hostile_streams.h"
#include "tests/support/package_test_util.h"
#include "tools/updpkg/read.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kKey = 0x3a5c7e91;

Bytes Padded(Bytes b, std::size_t size) {
    b.resize(size, 0x55);
    return b;
}

struct Case {
    const char* name;
    std::vector<RawEntry> entries;
    uint32_t readKey = kKey;
};

std::vector<Case> Cases() {
    const Bytes small = Zlib(ToBytes("hello, package"));
    const Bytes big = Noise(200000, 7);
    RawEntry corrupt = RawEntry::Of("APP\\c.bin", Zlib(big));
    corrupt.data[corrupt.data.size() / 2] ^= 0x5A;  // the checksum still fits
    RawEntry badSum = RawEntry::Of("APP\\s.txt", small);
    badSum.checksum = 0x12345678;
    RawEntry noZero = RawEntry::Of("APP\\n.txt", small);
    noZero.nameBytes.pop_back();
    // No zero anywhere in the entry: the reader takes the next entry's bytes
    // into the name.
    RawEntry runOn;
    runOn.nameBytes = ToBytes("APP\\r.txt");
    runOn.data = Bytes(16, 'A');
    runOn.checksum = 0x41414141;
    RawEntry tooLong = RawEntry::Of("APP\\l.txt", small);
    tooLong.remaining = 1u << 30;
    // A zlib header asking for a preset dictionary (FDICT), then dictionary id.
    const Bytes fdict = {0x78, 0x20, 0, 0, 0, 1, 0x03, 0x00};
    return {
        {"sound entries", {RawEntry::Of("APP\\a.txt", small), RawEntry::Of("APP\\empty", Zlib({})),
                           RawEntry::Of("HELP\\x\\y\\big.bin", Zlib(big, 1))}},
        {"bytes after the stream in the last piece", {RawEntry::Of("A\\t", Padded(small, small.size() + 3))}},
        {"stream ending exactly one piece long", {RawEntry::Of("A\\t", Padded(small, pkg::kBufferSize))}},
        {"stream ending a piece before the last", {RawEntry::Of("A\\t", Padded(small, pkg::kBufferSize + 1))}},
        {"entry of over 4 MiB", {RawEntry::Of("A\\big", Zlib(Noise((4u << 20) + 1000, 3), 0))}},
        {"damaged stream", {RawEntry::Of("APP\\a.txt", small), corrupt}},
        {"wrong checksum", {RawEntry::Of("APP\\a.txt", small), badSum}},
        {"preset dictionary", {RawEntry::Of("A\\d", fdict)}},
        {"no data", {RawEntry::Of("A\\e", {})}},
        {"name without its zero", {noZero}},
        {"name running into the next entry", {runOn, RawEntry::Of("APP\\b.txt", Zlib(big))}},
        {"unsafe name", {RawEntry::Of("APP\\..\\..\\evil.dll", small)}},
        {"length beyond the end", {RawEntry::Of("APP\\a.txt", small), tooLong}},
        {"another key", {RawEntry::Of("APP\\a.txt", small)}, 0},
        {"code-length repeat past HLIT + HDIST",
         {RawEntry::Of("APP\\a.txt", small), RawEntry::Of("APP\\o.txt", DynamicBlockStream(true))}},
        {"reserved length code", {RawEntry::Of("APP\\r.txt", ReservedLengthCodeStream())}},
        {"hand-made dynamic block", {RawEntry::Of("APP\\d.txt", DynamicBlockStream(false))}},
        {"trailing dot", {RawEntry::Of("APP\\a.txt", small), RawEntry::Of("APP\\b.", small)}},
        {"trailing blank in a folder", {RawEntry::Of("APP \\b.txt", small)}},
        {"console device", {RawEntry::Of("APP\\CONOUT$", small)}},
        {"control byte", {RawEntry::Of("APP\\a\x07.txt", small)}},
        {"reserved character", {RawEntry::Of("APP\\a|b.txt", small)}},
        {"no code page 932", {RawEntry::Of("APP\\\x85\x40.txt", small)}},
        {"a file where a later entry needs a folder",
         {RawEntry::Of("APP\\x", small), RawEntry::Of("APP\\y", small), RawEntry::Of("app\\X\\z", small)}},
        {"a folder where a later entry is a file", {RawEntry::Of("APP\\Sub\\a", small), RawEntry::Of("app\\SUB", small)}},
        {"too deep", {RawEntry::Of([] { std::string n = "A"; for (int i = 0; i < 16382; ++i) n += "\\A"; return n; }(), small)}},
    };
}

struct Verdict {
    std::optional<pkg::FormatError> error;
    std::vector<std::pair<std::string, Bytes>> files;  // in package order
};

// SETUP.EXE: the reader, then the copy to the FILES folder, which fails
// where Windows cannot place the entry after the earlier ones.
class PlacingSink : public RecordingSink {
public:
    void EntryVerified(const pkg::EntryInfo& info) override {
        m_layout.Place(info.name, info.index, info.end);
        RecordingSink::EntryVerified(info);
    }

private:
    pkg::PlacementCheck m_layout;
};

Verdict ByStreamingReader(const Bytes& package, uint32_t key) {
    PlacingSink sink;
    Verdict v;
    v.error = Read(package, key, sink);
    for (const auto& e : sink.entries)
        if (e.verified) v.files.emplace_back(e.name, e.data);
    return v;
}

Bytes Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Verdict ByUpdpkg(const fs::path& package, uint32_t key, const fs::path& extractTo) {
    Verdict v;
    updpkg::ReadOptions o;
    o.package = package.string();
    o.key = key;
    o.jobs = 2;
    o.extractTo = extractTo.empty() ? std::string() : extractTo.string();
    std::vector<std::string> names;
    o.onEntry = [&](const pkg::EntryInfo& info) { names.push_back(info.name); };
    try {
        updpkg::ReadPackageFile(o);
    } catch (const pkg::FormatError& e) {
        v.error = e;
    }
    for (const std::string& name : names) {
        std::string rel = name;
        for (char& c : rel)
            if (c == '\\') c = '/';
        v.files.emplace_back(name, extractTo.empty() ? Bytes() : Slurp(extractTo / rel));
    }
    return v;
}

}  // namespace

TEST(UpdpkgRead, JudgesEveryPackageAsTheStreamingReader) {
    const fs::path dir = fs::temp_directory_path() / "updpkg_read_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const Bytes package = Package(c.entries, kKey);
        const fs::path file = dir / "p.kvub";
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(package.data()),
                                                    static_cast<std::streamsize>(package.size()));
        const Verdict want = ByStreamingReader(package, c.readKey);
        fs::remove_all(dir / "out");
        for (bool extract : {false, true}) {
            SCOPED_TRACE(extract ? "extract" : "verify");
            const Verdict got = ByUpdpkg(file, c.readKey, extract ? dir / "out" : fs::path());
            ASSERT_EQ(got.error.has_value(), want.error.has_value()) << (got.error ? got.error->what() : "no error");
            if (want.error) {
                EXPECT_EQ(got.error->reason(), want.error->reason());
                EXPECT_EQ(got.error->zlibCode(), want.error->zlibCode());
                EXPECT_EQ(got.error->entryIndex(), want.error->entryIndex());
                EXPECT_EQ(got.error->position(), want.error->position());
            }
            ASSERT_EQ(got.files.size(), want.files.size());
            for (std::size_t i = 0; i < want.files.size(); ++i) {
                EXPECT_EQ(got.files[i].first, want.files[i].first);
                if (extract) {
                    EXPECT_TRUE(got.files[i].second == want.files[i].second) << want.files[i].first;
                }
            }
        }
    }
    fs::remove_all(dir);
}

TEST(UpdpkgRead, HostileFixturesAreWhatTheyClaim) {
    // The hand-made streams: the sound one inflates to "AAAA", the others
    // are refused by zlib as data errors although every checksum is right.
    RecordingSink sink;
    EXPECT_FALSE(Read(Package({RawEntry::Of("A\\d", DynamicBlockStream(false))}, kKey), kKey, sink).has_value());
    ASSERT_EQ(sink.VerifiedCount(), 1u);
    EXPECT_TRUE(sink.entries[0].data == ToBytes("AAAA"));
    for (const Bytes& stream : {DynamicBlockStream(true), ReservedLengthCodeStream()}) {
        RecordingSink s;
        const auto error = Read(Package({RawEntry::Of("A\\o", stream)}, kKey), kKey, s);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->reason(), pkg::FormatReason::ZlibData);
        EXPECT_EQ(error->zlibCode(), Z_DATA_ERROR);
    }
}
