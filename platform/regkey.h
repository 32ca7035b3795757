#pragma once
// Owning wrapper for an open registry key (closed with RegCloseKey).

#include <windows.h>

#include <utility>

namespace platform {

class RegKey {
public:
    RegKey() = default;
    explicit RegKey(HKEY key) : m_key(key) {}
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& o) noexcept : m_key(std::exchange(o.m_key, nullptr)) {}
    RegKey& operator=(RegKey&& o) noexcept {
        if (this != &o) reset(std::exchange(o.m_key, nullptr));
        return *this;
    }
    ~RegKey() { reset(); }

    HKEY get() const { return m_key; }
    explicit operator bool() const { return m_key != nullptr; }
    // For RegOpenKeyExA / RegCreateKeyExA: closes any key held, then gives
    // the slot to fill.
    HKEY* out() {
        reset();
        return &m_key;
    }
    void reset(HKEY key = nullptr) {
        if (m_key) ::RegCloseKey(m_key);
        m_key = key;
    }

private:
    HKEY m_key = nullptr;
};

}  // namespace platform
