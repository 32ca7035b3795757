// Code page 932 conversions on Windows: the system's converter for code page
// 932 named explicitly, with invalid input and best-fit refused.
#include <windows.h>

#include "platform/mbcs.h"
#include "platform/utf.h"
#include "platform/wide.h"

namespace mbcs {

namespace {
constexpr UINT kCp932 = 932;
}

bool Cp932ToUtf8(const std::string& cp932, std::string& out) {
    out.clear();
    if (cp932.empty()) return true;
    const int n = static_cast<int>(cp932.size());
    const int wn = ::MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, cp932.data(), n, nullptr, 0);
    if (wn <= 0) return false;
    std::wstring wide(static_cast<size_t>(wn), L'\0');
    if (::MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, cp932.data(), n, wide.data(), wn) != wn) return false;
    out = platform::Narrow(wide);
    return true;
}

bool Utf8ToCp932(const std::string& utf8, std::string& out) {
    out.clear();
    if (utf8.empty()) return true;
    bool valid = false;
    const std::u16string units = utf::ToUtf16(utf8, &valid);
    if (!valid) return false;
    const std::wstring wide(units.begin(), units.end());
    const int wn = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    const int n = ::WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(), wn, nullptr, 0, nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return false;
    out.resize(static_cast<size_t>(n));
    ::WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(), wn, out.data(), n, nullptr, &usedDefault);
    return !usedDefault;
}

}  // namespace mbcs
