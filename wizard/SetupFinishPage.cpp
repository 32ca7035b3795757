#include "wizard/SetupFinishPage.h"

#include <string>

#include "app/SetupApp.h"
#include "platform/strings.h"
#include "res/resource.h"

CSetupFinishPage::CSetupFinishPage() : CSetupPage(IDD_FINISH, 0) {}

UINT CSetupFinishPage::OutcomeStringId(DWORD exitCode) {
    switch (exitCode) {
    case 0:
        return IDS_UPDATE_OK;
    case 16:
        return IDS_UPDATE_SKIPPED;
    default:
        return IDS_UPDATE_FAILED;
    }
}

BOOL CSetupFinishPage::OnSetActive() {
    PostWizardButtons(PSWIZB_FINISH);
    CSetupApp& app = GetApp();
    std::string text = platform::LoadResString(OutcomeStringId(app.m_nExitCode));
    app.ExpandMacros(text);
    ::SetDlgItemTextA(GetSafeHwnd(), IDC_TEXT1, text.c_str());
    return CSetupPage::OnSetActive();
}
