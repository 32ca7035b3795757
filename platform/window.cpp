#include "platform/window.h"

#include <vector>

namespace platform {

bool Window::Create(DWORD exStyle, const char* className, const char* text, DWORD style,
                    const RECT& rect, HWND parent, int id) {
    m_hWnd.reset(::CreateWindowExA(exStyle, className, text, style, rect.left, rect.top,
                                   rect.right - rect.left, rect.bottom - rect.top, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ::GetModuleHandleA(nullptr), nullptr));
    return m_hWnd.valid();
}

std::string GetWindowString(HWND hwnd) {
    int len = ::GetWindowTextLengthA(hwnd);
    if (len <= 0) return std::string();
    // The length may overstate (double-byte conversions); read what is there.
    std::vector<char> buf(static_cast<size_t>(len) + 1, '\0');
    int got = ::GetWindowTextA(hwnd, buf.data(), len + 1);
    return std::string(buf.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

RECT GetRectInParent(HWND hwnd) {
    RECT r = {};
    ::GetWindowRect(hwnd, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace platform
