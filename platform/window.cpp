#include "platform/window.h"

#include <vector>

#include "platform/wide.h"

namespace platform {

bool Window::Create(DWORD exStyle, const wchar_t* className, const std::string& text, DWORD style,
                    const RECT& rect, HWND parent, int id) {
    m_hWnd.reset(::CreateWindowExW(exStyle, className, Wide(text).c_str(), style, rect.left, rect.top,
                                   rect.right - rect.left, rect.bottom - rect.top, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ::GetModuleHandleW(nullptr), nullptr));
    return m_hWnd.valid();
}

std::string GetWindowString(HWND hwnd) {
    const int len = ::GetWindowTextLengthW(hwnd);
    if (len <= 0) return std::string();
    std::vector<wchar_t> buf(static_cast<size_t>(len) + 1, L'\0');
    const int got = ::GetWindowTextW(hwnd, buf.data(), len + 1);
    return Narrow(std::wstring_view(buf.data(), got > 0 ? static_cast<size_t>(got) : 0));
}

bool SetWindowString(HWND hwnd, const std::string& text) {
    return ::SetWindowTextW(hwnd, Wide(text).c_str()) != FALSE;
}

RECT GetRectInParent(HWND hwnd) {
    RECT r = {};
    ::GetWindowRect(hwnd, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace platform
