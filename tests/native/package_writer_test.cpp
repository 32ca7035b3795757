#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/pkg/writer.h"
#include "tests/support/package_test_util.h"

using namespace testsupport;

namespace {

const uint32_t kKey = 0x1B2C3D4Eu;

struct File {
    std::string name;
    Bytes data;
};

std::vector<File> Files() {
    return {{"SYS\\a.txt", ToBytes("alpha")},
            {"PROG\\bin\\" + std::string("\x83\x5C") + ".dll", Noise(70000, 5)},
            {"PROG\\empty", {}}};
}

}  // namespace

TEST(PackageWriter, WritesTheSameBytesAsAnIndependentEncoder) {
    for (uint32_t key : {0u, kKey, 0xFFFFFFFFu}) {
        pkg::MemoryOutput out;
        pkg::PackageWriter writer(out, key);
        std::vector<RawEntry> raw;
        for (const File& f : Files()) {
            Bytes z = Zlib(f.data);
            writer.AddCompressed(f.name, z.data(), z.size());
            raw.push_back(RawEntry::Of(f.name, z));
        }
        EXPECT_TRUE(out.bytes() == Package(raw, key)) << key;
        EXPECT_EQ(writer.Position(), out.bytes().size());
    }
}

TEST(PackageWriter, DataInPiecesGivesTheSameBytesAsDataAtOnce) {
    for (const File& f : Files()) {
        Bytes z = Zlib(f.data);
        pkg::MemoryOutput whole;
        pkg::PackageWriter(whole, kKey).AddCompressed(f.name, z.data(), z.size());

        for (std::size_t step : {std::size_t{1}, std::size_t{7}, std::size_t{32769}}) {
            pkg::MemoryOutput pieces;
            pkg::PackageWriter writer(pieces, kKey);
            writer.BeginEntry(f.name);
            for (std::size_t off = 0; off < z.size(); off += step) {
                writer.WriteData(z.data() + off, std::min(step, z.size() - off));
            }
            writer.FinishEntry();
            EXPECT_TRUE(pieces.bytes() == whole.bytes()) << f.name << " step " << step;
        }
    }
}

TEST(PackageWriter, EveryLevelReadsBack) {
    for (int level = 0; level <= 9; ++level) {
        pkg::MemoryOutput out;
        pkg::PackageWriter writer(out, kKey);
        for (const File& f : Files()) writer.AddData(f.name, f.data.data(), f.data.size(), level);
        RecordingSink sink;
        auto err = Read(out.bytes(), kKey, sink);
        ASSERT_FALSE(err.has_value()) << level << ": " << err->what();
        ASSERT_EQ(sink.entries.size(), Files().size());
        for (std::size_t i = 0; i < Files().size(); ++i) {
            EXPECT_EQ(sink.entries[i].name, Files()[i].name);
            EXPECT_TRUE(sink.entries[i].data == Files()[i].data) << level;
        }
    }
}

TEST(PackageWriter, RefusesWhatTheReaderWouldRefuse) {
    pkg::MemoryOutput out;
    pkg::PackageWriter writer(out, kKey);
    const Bytes z = Zlib(ToBytes("x"));
    const std::string bad[] = {"", "..\\x", "C:\\x", "SYS\\CON", std::string("SYS\\a\0b", 7),
                               "D\\" + std::string(pkg::kMaxNameLength - 1, 'n')};
    for (const std::string& name : bad) {
        EXPECT_THROW(writer.AddCompressed(name, z.data(), z.size()), std::invalid_argument) << name.size();
    }
    EXPECT_EQ(out.bytes().size(), pkg::kHeaderSize);  // nothing of them was written
    EXPECT_NO_THROW(writer.AddCompressed("D\\" + std::string(pkg::kMaxNameLength - 2, 'n'), z.data(), z.size()));
    EXPECT_THROW(writer.AddData("D\\x", z.data(), z.size(), 10), std::invalid_argument);
    EXPECT_THROW(writer.AddData("D\\x", z.data(), z.size(), -1), std::invalid_argument);
    EXPECT_THROW(writer.WriteData(z.data(), z.size()), std::logic_error);
    EXPECT_THROW(writer.FinishEntry(), std::logic_error);
    writer.BeginEntry("D\\y");
    EXPECT_THROW(writer.BeginEntry("D\\z"), std::logic_error);
}

TEST(PackageWriter, StopsBeforeTheSizeLimit) {
    const Bytes z = Zlib(ToBytes("x"));
    const uint64_t entrySize = 8 + 4 + z.size() + 4;  // name "D\\f" with its zero
    pkg::MemoryOutput out;
    pkg::PackageWriter writer(out, 0, pkg::kHeaderSize + 2 * entrySize);
    writer.AddCompressed("D\\f", z.data(), z.size());
    writer.AddCompressed("D\\f", z.data(), z.size());  // exactly at the limit
    EXPECT_EQ(out.bytes().size(), pkg::kHeaderSize + 2 * entrySize);
    EXPECT_THROW(writer.AddCompressed("D\\f", z.data(), z.size()), std::length_error);
    EXPECT_EQ(out.bytes().size(), pkg::kHeaderSize + 2 * entrySize);
}
