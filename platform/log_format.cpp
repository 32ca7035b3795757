#include "platform/log_format.h"

#include <cstdio>

namespace logfmt {

std::string FormatStamp(const Stamp& t) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
    return buf;
}

std::string FormatLines(const Stamp& t, const std::string& text) {
    const std::string stamp = FormatStamp(t);
    std::string out;
    size_t start = 0;
    bool first = true;
    for (;;) {
        size_t end = text.find_first_of("\r\n", start);
        const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        out += stamp;
        out += first ? " " : " | ";
        out += line;
        out += "\r\n";
        first = false;
        if (end == std::string::npos) break;
        // "\r\n" is one break.
        start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
        if (start >= text.size()) break;
    }
    return out;
}

std::string BoxRecord(const std::string& text, unsigned style) {
    char head[24];
    std::snprintf(head, sizeof head, "box 0x%02X: ", style);
    return head + text;
}

std::string AnswerRecord(int answer, bool automatic) {
    const char* name;
    switch (answer) {
    case 1: name = "OK"; break;
    case 2: name = "Cancel"; break;
    case 4: name = "Retry"; break;
    case 6: name = "Yes"; break;
    case 7: name = "No"; break;
    default: name = nullptr; break;
    }
    std::string out = "answer: ";
    out += name ? name : std::to_string(answer);
    if (automatic) out += " (automatic)";
    return out;
}

}  // namespace logfmt
