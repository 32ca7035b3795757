#include "util/long_path.h"

#include <windows.h>

#include "platform/wide.h"

std::wstring ExtendedPath(const std::string& path) {
    std::wstring wide = platform::Wide(path);
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
    const std::wstring wide = platform::Wide(path);
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0) return path;
        if (n < full.size()) {  // written, without its terminating zero
            full.resize(n);
            return platform::Narrow(full);
        }
        full.resize(n);  // the size it needs, its zero included
    }
}
