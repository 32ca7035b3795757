#include "engine/pkg/format.h"

#include <utility>

namespace pkg {

const char* ReasonText(FormatReason reason) {
    switch (reason) {
    case FormatReason::ShortHeader: return "the package ends inside its header";
    case FormatReason::BadMagic: return "bad magic (not a KVUB package)";
    case FormatReason::BadVersion: return "unknown format version";
    case FormatReason::ShortLengthWord: return "length word cut short by the end of the package";
    case FormatReason::NameTooLong: return "name too long (no terminating zero within 32768 bytes)";
    case FormatReason::ShortName: return "the package ends inside the entry name";
    case FormatReason::UnsafeName: return "unsafe entry name: it could leave the folder it is placed in";
    case FormatReason::NameNotCp932: return "unsafe entry name: not valid code page 932";
    case FormatReason::NameControlByte: return "unsafe entry name: it holds a control character";
    case FormatReason::NameTooDeep: return "unsafe entry name: more than 256 folder levels";
    case FormatReason::NameReservedChar: return "unsafe entry name: it holds one of < > \" | ? *";
    case FormatReason::NameTrailingDot: return "unsafe entry name: a part of it ends in a dot or a blank";
    case FormatReason::NameDevice: return "unsafe entry name: a device name such as CON, NUL or COM1";
    case FormatReason::ZlibInit: return "zlib initialisation failed";
    case FormatReason::ZlibData: return "zlib error in the compressed data";
    case FormatReason::ShortData: return "short read: the package ends inside the compressed data";
    case FormatReason::LengthMismatch: return "length mismatch: the compressed data does not end where the entry length says";
    case FormatReason::ShortChecksum: return "the package ends inside the checksum";
    case FormatReason::ChecksumMismatch: return "checksum mismatch";
    case FormatReason::PlacementConflict:
        return "the entry cannot be placed: a file and a folder of one name (case does not count on Windows)";
    }
    return "unknown format error";
}

namespace {

std::string Describe(FormatReason reason, int zlibCode) {
    std::string text = ReasonText(reason);
    if (reason == FormatReason::ZlibInit || reason == FormatReason::ZlibData) {
        text += " (code " + std::to_string(zlibCode) + ")";
    }
    return text;
}

}  // namespace

FormatError::FormatError(FormatReason reason, int zlibCode, uint64_t entryIndex,
                         std::string entryName, uint64_t position)
    : std::runtime_error(Describe(reason, zlibCode)),
      m_reason(reason),
      m_zlibCode(zlibCode),
      m_entryIndex(entryIndex),
      m_entryName(std::move(entryName)),
      m_position(position) {}

}  // namespace pkg
