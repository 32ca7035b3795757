#include "platform/utf.h"

namespace utf {

namespace {

void Append(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

// The code point at text[i] and its length in bytes; length 0 when no
// well-formed sequence begins there.
char32_t Decode(std::string_view text, std::size_t i, std::size_t& length) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t n;
    char32_t cp;
    if (c < 0x80) {
        length = 1;
        return c;
    } else if (c >= 0xC2 && c <= 0xDF) {
        n = 1, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 2, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 3, cp = c & 0x07;
    } else {
        length = 0;
        return 0;
    }
    if (n > text.size() - i - 1) {
        length = 0;
        return 0;
    }
    for (std::size_t k = 1; k <= n; ++k) {
        const unsigned char t = static_cast<unsigned char>(text[i + k]);
        if ((t & 0xC0) != 0x80) {
            length = 0;
            return 0;
        }
        cp = cp << 6 | (t & 0x3F);
    }
    // Shortest forms only; surrogates are allowed (lone ones, see above).
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF))) {
        length = 0;
        return 0;
    }
    length = n + 1;
    return cp;
}

}  // namespace

std::string FromUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3 / 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        Append(out, cp);
    }
    return out;
}

std::u16string ToUtf16(std::string_view text, bool* valid) {
    std::u16string out;
    out.reserve(text.size());
    bool ok = true;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 0;
        char32_t cp = Decode(text, i, length);
        if (length == 0) {
            ok = false;
            cp = kReplacement;
            length = 1;
        }
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += length;
    }
    if (valid) *valid = ok;
    return out;
}

bool IsValid(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 0;
        Decode(text, i, length);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

}  // namespace utf
