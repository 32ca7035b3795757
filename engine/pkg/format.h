#pragma once
// Constants of the update package format and the error its reader raises.
// The byte layout itself is documented above the parser, in
// engine/pkg/reader.cpp.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace pkg {

// Size of each of the reader's three buffers (name, compressed input,
// inflated output) and the largest piece read or written at once.
constexpr std::size_t kBufferSize = 32768;

// A name holds at most this many bytes before its terminating zero.
constexpr std::size_t kMaxNameLength = kBufferSize - 1;

constexpr std::size_t kHeaderSize = 8;
inline constexpr unsigned char kMagic[4] = {'K', 'V', 'U', 'B'};
inline constexpr unsigned char kVersion[4] = {0x00, 0x00, 0x00, 0x01};

// The version string handed to inflateInit_. zlib only compares its first
// character with its own, so every 1.x library accepts it.
inline constexpr char kZlibVersion[] = "1.2.1";

// Why a package was refused. Each check of the reader has its own reason.
enum class FormatReason {
    ShortHeader,       // the package ends inside its 8-byte header
    BadMagic,          // the first four bytes are not "KVUB"
    BadVersion,        // the version bytes are not 00 00 00 01
    ShortLengthWord,   // 1 to 7 bytes where an entry's two length words belong
    NameTooLong,       // no terminating zero within the 32768-byte name buffer
    ShortName,         // the package ends inside a name
    UnsafeName,        // the name could climb out of the FILES folder
    NameNotCp932,      // the name is no valid code page 932 text
    NameControlByte,   // the name holds a byte below 0x20
    NameTooDeep,       // the name has more than kMaxNameComponents components
    NameReservedChar,  // the name holds < > " | ? or *
    NameTrailingDot,   // a component ends in a dot or a blank
    NameDevice,        // a component is a device name (CON, NUL, COM1...)
    ZlibInit,          // inflateInit_ refused the stream
    ZlibData,          // inflate returned neither Z_OK nor Z_STREAM_END
    ShortData,         // the package ends before the length word's count of data
    LengthMismatch,    // the zlib stream ended with declared bytes left, or took more
    ShortChecksum,     // the package ends inside the checksum
    ChecksumMismatch,  // the stored CRC-32 differs from the computed one
    PlacementConflict, // the entry's folder is an earlier file, or its file an earlier folder
};

// Short English description of a reason, for tools and logs.
const char* ReasonText(FormatReason reason);

// A package that is damaged or was made for another key. Kept apart from the
// errors of the byte source and the sink, which pass through the reader
// untouched.
class FormatError : public std::runtime_error {
public:
    FormatError(FormatReason reason, int zlibCode, uint64_t entryIndex, std::string entryName,
                uint64_t position);

    FormatReason reason() const { return m_reason; }
    // zlib's result code for ZlibInit and ZlibData, else 0.
    int zlibCode() const { return m_zlibCode; }
    // Index of the failing entry in package order (0 for a header error).
    uint64_t entryIndex() const { return m_entryIndex; }
    // The entry's name as far as it was read: raw bytes of the package's code
    // page, empty when the failure came before the name's end.
    const std::string& entryName() const { return m_entryName; }
    // Package read position when the fault was found.
    uint64_t position() const { return m_position; }

private:
    FormatReason m_reason;
    int m_zlibCode;
    uint64_t m_entryIndex;
    std::string m_entryName;
    uint64_t m_position;
};

}  // namespace pkg
