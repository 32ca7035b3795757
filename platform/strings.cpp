#include "platform/strings.h"

#include <windows.h>

#include <vector>

namespace platform {

std::string LoadResString(unsigned id) {
    // LoadStringW with a zero length hands out a pointer to the resource text
    // itself, so any length is read whole; then convert to the ANSI code page.
    const wchar_t* text = nullptr;
    int len = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (len <= 0 || !text) return std::string();
    int bytes = ::WideCharToMultiByte(CP_ACP, 0, text, len, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string out(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, len, out.data(), bytes, nullptr, nullptr);
    return out;
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
