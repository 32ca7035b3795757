#include "util/long_path.h"

#include <windows.h>

namespace {

// The system code page both ways, as the ANSI file functions convert.
std::wstring FromAnsi(const std::string& path) {
    std::wstring wide;
    const int n = ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    if (n > 0) {
        wide.resize(static_cast<size_t>(n));
        ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
    }
    return wide;
}

std::string ToAnsi(const std::wstring& wide) {
    std::string out;
    const int n = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                        nullptr, nullptr);
    if (n > 0) {
        out.resize(static_cast<size_t>(n));
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                              nullptr);
    }
    return out;
}

}  // namespace

std::wstring ExtendedPath(const std::string& path) {
    std::wstring wide = FromAnsi(path);
    if (wide.rfind(L"\\\\?\\", 0) == 0) return wide;
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    const bool drive = wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\';
    const bool unc = wide.size() > 2 && wide[0] == L'\\' && wide[1] == L'\\';
    const std::size_t keep = drive ? 3 : 1;
    while (wide.size() > keep && wide.back() == L'\\') wide.pop_back();
    if (drive) return L"\\\\?\\" + wide;
    if (unc) return L"\\\\?\\UNC\\" + wide.substr(2);
    return wide;
}

std::string FullPath(const std::string& path) {
    const std::wstring wide = FromAnsi(path);
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0) return path;
        if (n < full.size()) {  // written, without its terminating zero
            full.resize(n);
            return ToAnsi(full);
        }
        full.resize(n);  // the size it needs, its zero included
    }
}
