#pragma once
// The product's App Paths registry entry, written by a test and removed
// after it. Tests that use it carry the product_env resource lock.

#include <windows.h>

#include <string>

#include "platform/regkey.h"

namespace testsupport {

inline constexpr char kAppPathsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zomi7.EXE";

class AppPathsEntry {
public:
    AppPathsEntry() { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kAppPathsKey); }
    ~AppPathsEntry() { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kAppPathsKey); }
    AppPathsEntry(const AppPathsEntry&) = delete;
    AppPathsEntry& operator=(const AppPathsEntry&) = delete;

    // Sets the key's default value; false when the registry refused.
    bool Set(const std::string& value) {
        platform::RegKey key;
        if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              key.out(), nullptr) != ERROR_SUCCESS)
            return false;
        return ::RegSetValueExA(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    }
};

}  // namespace testsupport
