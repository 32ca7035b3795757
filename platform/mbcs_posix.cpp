// Code page 932 conversions off Windows: glibc's iconv, whose CP932 agrees
// with Windows' on every character the package name rule lets through.
#include <errno.h>
#include <iconv.h>

#include "platform/mbcs.h"

namespace mbcs {

namespace {

// One iconv conversion descriptor, closed with iconv_close.
class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Iconv() {
        if (Usable()) iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // False when the text holds a character without a form in the target
    // (or is not valid in the source encoding).
    bool Convert(const std::string& text, std::string& out) {
        out.clear();
        if (!Usable()) return false;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state
        char* in = const_cast<char*>(text.data());
        std::size_t inLeft = text.size();
        char buffer[256];
        while (inLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t r = iconv(m_cd, &in, &inLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
        }
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        if (iconv(m_cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<std::size_t>(-1)) return false;
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        return true;
    }

private:
    bool Usable() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t m_cd;
};

}  // namespace

// A descriptor per thread: updpkg converts on several at once.
bool Cp932ToUtf8(const std::string& cp932, std::string& out) {
    thread_local Iconv cd("UTF-8", "CP932");
    return cd.Convert(cp932, out);
}

bool Utf8ToCp932(const std::string& utf8, std::string& out) {
    thread_local Iconv cd("CP932", "UTF-8");
    return cd.Convert(utf8, out);
}

}  // namespace mbcs
