#pragma once
// Where a package's bytes come from: the byte source the reader and the
// entry scanner read, and a read-ahead wrapper for sources whose small reads
// are dear.

#include <cstddef>
#include <cstdint>

namespace pkg {

// Read places up to size bytes in buffer and returns their count; 0 means
// the end of the package. A source may throw its own exception for a failed
// read: it passes through the reader unchanged, so the caller tells file
// errors from FormatError by type.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::size_t Read(void* buffer, std::size_t size) = 0;
};

// A source that can also go to any package offset, for the entry scanner.
class SeekableSource : public ByteSource {
public:
    virtual void Seek(uint64_t offset) = 0;
};

// Reads until size bytes or the end of the source.
std::size_t ReadFully(ByteSource& source, unsigned char* buffer, std::size_t size);

// A source that serves the reader's small reads (a name is taken one byte at
// a time) from a little block read ahead, and passes large ones straight to
// ReadRaw, which has the same contract as Read.
class ReadAheadSource : public ByteSource {
public:
    std::size_t Read(void* buffer, std::size_t size) override;

protected:
    virtual std::size_t ReadRaw(void* buffer, std::size_t size) = 0;

private:
    unsigned char m_block[4096];
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
};

}  // namespace pkg
