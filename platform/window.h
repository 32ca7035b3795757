#pragma once
// A plain child window that the program creates itself (a static control,
// say) and owns: destroyed with the object. Also the window-text helpers,
// in UTF-8.

#include <windows.h>

#include <string>

#include "platform/handle.h"

namespace platform {

// A window the program created, destroyed with DestroyWindow.
struct WindowTraits : NullIsNone<HWND> {
    static void Close(HWND h) { ::DestroyWindow(h); }
};
using WindowHandle = Owned<WindowTraits>;

class Window {
public:
    // CreateWindowExW; false (last error intact) when the system refuses.
    bool Create(DWORD exStyle, const wchar_t* className, const std::string& text, DWORD style,
                const RECT& rect, HWND parent, int id);
    HWND GetSafeHwnd() const { return m_hWnd.get(); }

private:
    WindowHandle m_hWnd;
};

// The whole window text ("" when there is none or the window is gone).
std::string GetWindowString(HWND hwnd);
// Sets it; false when the window refuses.
bool SetWindowString(HWND hwnd, const std::string& text);

// A window's rectangle in its parent's client coordinates.
RECT GetRectInParent(HWND hwnd);

}  // namespace platform
