#include "engine/pkg/reader.h"

#include <zlib.h>

#include <cstring>

#include "engine/pkg/adler32.h"
#include "engine/pkg/entry_name.h"
#include "engine/pkg/scanner.h"
#include "engine/pkg/bytes.h"

// inflateValidate (zlib 1.2.9) lets the reader sum the inflated bytes itself.
static_assert(ZLIB_VERNUM >= 0x1290, "zlib 1.2.9 or later is needed");

namespace pkg {

// Update package layout. Integers are little-endian; a package is below 4 GiB.
//
//   offset  size  field
//   0       4     magic: the bytes "KVUB"
//   4       4     format version: the bytes 00 00 00 01
//   8       ...   zero or more entries, back to back, up to the end of the file
//
// Entry (n = name length with its terminating zero, m = compressed length):
//
//   offset     size  field                                        stored
//   0          4     remaining length, low 32 bits                plain
//   4          4     remaining length, high 32 bits               plain
//   8          n     name up to and including its first zero      masked
//   8 + n      m     one zlib stream (RFC 1950 around RFC 1951)   masked
//   8 + n + m  4     CRC-32 of the unmasked name and data bytes   masked
//
// - The remaining length counts the bytes after the length words: n + m + 4.
//   It is kept as two 32-bit halves and counted down with AddToPosition64.
// - The package ends cleanly where a read of the next low length word gives
//   no byte at all; 1 to 7 bytes there are a fault.
// - Masking: name, data and checksum form one run; the byte at run offset k
//   (0 at the first name byte, restarting for every entry) is XORed with byte
//   k mod 4 of the key, least significant byte first (XorWithKey). Key 0
//   changes nothing. The header and the length words are never masked.
// - The name (code page 932, '\' separators, relative to the FILES folder)
//   has at most 32767 bytes before its zero and is read one byte at a time.
// - The data is read in pieces of min(32768, remaining) bytes and inflated as
//   it comes. The stream must end with the remaining length exactly used up;
//   bytes after the end of the zlib stream inside the last piece are ignored
//   by inflate but counted in the length and the checksum.
// - The checksum is zlib's crc32 from crc32(0, NULL, 0) over the unmasked
//   name (zero included) and every unmasked data byte read.

namespace {

// One inflate state from inflateInit_ to inflateEnd. Every way out of an
// entry, exceptions of the source or the sink included, releases it.
class InflateStream {
public:
    InflateStream() { std::memset(&m_stream, 0, sizeof m_stream); }
    ~InflateStream() { End(); }
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;

    // A cleared stream makes zlib use its default allocation functions.
    int Init() {
        int result = inflateInit_(&m_stream, kZlibVersion, static_cast<int>(sizeof(z_stream)));
        m_active = result == Z_OK;
        return result;
    }
    void End() {
        if (m_active) inflateEnd(&m_stream);
        m_active = false;
    }
    z_stream& get() { return m_stream; }

private:
    z_stream m_stream;
    bool m_active = false;
};

}  // namespace

PackageReader::PackageReader(ByteSource& source, uint32_t key, uint64_t start, uint64_t firstIndex)
    : m_source(source),
      m_key(key),
      m_position(start),
      m_nextIndex(firstIndex),
      m_buffers(new unsigned char[3 * kBufferSize]),
      m_nameBuffer(m_buffers.get()),
      m_inBuffer(m_buffers.get() + kBufferSize),
      m_outBuffer(m_buffers.get() + 2 * kBufferSize) {}

PackageReader::~PackageReader() = default;

std::size_t PackageReader::ReadSome(unsigned char* buffer, std::size_t size) {
    std::size_t got = ReadFully(m_source, buffer, size);
    m_position += got;
    return got;
}

void PackageReader::Fail(FormatReason reason, const EntryInfo& info, int zlibCode) const {
    throw FormatError(reason, zlibCode, info.index, info.name, m_position);
}

void PackageReader::ReadHeader() {
    EntryInfo none;
    unsigned char bytes[4];
    const struct {
        const unsigned char* want;
        FormatReason mismatch;
    } fields[] = {{kMagic, FormatReason::BadMagic}, {kVersion, FormatReason::BadVersion}};
    for (const auto& field : fields) {
        std::size_t got = ReadSome(bytes, 4);
        // Bytes that are there and wrong say more than the missing ones.
        if (std::memcmp(bytes, field.want, got) != 0) Fail(field.mismatch, none);
        if (got < 4) Fail(FormatReason::ShortHeader, none);
    }
}

// Where the reader stands in an entry, as the layout above counts it: the
// bytes still declared (two halves counted down), the masking run offset and
// the checksum so far.
struct PackageReader::Cursor {
    int32_t high = 0;
    uint32_t low = 0;
    uint32_t run = 0;
    unsigned long crc = crc32(0, nullptr, 0);

