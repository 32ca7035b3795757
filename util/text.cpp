#include "util/text.h"

int ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
    if (from.empty()) return 0;
    std::string out;
    int count = 0;
    std::size_t i = 0;
    for (;;) {
        const std::size_t at = s.find(from, i);
        if (at == std::string::npos) break;
        out.append(s, i, at - i);
        out += to;
        i = at + from.size();
        ++count;
    }
    if (count) {
        out.append(s, i, std::string::npos);
        s.swap(out);
    }
    return count;
}

std::string UpperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}
