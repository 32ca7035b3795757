#include "util/registry.h"

#include <cwchar>

#include "platform/regkey.h"
#include "platform/wide.h"

std::string ReadRegistryString(HKEY root, const std::string& subkey, const char* name,
                               const char* defaultText) {
    // 1024 characters: every folder a registry value names fits.
    constexpr DWORD kBufferChars = 1024;
    platform::RegKey key;
    if (::RegOpenKeyExW(root, platform::Wide(subkey).c_str(), 0, KEY_READ, key.out()) == ERROR_SUCCESS) {
        wchar_t buffer[kBufferChars];
        DWORD size = sizeof buffer;
        const std::wstring valueName = name ? platform::Wide(name) : std::wstring();
        if (::RegQueryValueExW(key.get(), name ? valueName.c_str() : nullptr, nullptr, nullptr,
                               reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS) {
            // The data need not end in a NUL (a binary value, or a string
            // stored without one): never read past what was returned.
            const std::size_t chars = size > sizeof buffer ? kBufferChars : size / sizeof(wchar_t);
            return platform::Narrow(std::wstring_view(buffer, ::wcsnlen(buffer, chars)));
        }
    }
    return defaultText ? std::string(defaultText) : std::string();
}
