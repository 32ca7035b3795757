#pragma once
// A plain child window that the program creates itself (a static control,
// say) and owns: destroyed with the object. Also the window-text helpers
// in the system's multi-byte code page.

#include <windows.h>

#include <string>

namespace platform {

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    ~Window() { Destroy(); }

    // CreateWindowExA; false (last error intact) when the system refuses.
    bool Create(DWORD exStyle, const char* className, const char* text, DWORD style,
                const RECT& rect, HWND parent, int id);
    void Destroy();
    HWND GetSafeHwnd() const { return m_hWnd; }

private:
    HWND m_hWnd = nullptr;
};

// The whole window text ("" when there is none or the window is gone).
std::string GetWindowString(HWND hwnd);

// A window's rectangle in its parent's client coordinates.
RECT GetRectInParent(HWND hwnd);

}  // namespace platform
