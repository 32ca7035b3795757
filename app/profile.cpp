#include "app/profile.h"

#include "platform/mbcs.h"

namespace setupini {

namespace {

std::size_t Width(const std::string& s, std::size_t i) { return mbcs::Cp932CharLength(s, i); }

// Blank at i (a character start): what the reader drops around lines, names
// and values.
std::size_t BlankWidth(const std::string& s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A ? 1 : 0;
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

// A text with the ASCII letters of its characters in one case, for
// comparison (the full-width ones of code page 932 stay as they are). The
// same length as the text, and, for the whole file, the same character by
// character as each name folded alone: a name begins where a character
// begins, since a line begins after a CR or LF, which no character holds
// but as its last byte.
std::string Folded(const std::string& s) {
    std::string out = s;
    for (std::size_t i = 0; i < out.size(); i += Width(out, i)) {
        if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] + 32);
    }
    return out;
}

std::string TrimmedCopy(const std::string& s) {
    std::size_t b = 0, e = s.size();
    Trim(s, b, e);
    return s.substr(b, e - b);
}

}  // namespace

ProfileFile::ProfileFile(const std::string& input) : m_bytes(input), m_folded(Folded(input)) {
    const std::string& bytes = m_bytes;
    m_sections.push_back(Section{});  // the lines before the first section
    std::size_t next = 0;
    while (next < bytes.size()) {
        const std::size_t start = next;
        const std::size_t nl = bytes.find_first_of("\r\n", start);
        next = nl == std::string::npos ? bytes.size() : nl + 1;
        std::size_t b = start, e = next;
        Trim(bytes, b, e);
        if (b >= e) continue;
        if (bytes[b] == '[') {
            const std::size_t close = FindChar(bytes, b, e, ']', true);
            if (close != std::string::npos) {
                Section s;
                std::size_t nb = b + 1, ne = close;
                Trim(bytes, nb, ne);
                s.name = Span{nb, ne - nb};
                s.named = true;
                s.firstKey = m_keys.size();
                if (s.name.size) m_sectionIndex.emplace(FoldedText(s.name), m_sections.size());
                m_sections.push_back(s);
                continue;
            }
        }
        Key k;
        const std::size_t eq = FindChar(bytes, b, e, '=', false);
        if (eq != std::string::npos) {
            std::size_t nb = b, ne = eq;
            Trim(bytes, nb, ne);
            k.name = Span{nb, ne - nb};
            std::size_t vb = eq + 1, ve = e;
            Trim(bytes, vb, ve);
            k.value = Span{vb, ve - vb};
            k.hasValue = true;
        } else {
            k.name = Span{b, e - b};
        }
        AddKey(k);
    }
}

void ProfileFile::AddKey(const Key& k) {
    Section& s = m_sections.back();
    if (k.name.size) m_keyIndex.emplace(KeyRef{m_sections.size() - 1, FoldedText(k.name)}, m_keys.size());
    m_keys.push_back(k);
    ++s.keyCount;
}

const ProfileFile::Section* ProfileFile::FindSection(const std::string& name, bool trim) const {
    const std::string wanted = setupini::Folded(trim ? TrimmedCopy(name) : name);
    if (wanted.empty()) return &m_sections.front();  // the lines before the first section
    const auto at = m_sectionIndex.find(wanted);
    return at == m_sectionIndex.end() ? nullptr : &m_sections[at->second];
}

std::string ProfileFile::Get(const std::string& section, const std::string& key) const {
    const Section* s = FindSection(section, true);
    if (!s) return "";
    const std::string wanted = setupini::Folded(TrimmedCopy(key));
    const auto at = m_keyIndex.find(KeyRef{static_cast<std::size_t>(s - m_sections.data()), wanted});
    if (at == m_keyIndex.end()) return "";
    const Key& k = m_keys[at->second];
    if (!k.hasValue) return "";
    const std::string_view v = Text(k.value);
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) return std::string(v.substr(1, v.size() - 2));
    return std::string(v);
}

std::string ProfileFile::KeyList(const std::string& section) const {
    std::string list;
    if (const Section* s = FindSection(section, false)) {
        for (std::size_t i = s->firstKey; i < s->firstKey + s->keyCount; ++i) {
            const Key& k = m_keys[i];
            const std::string_view name = Text(k.name);
            if (!k.hasValue || (!name.empty() && name[0] == ';')) continue;
            list += name;
            list += '\0';
            if (name.empty()) break;  // the list ends here for its reader
        }
    }
    list += '\0';
    return list;
}

Description ReadDescriptionFrom(const std::string& bytes) {
    const ProfileFile file(bytes);
    return ReadDescription(
        [&file](const char* section, const char* key) { return key ? file.Get(section, key) : file.KeyList(section); });
}

}  // namespace setupini
