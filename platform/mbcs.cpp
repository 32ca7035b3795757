#include "platform/mbcs.h"

namespace mbcs {

bool IsCp932LeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

std::size_t Cp932CharLength(const std::string& s, std::size_t i) {
    return IsCp932LeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

// Start of the character after the one at i (a lead byte at the very end of
// the text counts as a character of its own).
static std::size_t Next(const std::string& s, std::size_t i) {
    if (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) return i + 2;
    return i + 1;
}

std::size_t Find(const std::string& s, char ch, std::size_t start) {
    for (std::size_t i = 0; i < s.size(); i = Next(s, i)) {
        if (i >= start && s[i] == ch) return i;
    }
    return npos;
}

std::size_t ReverseFind(const std::string& s, char ch) {
    std::size_t found = npos;
    for (std::size_t i = 0; i < s.size(); i = Next(s, i)) {
        if (s[i] == ch) found = i;
    }
    return found;
}

std::size_t FindSubstr(const std::string& s, const std::string& sub, std::size_t start) {
    if (sub.empty()) return npos;
    for (std::size_t i = 0; i < s.size(); i = Next(s, i)) {
        if (i >= start && s.compare(i, sub.size(), sub) == 0) return i;
    }
    return npos;
}

int ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
    if (from.empty()) return 0;
    std::string out;
    int count = 0;
    std::size_t i = 0;
    while (i < s.size()) {
        if (s.compare(i, from.size(), from) == 0) {
            out += to;
            i += from.size();
            ++count;
        } else {
            std::size_t next = Next(s, i);
            out.append(s, i, next - i);
            i = next;
        }
    }
    if (count) s.swap(out);
    return count;
}

void MakeUpper(std::string& s) {
    for (std::size_t i = 0; i < s.size(); i = Next(s, i)) {
        char& c = s[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
}

}  // namespace mbcs
