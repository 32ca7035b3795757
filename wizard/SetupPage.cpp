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
        platform::SetWindowString(child, text);
    }
    return platform::PropertyPage::OnSetActive();
}

void CSetupPage::PostWizardButtons(DWORD flags) {
    HWND sheet = GetSheetWindow();
    ::PostMessageW(sheet, PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags));
    // Enter presses the button the page offers. The sheet swaps Finish in
    // for Next but leaves the focus on the hidden Next, where Enter does
    // nothing; so the focus goes to the offered button once the request
    // above has shown it (posted after it, so handled after it).
    const int offered = (flags & PSWIZB_FINISH) ? platform::kIdWizFinish
                        : (flags & PSWIZB_NEXT) ? platform::kIdWizNext
                                                : 0;
    if (offered)
        ::PostMessageW(sheet, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(sheet, offered)),
                       TRUE);
}
