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
    // Straight into out, grown as needed: a few calls for the whole text
    // (the sanitizers look at a call's whole input each time).
    bool Convert(const std::string& text, std::string& out) {
        out.clear();
        if (!Usable()) return false;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state
        char* in = const_cast<char*>(text.data());
        std::size_t inLeft = text.size();
        out.resize(text.size() + 16);
        std::size_t used = 0;
        for (bool ended = false; !ended;) {
            char* dst = out.data() + used;
            std::size_t dstLeft = out.size() - used;
            // After the last input, once more without any, to end the shift state.
            const bool last = inLeft == 0;
            const std::size_t r =
                last ? iconv(m_cd, nullptr, nullptr, &dst, &dstLeft) : iconv(m_cd, &in, &inLeft, &dst, &dstLeft);
            used = static_cast<std::size_t>(dst - out.data());
            if (r != static_cast<std::size_t>(-1)) {
                ended = last;
            } else if (errno == E2BIG) {
                out.resize(out.size() * 2);
            } else {
                out.resize(used);  // what was converted before the fault
                return false;
            }
        }
        out.resize(used);
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
