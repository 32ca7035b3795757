#include "util/registry.h"

#include <cstring>

#include "platform/regkey.h"

std::string ReadRegistryString(HKEY root, const std::string& subkey, const char* name,
                               const char* defaultText) {
    constexpr DWORD kBufferSize = 1024;
    platform::RegKey key;
    if (::RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.out()) == ERROR_SUCCESS) {
        char buffer[kBufferSize];
        DWORD size = kBufferSize;
        if (::RegQueryValueExA(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                               &size) == ERROR_SUCCESS) {
            // The data need not end in a NUL (a binary value, or a string
            // stored without one): never read past what was returned.
            if (size > kBufferSize) size = kBufferSize;
            return std::string(buffer, ::strnlen(buffer, size));
        }
    }
    return defaultText ? std::string(defaultText) : std::string();
}