    // n masked bytes just read: taken from what is declared, unmasked in
    // place, added to the checksum.
    void TakeMasked(uint32_t key, unsigned char* bytes, uint32_t n) {
        AddToPosition64(&high, &low, -static_cast<int32_t>(n));
        XorWithKey(key, bytes, n, &run);
        crc = crc32(crc, bytes, n);
    }
};

void PackageReader::ReadName(EntryInfo& info, Cursor& cursor) {
    std::size_t length = 0;
    for (;;) {
        if (length >= kBufferSize) Fail(FormatReason::NameTooLong, info);
        unsigned char byte;
        if (ReadSome(&byte, 1) != 1) Fail(FormatReason::ShortName, info);
        cursor.TakeMasked(m_key, &byte, 1);
        m_nameBuffer[length++] = byte;
        if (byte == 0) break;
    }
    info.name.assign(reinterpret_cast<const char*>(m_nameBuffer), length - 1);
}

// zlib is told not to sum the inflated bytes (inflateValidate): the reader
// sums them with its faster Adler32 and compares the stream's last four
// bytes at the very point where zlib would have, before the last inflated
// bytes are handed on, so a wrong sum is refused exactly as zlib refuses it
// (Z_DATA_ERROR) with the same bytes written before.
void PackageReader::Inflate(EntrySink& sink, EntryInfo& info, Cursor& cursor) {
    InflateStream inflater;
    int result = inflater.Init();
    if (result != Z_OK) Fail(FormatReason::ZlibInit, info, result);
    z_stream& stream = inflater.get();
    inflateValidate(&stream, 0);
    stream.next_out = m_outBuffer;
    stream.avail_out = kBufferSize;
    stream.next_in = m_inBuffer;
    stream.avail_in = 0;
    uint32_t adler = 1;
    // The last bytes of the piece before this one: the stream's sum may
    // begin there (only the last piece is shorter than kBufferSize).
    unsigned char tail[4] = {};
    uint32_t piece = 0;

    for (;;) {
        if (stream.avail_in == 0) {
            if (piece >= sizeof tail) std::memcpy(tail, m_inBuffer + piece - sizeof tail, sizeof tail);
            // The last piece may be empty: inflate then finds no input and
            // reports a buffer error unless the stream can still end.
            piece = (cursor.high != 0 || cursor.low > kBufferSize) ? static_cast<uint32_t>(kBufferSize) : cursor.low;
            if (ReadSome(m_inBuffer, piece) != piece) Fail(FormatReason::ShortData, info);
            cursor.TakeMasked(m_key, m_inBuffer, piece);
            info.compressedSize += piece;
            stream.next_in = m_inBuffer;
            stream.avail_in = piece;
        }
        result = inflate(&stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END) break;
        if (result != Z_OK) Fail(FormatReason::ZlibData, info, result);
        if (stream.avail_out == 0) {
            adler = Adler32(adler, m_outBuffer, kBufferSize);
            sink.Write(m_outBuffer, kBufferSize);
            info.uncompressedSize += kBufferSize;
            stream.next_out = m_outBuffer;
            stream.avail_out = kBufferSize;
        }
    }
    const std::size_t filled = kBufferSize - stream.avail_out;
    adler = Adler32(adler, m_outBuffer, filled);
    // The stream's sum: the four bytes inflate took last, big-endian.
    const std::size_t used = static_cast<std::size_t>(stream.next_in - m_inBuffer);
    uint32_t stored = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const unsigned char byte = used + i >= 4 ? m_inBuffer[used + i - 4] : tail[used + i];
        stored = stored << 8 | byte;
    }
    if (stored != adler) Fail(FormatReason::ZlibData, info, Z_DATA_ERROR);
    if (filled != 0) {
        sink.Write(m_outBuffer, filled);
        info.uncompressedSize += filled;
    }
    sink.EndData(info);
    inflater.End();
}

bool PackageReader::ReadEntry(EntrySink& sink) {
    EntryInfo info;
    info.index = m_nextIndex;
    info.start = m_position;

    unsigned char words[8];
    std::size_t count = 0;
    LengthWords length = ReadLengthWords(m_source, words, &count);
    m_position += count;
    if (length == LengthWords::End) return false;
    if (length == LengthWords::Short) Fail(FormatReason::ShortLengthWord, info);

    Cursor cursor;
    cursor.low = LoadLE32(words);
    cursor.high = static_cast<int32_t>(LoadLE32(words + 4));

    ReadName(info, cursor);
    AddToPosition64(&cursor.high, &cursor.low, -4);  // the checksum at the end
    // Refused before the sink sees the entry, so nothing of it is written.
    if (const auto fault = EntryNameFault(info.name)) Fail(*fault, info);

    sink.BeginEntry(info);
    Inflate(sink, info, cursor);

    // Every declared byte must have been taken by the time the stream ends.
    if (cursor.high != 0 || cursor.low != 0) Fail(FormatReason::LengthMismatch, info);

    unsigned char stored[4];
    if (ReadSome(stored, 4) != 4) Fail(FormatReason::ShortChecksum, info);
    XorWithKey(m_key, stored, 4, &cursor.run);
    if (LoadLE32(stored) != static_cast<uint32_t>(cursor.crc)) Fail(FormatReason::ChecksumMismatch, info);

    info.checksum = LoadLE32(stored);
    info.end = m_position;
    ++m_nextIndex;
    sink.EntryVerified(info);
    return true;
}

void ReadPackage(ByteSource& source, uint32_t key, EntrySink& sink) {
    PackageReader reader(source, key);
    reader.ReadHeader();
    while (reader.ReadEntry(sink)) {
    }
}

}  // namespace pkg
