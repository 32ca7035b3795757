#pragma once
// Owning wrapper for a GDI bitmap handle.

#include <windows.h>

#include <utility>

namespace platform {

class Bitmap {
public:
    Bitmap() = default;
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
    ~Bitmap() { Reset(); }

    // Takes ownership of h, deleting the bitmap held before.
    void Attach(HBITMAP h) {
        Reset();
        m_h = h;
    }
    HBITMAP Get() const { return m_h; }
    // Gives the handle up to the caller.
    HBITMAP Release() { return std::exchange(m_h, nullptr); }
    void Reset() {
        if (m_h) ::DeleteObject(m_h);
        m_h = nullptr;
    }

private:
    HBITMAP m_h = nullptr;
};

}  // namespace platform
