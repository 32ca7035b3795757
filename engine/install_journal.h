#pragma once
// The install journal: what one run of the installation made or moved, so
// that a cancelled, failed or interrupted run can be undone. Portable: the
// text form, its parser and the checks a journal found on disk must pass.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace journal {

// One thing the installation makes or moves, recorded before it is done.
struct Record {
    enum Kind : char {
        Folder = 'D',     // a folder this run creates: path
        Staged = 'S',     // a staged copy: staged, dest
        Commit = 'C',     // dest replaced by staged; the old file (if any) moved to backup
        Committed = 'K',  // every commit is done: only backups remain to delete
    };
    Kind kind = Folder;
    std::string path;    // Folder: the folder; Staged, Commit: the staged file
    std::string dest;    // Staged, Commit: the destination
    std::string backup;  // Commit: where the old file goes, empty when there is none
    std::uint32_t attributes = 0;  // Commit: the old file's attributes, put back on restore
};

struct Journal {
    std::vector<Record> records;
    bool IsCommitted() const;
};

// Text form, UTF-8, CRLF lines, fields separated by a tab (no file name
// holds a tab, a CR or an LF):
//   KVJOURNAL<TAB>2   (1 was the code page 932 form, which is not read)
//   D<TAB>folder
//   S<TAB>staged<TAB>dest
//   C<TAB>staged<TAB>dest<TAB>backup<TAB>attributes (8 hex digits)
//   K
//   END<TAB>count of the records above (decimal)
// Nothing may follow the END line.
std::string Serialize(const Journal& journal);

// What a journal may hold, so that reading one costs no more than the text
// itself (a journal lies where others may have written it): a larger file
// is not read, a longer line or more records refuse it before anything is
// made of them.
constexpr std::size_t kMaxBytes = 64u << 20;
// A path of 32767 UTF-16 units (the system's longest) is at most three
// bytes of UTF-8 for each; the longest record holds three and its
// attributes.
constexpr std::size_t kMaxPathBytes = 32767 * 3;
constexpr std::size_t kMaxLine = 2 + 3 * (kMaxPathBytes + 1) + 8;
// Two records for each file and one for each folder the update makes: half
// a million files, more than a journal of real paths within kMaxBytes holds.
constexpr std::size_t kMaxRecords = 1u << 20;

// Parses the text form. false, with why set, for anything else: a missing
// header or END line, an unknown record, a wrong field count, a count that
// does not match, a text beyond the bounds above. Its cost is one pass over
// the text and the records it holds; a refused line is quoted in why only
// in part.
bool Parse(const std::string& text, Journal& journal, std::string& why);

// The names a staged copy and a backup of dest get: beside it, in the same
// folder, dest's own name with a suffix and a number.
std::string StagedName(const std::string& dest, unsigned number);
std::string BackupName(const std::string& dest, unsigned number);

// The system's full form of a path (GetFullPathName's), given by the caller.
using FullPathOf = std::string (*)(const std::string& path);

// A journal read from disk is as hostile as any file in a folder others may
// write: before anything in it is acted on, every path must be a rooted path
// (a drive or UNC root, no empty, "." or ".." part, no "\\?\" or device
// form, no forward slash) equal to its own full form, the form in which the
// update writes every path, of any length; lie at or below one of roots
// (full paths too, compared without case), or for a created folder, above
// one; and every staged and backup name must be the name above of its own
// destination.
bool Validate(const Journal& journal, const std::vector<std::string>& roots, FullPathOf fullPath,
              std::string& why);

// The length of path's root: 3 for "X:\", that of "\\server\share\" (or
// of the whole "\\server\share") for a UNC path; 0 for any other path.
std::size_t RootLength(const std::string& path);
// Whether folder is a root itself (with or without its trailing backslash):
// nothing to create or remove.
bool IsRoot(const std::string& folder);

}  // namespace journal
