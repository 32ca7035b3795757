#include "tools/updpkg/setup_ini.h"

#include <cstdint>

#include "platform/mbcs.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/names.h"
#include "app/profile.h"

namespace updpkg {

namespace {

// Well-formed UTF-8 (shortest forms, no surrogates, up to U+10FFFF).
bool IsUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n;
        uint32_t cp;
        if (c < 0x80) n = 0, cp = c;
        else if (c >= 0xC2 && c <= 0xDF) n = 1, cp = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF) n = 2, cp = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4) n = 3, cp = c & 0x07;
        else return false;
        if (n > s.size() - i - 1) return false;
        for (std::size_t k = 1; k <= n; ++k) {
            const unsigned char t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = cp << 6 | (t & 0x3F);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += n + 1;
    }
    return true;
}

}  // namespace

setupini::Description DescribeSetupIni(const std::string& bytes) { return setupini::ReadDescriptionFrom(bytes); }

std::vector<std::string> ExplainedFaults(const setupini::Description& d) {
    std::vector<std::string> out = setupini::FaultLines(d.faults);
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = DisplayName(out[i]);
        if (i < d.reasons.size()) out[i] += ": " + DisplayName(d.reasons[i]);
    }
    return out;
}

bool HasUtf8Mark(const std::string& bytes) { return bytes.compare(0, 3, "\xEF\xBB\xBF") == 0; }

std::string MediumSetupIni(const std::string& bytes, const std::string& path) {
    std::string text = HasUtf8Mark(bytes) ? bytes.substr(3) : bytes;
    // Text that is valid UTF-8 is taken as UTF-8: Japanese code page 932
    // text almost never is.
    std::string cp932, unused;
    if (IsUtf8(text)) {
        if (!mbcs::Utf8ToCp932(text, cp932)) {
            throw FileError("'" + path + "': a character of this UTF-8 text has no code page 932 form");
        }
    } else if (!HasUtf8Mark(bytes) && mbcs::Cp932ToUtf8(text, unused)) {
        cp932 = text;
    } else {
        throw FileError("'" + path + "': neither UTF-8 nor code page 932");
    }
    std::string out;
    out.reserve(cp932.size() + cp932.size() / 16);
    for (std::size_t i = 0; i < cp932.size(); ++i) {
        const char c = cp932[i];
        if (c == '\r' || c == '\n') {
            out += "\r\n";
            if (c == '\r' && i + 1 < cp932.size() && cp932[i + 1] == '\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace updpkg
