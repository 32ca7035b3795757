#include "util/path.h"

#include <climits>


bool EndsWithBackslash(const std::string& s) {
    return !s.empty() && s.back() == '\\';
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    std::string out = folder;
    if (!EndsWithBackslash(out)) out += '\\';
    out += name;
    return out;
}

int SplitString(const std::string& text, char separator, std::list<std::string>& list) {
    if (separator == '\0') {
        std::size_t i = 0;
        while (i < text.size() && text[i] != '\0') {
            std::size_t end = text.find('\0', i);
            if (end == std::string::npos) end = text.size();
            list.push_back(text.substr(i, end - i));
            i = end + 1;
        }
        return static_cast<int>(list.size());
    }
    list.clear();
    std::size_t start = 0;
    for (;;) {
        std::size_t pos = text.find(separator, start);
        if (pos == std::string::npos) break;
        list.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
    if (start < text.size()) list.push_back(text.substr(start));
    return static_cast<int>(list.size());
}

std::string PathBeforeLastBackslash(const std::string& path) {
    std::size_t pos = path.rfind('\\');
    return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

int ParseLeadingInt(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r' ||
                            s[i] == '\v' || s[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    long long value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        value = value * 10 + (s[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int>(value);
}
