#pragma once
// Whether a package entry name can be placed below the FILES folder, by
// SETUP.EXE on Windows and by updpkg alike, and the key under which Windows
// takes two names for the same file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/pkg/format.h"

namespace pkg {

// A name has at most this many components; a deeper one could never be
// placed below a Windows path of 260 bytes anyway.
constexpr std::size_t kMaxNameComponents = 256;

// Longer names may take the placed path past Windows' 260 bytes once they
// stand below the temporary folder's FILES folder; updpkg build warns.
constexpr std::size_t kLongNameWarning = 180;

// An entry name is a path relative to the FILES folder, in code page 932,
// with '\' (or '/') separators, found double-byte aware (the second byte of
// a double-byte character is never a separator). The first fault found, in
// this order, decides the reason:
//   NameNotCp932      a byte sequence that is no code page 932 character
//                     (or one that Windows and iconv do not both convert)
//   NameControlByte   a byte below 0x20
//   UnsafeName        empty; absolute, drive-relative or UNC (leading
//                     separator, or ':' anywhere); an empty component, "."
//                     or ".."
//   NameTooDeep       more than kMaxNameComponents components
//   NameReservedChar  one of < > " | ? *
//   NameTrailingDot   a component ending in a dot or a blank (Windows drops
//                     them and would write another name)
//   NameDevice        a device name as a component, with or without an
//                     extension: CON PRN AUX NUL COM1-9 LPT1-9 CONIN$ CONOUT$
// nullopt when the name can be placed.
std::optional<FormatReason> EntryNameFault(const std::string& name);

inline bool IsSafeEntryName(const std::string& name) { return !EntryNameFault(name); }

// One component of a name (a file or folder name alone, as SETUP.INI's
// values are checked part by part): EntryNameFault's rules, and a '\\' or
// '/' in it is UnsafeName.
std::optional<FormatReason> EntryNamePartFault(const std::string& part);

// The components of an entry name, split at '\\' and '/' that begin a
// character (the second byte of a double-byte character is no separator;
// a lead byte at the very end stands alone).
std::vector<std::string> SplitEntryName(const std::string& name);

// Whether lead and trail form an assigned code page 932 double-byte
// character that both Windows and iconv convert.
bool IsCp932Pair(unsigned char lead, unsigned char trail);

// The name as Windows compares file names: names::Key of its UTF-8 form, so
// two codes of one character, and letters that differ only in case
// (ASCII, full-width Latin, Greek, Cyrillic, roman numerals), give one key.
// Two names with the same key are one file on Windows; the later entry
// replaces the earlier. For names that passed EntryNameFault.
std::string EntryNameKey(const std::string& name);

// The names placed so far, by key, to find an entry that Windows cannot
// place after the earlier ones: its folder is an earlier file, or its file
// is an earlier folder. (A later file with an earlier file's key replaces
// it, which is fine.) Memory grows with the entries, one key per file and
// folder.
class PlacementCheck {
public:
    // Names must have passed EntryNameFault. PlacementConflict, or nullopt
    // when the entry can be placed; its name is then recorded.
    std::optional<FormatReason> Add(const std::string& name);

    // Add for a verified entry: throws the FormatError of a conflict, at
    // the entry's end (the package read position once it has been read).
    void Place(const std::string& name, uint64_t index, uint64_t end);

private:
    std::set<std::string> m_files;
    std::set<std::string> m_folders;
};

}  // namespace pkg
