#pragma once
// SETUP.INI read as the system's profile reader (GetPrivateProfileStringA)
// reads it, from its bytes (portable): SETUP.EXE parses the very bytes it
// checked against the medium's signature, and updpkg says what SETUP.EXE
// will see.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/setup_description.h"

namespace setupini {

// The file is taken as code page 932 bytes. The rules, as the system's
// reader applies them:
// - A line ends at every "\r" and every "\n". Blanks (space, tab, the other
//   control blanks and Ctrl-Z; not the ideographic space 81 40) around a
//   line are dropped; empty lines are skipped.
// - "[" begins a section; its name runs to the line's last "]", without the
//   blanks inside the brackets.
//   A "[" line without "]" is read as a key line. Lines before the first
//   section belong to a nameless section, found by the empty name.
// - Any other line is a key: the name runs to the first "=" with the blanks
//   before the "=" dropped, the value from after the blanks behind it. A
//   line without "=" reads as empty and is not listed among the section's
//   names; nor is a name that begins with ";" (a comment). A key with an
//   empty name ("=value") is an empty string in the list, which ends it for
//   whoever splits it (what the system's list holds after it is not kept).
// - Names are matched without regard to the case of ASCII letters (full-width
//   letters must match exactly). Blanks around the names asked for are dropped when a value is
//   read, but not when a section's key names are listed (" PRODUCT " then
//   finds no section). The first
//   section of a name is the only one looked in, and the first key of a name
//   in it is the one read; later duplicates are listed but never read.
// - A value that begins and ends with the same quotation mark (" or ') is
//   read without the two.
class ProfileFile {
public:
    explicit ProfileFile(const std::string& bytes);
    ProfileFile(const ProfileFile&) = delete;  // its indexes look into its own text
    ProfileFile& operator=(const ProfileFile&) = delete;

    // The value of key in section, whole; "" when either is missing.
    std::string Get(const std::string& section, const std::string& key) const;

    // The names of the keys of section in file order, in the reader's form:
    // each ended by a NUL, the list ended by one more NUL.
    std::string KeyList(const std::string& section) const;

private:
    // Where a name or a value lies in the file's bytes: a file's names and
    // values are never copied, so that reading one costs a small multiple
    // of its size whatever its shape (a SETUP.INI of a million "a=" lines,
    // or of a million sections).
    struct Span {
        std::size_t at = 0;
        std::size_t size = 0;
    };
    struct Key {
        Span name;
        Span value;
        bool hasValue = false;
    };
    // A section's keys are the run of m_keys from firstKey.
    struct Section {
        Span name;
        bool named = false;
        std::size_t firstKey = 0;
        std::size_t keyCount = 0;
    };
    // Names are folded once, when the file is read: a SETUP.INI of tens of
    // thousands of components is looked up key by key, and a scan of the
    // section for each made that quadratic. The folded names are views into
    // one folded copy of the file; each index holds the first of a folded
    // name (the one the reader finds), and empty names are never found.
    struct KeyRef {
        std::size_t section;
        std::string_view folded;
        bool operator==(const KeyRef&) const = default;
    };
    struct KeyRefHash {
        std::size_t operator()(const KeyRef& k) const noexcept {
            return std::hash<std::string_view>()(k.folded) * 31 + k.section;
        }
    };
    std::string_view Text(Span s) const { return std::string_view(m_bytes).substr(s.at, s.size); }
    std::string_view FoldedText(Span s) const { return std::string_view(m_folded).substr(s.at, s.size); }
    void AddKey(const Key& k);
    const Section* FindSection(const std::string& name, bool trim) const;

    std::string m_bytes;
    std::string m_folded;  // m_bytes with the ASCII letters of its characters in one case
    std::vector<Section> m_sections;
    std::vector<Key> m_keys;
    std::unordered_map<std::string_view, std::size_t> m_sectionIndex;  // folded name: its first named section
    std::unordered_map<KeyRef, std::size_t, KeyRefHash> m_keyIndex;    // its first key
};

// The description SETUP.EXE takes from these bytes (code page 932).
Description ReadDescriptionFrom(const std::string& bytes);

}  // namespace setupini
