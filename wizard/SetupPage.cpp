#include "wizard/SetupPage.h"

#include <string>

#include "app/SetupApp.h"
#include "platform/window.h"

BOOL CSetupPage::OnSetActive() {
    // Every non-empty text is written back, replaced or not; empty ones
    // (the progress page's cleared texts) stay as they are.
    for (HWND child = ::GetWindow(GetSafeHwnd(), GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        std::string text = platform::GetWindowString(child);
        if (text.empty()) continue;
        GetApp().ExpandMacros(text);
        ::SetWindowTextA(child, text.c_str());
    }
    return platform::PropertyPage::OnSetActive();
}

void CSetupPage::PostWizardButtons(DWORD flags) {
    ::PostMessageA(GetSheetWindow(), PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags));
}
