#pragma once
// The product's App Paths registry entry, written by a test and removed
// after it. Tests that use it carry the product_env resource lock.

#include <windows.h>

#include <string>

#include "platform/regkey.h"
#include "platform/wide.h"

namespace testsupport {

inline constexpr wchar_t kAppPathsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zomi7.EXE";

class AppPathsEntry {
public:
    AppPathsEntry() { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kAppPathsKey); }
    ~AppPathsEntry() { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kAppPathsKey); }
    AppPathsEntry(const AppPathsEntry&) = delete;
    AppPathsEntry& operator=(const AppPathsEntry&) = delete;

    // Sets the key's default value; false when the registry refused.
    bool Set(const std::string& value) {
        platform::RegKey key;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              key.out(), nullptr) != ERROR_SUCCESS)
            return false;
        const std::wstring data = platform::Wide(value);
        return ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
};

}  // namespace testsupport
