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

// A name with its letters in one case, for comparison: the ASCII letters
// alone (the full-width ones of code page 932 stay as they are).
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

ProfileFile::ProfileFile(const std::string& bytes) {
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
                s.name = bytes.substr(nb, ne - nb);
                s.named = true;
                if (!s.name.empty()) m_sectionIndex.emplace(Folded(s.name), m_sections.size());
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
        AddKey(std::move(k));
    }
}

void ProfileFile::AddKey(Key k) {
    Section& s = m_sections.back();
    if (!k.name.empty()) s.keyIndex.emplace(Folded(k.name), s.keys.size());
    s.keys.push_back(std::move(k));
}

const ProfileFile::Section* ProfileFile::FindSection(const std::string& name, bool trim) const {
    const std::string wanted = Folded(trim ? TrimmedCopy(name) : name);
    if (wanted.empty()) return &m_sections.front();  // the lines before the first section
    const auto at = m_sectionIndex.find(wanted);
    return at == m_sectionIndex.end() ? nullptr : &m_sections[at->second];
}

std::string ProfileFile::Get(const std::string& section, const std::string& key) const {
    const Section* s = FindSection(section, true);
    if (!s) return "";
    const auto at = s->keyIndex.find(Folded(TrimmedCopy(key)));
    if (at == s->keyIndex.end()) return "";
    const Key& k = s->keys[at->second];
    if (!k.hasValue) return "";
    const std::string& v = k.value;
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) return v.substr(1, v.size() - 2);
    return v;
}

std::string ProfileFile::KeyList(const std::string& section) const {
    std::string list;
    if (const Section* s = FindSection(section, false)) {
        for (const Key& k : s->keys) {
            if (!k.hasValue || k.name[0] == ';') continue;
            list += k.name;
            list += '\0';
            if (k.name.empty()) break;  // the list ends here for its reader
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
