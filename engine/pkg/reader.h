#pragma once
// Streaming reader of update packages, shared by SETUP.EXE and updpkg.
// Memory stays fixed whatever the size of the package or of an entry: three
// buffers of kBufferSize bytes (name, compressed input, inflated output) and
// one zlib inflate state. Inflated bytes go to a sink piece by piece.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/pkg/format.h"
#include "engine/pkg/source.h"

namespace pkg {

// What the reader knows of the entry it is working on.
struct EntryInfo {
    uint64_t index = 0;             // 0-based, in package order
    uint64_t start = 0;             // package offset of its first length word
    std::string name;               // as stored: code page 932, '\' separators
    uint64_t compressedSize = 0;    // bytes of data read (zlib stream and any bytes after it)
    uint64_t uncompressedSize = 0;  // inflated bytes handed to the sink
    uint32_t checksum = 0;          // the stored CRC-32, once it has been compared
    uint64_t end = 0;               // package read position after the checksum
};

// Receives the entries. For each entry whose name is read and safe, in this
// order: BeginEntry; Write for every inflated piece; EndData once the zlib
// stream has ended; EntryVerified once the length and the checksum have been
// found right. A format error or an exception stops the sequence anywhere,
// so only EntryVerified means the bytes written for the entry may be used.
// Exceptions thrown by a sink pass through the reader.
class EntrySink {
public:
    virtual ~EntrySink() = default;
    // The name has passed EntryNameFault; nothing is inflated yet.
    virtual void BeginEntry(const EntryInfo& info) = 0;
    // 1 to kBufferSize inflated bytes.
    virtual void Write(const unsigned char* data, std::size_t size) = 0;
    // Every inflated byte has been written; the checks are still to come.
    virtual void EndData(const EntryInfo& /*info*/) {}
    // The entry is sound; info.end is the package read position after it.
    virtual void EntryVerified(const EntryInfo& info) = 0;
};

class PackageReader {
public:
    // start: the package offset of the source's first byte, and firstIndex the
    // index of the entry found there; both nonzero only when a caller reads a
    // single entry from the middle of a package it has scanned itself.
    PackageReader(ByteSource& source, uint32_t key, uint64_t start = 0, uint64_t firstIndex = 0);
    ~PackageReader();
    PackageReader(const PackageReader&) = delete;
    PackageReader& operator=(const PackageReader&) = delete;

    // Checks the magic and the version. Throws FormatError.
    void ReadHeader();

    // Reads the next entry into sink. Returns false when the package has
    // ended cleanly, before any byte of a further entry. Throws FormatError.
    bool ReadEntry(EntrySink& sink);

    // Package offset of the next byte to read.
    uint64_t Position() const { return m_position; }

private:
    std::size_t ReadSome(unsigned char* buffer, std::size_t size);
    struct Cursor;
    void ReadName(EntryInfo& info, Cursor& cursor);
    void Inflate(EntrySink& sink, EntryInfo& info, Cursor& cursor);
    [[noreturn]] void Fail(FormatReason reason, const EntryInfo& info, int zlibCode = 0) const;

    ByteSource& m_source;
    uint32_t m_key;
    uint64_t m_position;
    uint64_t m_nextIndex;
    std::unique_ptr<unsigned char[]> m_buffers;  // name, input, output
    unsigned char* m_nameBuffer;
    unsigned char* m_inBuffer;
    unsigned char* m_outBuffer;
};

// Header and every entry, to the clean end.
void ReadPackage(ByteSource& source, uint32_t key, EntrySink& sink);

}  // namespace pkg
