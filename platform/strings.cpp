#include "platform/strings.h"

#include <windows.h>

#include "platform/wide.h"

namespace platform {

std::string LoadResString(unsigned id) {
    // LoadStringW with a zero length hands out a pointer to the resource text
    // itself, so any length is read whole.
    const wchar_t* text = nullptr;
    const int len = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (len <= 0 || !text) return std::string();
    return Narrow(std::wstring_view(text, static_cast<size_t>(len)));
}

std::string FormatOneString(const std::string& format, const std::string& arg) {
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == 's') { out += arg; ++i; continue; }
            if (format[i + 1] == '%') { out += '%'; ++i; continue; }
        }
        out += format[i];
    }
    return out;
}

}  // namespace platform
