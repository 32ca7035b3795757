#pragma once
// Writer of update packages, the inverse of PackageReader (the layout is
// described above the parser in engine/pkg/reader.cpp). Used by updpkg
// and by the tests. It takes compressed bytes as they are: the caller chooses
// the deflate implementation, as long as the result is one zlib stream.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace pkg {

// Where a package goes. Write appends; Patch rewrites bytes written before,
// which the writer does to fill in the length words of an entry whose data
// came in pieces.
class ByteOutput {
public:
    virtual ~ByteOutput() = default;
    virtual void Write(const void* data, std::size_t size) = 0;
    virtual void Patch(uint64_t offset, const void* data, std::size_t size) = 0;
};

// A package must stay below 4 GiB: SETUP.EXE keeps its length and read
// position in 32 bits.
constexpr uint64_t kMaxPackageSize = 0xFFFFFFFFu;

class PackageWriter {
public:
    // Writes the header at once. limit: the largest package size allowed.
    PackageWriter(ByteOutput& out, uint32_t key, uint64_t limit = kMaxPackageSize);
    PackageWriter(const PackageWriter&) = delete;
    PackageWriter& operator=(const PackageWriter&) = delete;

    // The names below must pass IsSafeEntryName and have at most
    // kMaxNameLength bytes (std::invalid_argument otherwise). A write that
    // would take the package beyond the limit throws std::length_error.

    // One entry whose compressed bytes are at hand.
    void AddCompressed(const std::string& name, const unsigned char* data, std::size_t size);

    // One entry compressed here with zlib at level 0 to 9.
    void AddData(const std::string& name, const unsigned char* data, std::size_t size, int level = 6);

    // One entry whose compressed bytes come in pieces: BeginEntry, then
    // WriteData any number of times, then FinishEntry, which writes the
    // checksum and patches the length words.
    void BeginEntry(const std::string& name);
    void WriteData(const unsigned char* data, std::size_t size);
    void FinishEntry();

    // Bytes written so far.
    uint64_t Position() const { return m_position; }

private:
    void StartEntry(const std::string& name, uint64_t dataSize, bool patchLater);
    void Emit(const void* data, std::size_t size);
    void EmitMasked(const unsigned char* data, std::size_t size);

    ByteOutput& m_out;
    uint32_t m_key;
    uint64_t m_limit;
    uint64_t m_position = 0;
    std::unique_ptr<unsigned char[]> m_buffer;

    bool m_inEntry = false;
    bool m_patchLength = false;
    uint64_t m_entryStart = 0;
    uint64_t m_entryLength = 0;  // masked bytes so far: name and data
    uint32_t m_run = 0;
    unsigned long m_crc = 0;
};

}  // namespace pkg
