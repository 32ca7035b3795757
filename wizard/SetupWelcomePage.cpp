#include "wizard/SetupWelcomePage.h"

#include "app/SetupApp.h"
#include "res/resource.h"

CSetupWelcomePage::CSetupWelcomePage() : CSetupPage(IDD_WELCOME, 0) {}

BOOL CSetupWelcomePage::OnSetActive() {
    PostWizardButtons(PSWIZB_NEXT);
    // /passive moves on by itself; posted, so the page is shown first.
    if (GetApp().m_options.mode == RunMode::Passive)
        ::PostMessageW(GetSheetWindow(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    return CSetupPage::OnSetActive();
}
