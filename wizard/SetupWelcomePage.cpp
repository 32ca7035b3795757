#include "wizard/SetupWelcomePage.h"

#include "res/resource.h"

CSetupWelcomePage::CSetupWelcomePage() : CSetupPage(IDD_WELCOME, 0) {}

BOOL CSetupWelcomePage::OnSetActive() {
    PostWizardButtons(PSWIZB_NEXT);
    return CSetupPage::OnSetActive();
}
