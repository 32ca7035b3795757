#include "engine/pkg/entry_name.h"

#include <cstdint>
#include <vector>

#include "platform/mbcs.h"
#include "util/name_key.h"
#include "util/text.h"

namespace pkg {

namespace {

// The assigned double-byte characters of code page 932 that both Windows
// (MultiByteToWideChar with MB_ERR_INVALID_CHARS) and glibc's iconv
// convert: per lead byte, ranges of trail bytes. Lead bytes not listed
// (0x85, 0x86, 0xEB, 0xEC, 0xEF) have no characters.
struct TrailRange {
    unsigned char lead, first, last;
};
constexpr TrailRange kAssigned[] = {
    {0x81, 0x40, 0x7E}, {0x81, 0x80, 0xAC}, {0x81, 0xB8, 0xBF}, {0x81, 0xC8, 0xCE},
    {0x81, 0xDA, 0xE8}, {0x81, 0xF0, 0xF7}, {0x81, 0xFC, 0xFC},
    {0x82, 0x4F, 0x58}, {0x82, 0x60, 0x79}, {0x82, 0x81, 0x9A}, {0x82, 0x9F, 0xF1},
    {0x83, 0x40, 0x7E}, {0x83, 0x80, 0x96}, {0x83, 0x9F, 0xB6}, {0x83, 0xBF, 0xD6},
    {0x84, 0x40, 0x60}, {0x84, 0x70, 0x7E}, {0x84, 0x80, 0x91}, {0x84, 0x9F, 0xBE},
    {0x87, 0x40, 0x5D}, {0x87, 0x5F, 0x75}, {0x87, 0x7E, 0x7E}, {0x87, 0x80, 0x9C},
    {0x88, 0x9F, 0xFC},
    {0x98, 0x40, 0x72}, {0x98, 0x9F, 0xFC},
    {0xEA, 0x40, 0x7E}, {0xEA, 0x80, 0xA4},
    {0xEE, 0x40, 0x7E}, {0xEE, 0x80, 0xEC}, {0xEE, 0xEF, 0xFC},
    {0xFC, 0x40, 0x4B},
};

// Lead bytes whose every trail byte (0x40-0x7E, 0x80-0xFC) is a character:
// kanji rows, the NEC-selected and IBM extensions, the user-defined area.
bool IsFullRow(unsigned char lead) {
    return (lead >= 0x89 && lead <= 0x97) || (lead >= 0x99 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xE9) ||
           lead == 0xED || (lead >= 0xF0 && lead <= 0xFB);
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsValidCp932(const std::string& name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (mbcs::IsCp932LeadByte(c)) {
            if (i + 1 >= name.size() || !IsCp932Pair(c, static_cast<unsigned char>(name[i + 1]))) return false;
            ++i;
        } else if (c >= 0x80 && !(c >= 0xA1 && c <= 0xDF)) {
            return false;  // 0x80, 0xA0, 0xFD-0xFF: no character both sides agree on
        }
    }
    return true;
}

bool IsDeviceName(const std::string& component) {
    // The part before the first dot decides ("NUL.txt" is NUL); Windows also
    // ignores trailing blanks there.
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    base = UpperAscii(base);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$")
        return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '1' &&
           base[3] <= '9';
}

// Single-byte characters Windows refuses in a file name (':' and the
// separators are dealt with apart).
bool IsReservedChar(char c) {
    return c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*';
}

}  // namespace

std::vector<std::string> SplitEntryName(const std::string& name) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0, n; i < name.size(); i += n) {
        n = mbcs::Cp932CharLength(name, i);
        if (n == 1 && IsSeparator(name[i])) {
            parts.emplace_back();
        } else {
            parts.back().append(name, i, n);
        }
    }
    return parts;
}

bool IsCp932Pair(unsigned char lead, unsigned char trail) {
    if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return false;
    if (IsFullRow(lead)) return true;
    for (const TrailRange& r : kAssigned)
        if (r.lead == lead && trail >= r.first && trail <= r.last) return true;
    return false;
}

std::optional<FormatReason> EntryNameFault(const std::string& name) {
    if (!IsValidCp932(name)) return FormatReason::NameNotCp932;
    for (unsigned char c : name)
        if (c < 0x20) return FormatReason::NameControlByte;
    if (name.empty() || name.find(':') != std::string::npos) return FormatReason::UnsafeName;  // drive, stream
    const std::vector<std::string> parts = SplitEntryName(name);
    for (const std::string& part : parts)
        if (part.empty() || part == "." || part == "..") return FormatReason::UnsafeName;  // also leading '\', UNC
    if (parts.size() > kMaxNameComponents) return FormatReason::NameTooDeep;
    for (const std::string& part : parts) {
        for (std::size_t i = 0, n; i < part.size(); i += n) {
            n = mbcs::Cp932CharLength(part, i);
            if (n == 1 && IsReservedChar(part[i])) return FormatReason::NameReservedChar;
        }
        // The last byte is never the second of a double-byte character here:
        // no trail byte is a dot or a blank.
        if (part.back() == '.' || part.back() == ' ') return FormatReason::NameTrailingDot;
    }
    for (const std::string& part : parts)
        if (IsDeviceName(part)) return FormatReason::NameDevice;
    return std::nullopt;
}

std::optional<FormatReason> EntryNamePartFault(const std::string& part) {
    if (SplitEntryName(part).size() > 1) return FormatReason::UnsafeName;
    return EntryNameFault(part);
}

std::string EntryNameKey(const std::string& name) {
    // Two codes of one character (NEC's and IBM's) convert to one, and the
    // key folds letters as Windows does: the one rule for every name.
    std::string utf8;
    if (mbcs::Cp932ToUtf8(name, utf8)) return names::Key(utf8);
    return "\xFF" + name;  // no code page 932 text: a key no UTF-8 name has
}

std::optional<FormatReason> PlacementCheck::Add(const std::string& name) {
    const std::string key = EntryNameKey(name);
    const std::vector<std::string> folders = names::FolderKeysOf(key);
    for (const std::string& folder : folders)
        if (m_files.count(folder)) return FormatReason::PlacementConflict;
    if (m_folders.count(key)) return FormatReason::PlacementConflict;
    m_folders.insert(folders.begin(), folders.end());
    m_files.insert(key);
    return std::nullopt;
}

void PlacementCheck::Place(const std::string& name, uint64_t index, uint64_t end) {
    if (const auto fault = Add(name)) throw FormatError(*fault, 0, index, name, end);
}

}  // namespace pkg
