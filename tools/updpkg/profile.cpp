#include "tools/updpkg/profile.h"

#include "platform/mbcs.h"

namespace updpkg {

namespace {

// Width of the character at i: 2 for a lead byte with a byte after it.
std::size_t Width(const std::string& s, std::size_t i) {
    return mbcs::IsCp932LeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

// Blank at i (a character start): what the reader drops around lines, names
// and values.
std::size_t BlankWidth(const std::string& s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A) return 1;
    if (c == 0x81 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x40) return 2;
    return 0;
}

// s[begin, end) without the blanks at both ends (character-aware).
void Trim(const std::string& s, std::size_t& begin, std::size_t& end) {
    std::size_t i = begin;
    while (i < end) {
        const std::size_t w = BlankWidth(s, i);
        if (!w) break;
        i += w;
    }
    begin = i;
    std::size_t lastEnd = begin;
    while (i < end) {
        const std::size_t blank = BlankWidth(s, i);
        const std::size_t w = blank ? blank : Width(s, i);
        if (!blank) lastEnd = i + w;
        i += w;
    }
    end = lastEnd < end ? lastEnd : end;
}

// First (or last) ch that begins a character in s[begin, end); npos if none.
std::size_t FindChar(const std::string& s, std::size_t begin, std::size_t end, char ch, bool last) {
    std::size_t found = std::string::npos;
    for (std::size_t i = begin; i < end; i += Width(s, i)) {
        if (s[i] == ch) {
            found = i;
            if (!last) break;
        }
    }
    return found;
}

// A name with its letters in one case, for comparison.
std::string Folded(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (Width(s, i) == 1) {
            out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
            ++i;
            continue;
        }
        unsigned code = c << 8 | static_cast<unsigned char>(s[i + 1]);
        if (code >= 0x8260 && code <= 0x8279) code += 0x21;  // full-width A-Z
        else if (code >= 0x839F && code <= 0x83B6) code += 0x20;  // Greek
        else if (code >= 0x8440 && code <= 0x844E) code += 0x30;  // Cyrillic, before 84 7F
        else if (code >= 0x844F && code <= 0x8460) code += 0x31;  // 84 7F is no character
        out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
        i += 2;
    }
    return out;
}

std::string TrimmedCopy(const std::string& s) {
    std::size_t b = 0, e = s.size();
    Trim(s, b, e);
    return s.substr(b, e - b);
}

bool SameName(const std::string& stored, const std::string& foldedWanted) {
    return !stored.empty() && Folded(stored) == foldedWanted;
}

}  // namespace

ProfileFile::ProfileFile(const std::string& bytes) {
    m_sections.push_back(Section{});  // the lines before the first section
    std::size_t next = 0;
    while (next < bytes.size()) {
        const std::size_t start = next;
        std::size_t nl = bytes.find('\n', start);
        if (nl == std::string::npos) nl = bytes.find('\r', start);
        next = nl == std::string::npos ? bytes.size() : nl + 1;
        std::size_t b = start, e = next;
        Trim(bytes, b, e);
        if (b >= e) continue;
        if (bytes[b] == '[') {
            const std::size_t close = FindChar(bytes, b, e, ']', true);
            if (close != std::string::npos) {
                Section s;
                s.name = bytes.substr(b + 1, close - b - 1);
                s.named = true;
                m_sections.push_back(std::move(s));
                continue;
            }
        }
        Key k;
        const std::size_t eq = FindChar(bytes, b, e, '=', false);
        if (eq != std::string::npos) {
            std::size_t nb = b, ne = eq;
            Trim(bytes, nb, ne);
            k.name = bytes.substr(nb, ne - nb);
            std::size_t vb = eq + 1, ve = e;
            Trim(bytes, vb, ve);
            k.value = bytes.substr(vb, ve - vb);
            k.hasValue = true;
        } else {
            k.name = bytes.substr(b, e - b);
        }
        // Of several lines in a row with no name, only the first is kept.
        std::vector<Key>& keys = m_sections.back().keys;
        if (!k.name.empty() || keys.empty() || !keys.back().name.empty()) keys.push_back(std::move(k));
    }
}

const ProfileFile::Section* ProfileFile::FindSection(const std::string& name) const {
    const std::string wanted = Folded(TrimmedCopy(name));
    for (const Section& s : m_sections) {
        if (s.named && SameName(s.name, wanted)) return &s;
    }
    return nullptr;
}

std::string ProfileFile::Get(const std::string& section, const std::string& key) const {
    const Section* s = FindSection(section);
    if (!s) return "";
    const std::string wanted = Folded(TrimmedCopy(key));
    for (const Key& k : s->keys) {
        if (!SameName(k.name, wanted)) continue;
        if (!k.hasValue) return "";
        const std::string& v = k.value;
        if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) return v.substr(1, v.size() - 2);
        return v;
    }
    return "";
}

std::string ProfileFile::KeyList(const std::string& section) const {
    std::string list;
    if (const Section* s = FindSection(section)) {
        for (const Key& k : s->keys) {
            if (k.name.empty() && !k.hasValue) continue;
            if (!k.name.empty() && k.name[0] == ';') continue;
            list += k.name;
            list += '\0';
        }
    }
    list += '\0';
    return list;
}

}  // namespace updpkg
