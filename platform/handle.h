#pragma once
// Owning wrappers for Windows handles; NULL and INVALID_HANDLE_VALUE alike
// mean "none".

#include <windows.h>

#include <utility>

namespace platform {

inline bool IsValidHandle(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

// Kernel handles closed with CloseHandle (files, threads, snapshots, ...).
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : m_h(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& o) noexcept : m_h(std::exchange(o.m_h, nullptr)) {}
    Handle& operator=(Handle&& o) noexcept {
        if (this != &o) reset(std::exchange(o.m_h, nullptr));
        return *this;
    }
    ~Handle() { reset(); }

    HANDLE get() const { return m_h; }
    bool valid() const { return IsValidHandle(m_h); }
    explicit operator bool() const { return valid(); }
    HANDLE release() { return std::exchange(m_h, nullptr); }
    void reset(HANDLE h = nullptr) {
        if (IsValidHandle(m_h)) {
            DWORD err = ::GetLastError();
            ::CloseHandle(m_h);
            ::SetLastError(err);
        }
        m_h = h;
    }

private:
    HANDLE m_h = nullptr;
};

}  // namespace platform
