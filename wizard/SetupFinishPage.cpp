#include "wizard/SetupFinishPage.h"

#include <string>

#include "app/SetupApp.h"
#include "engine/worker_outcome.h"
#include "platform/strings.h"
#include "platform/timing.h"
#include "platform/window.h"
#include "res/resource.h"

CSetupFinishPage::CSetupFinishPage() : CSetupPage(IDD_FINISH, 0) {}

UINT CSetupFinishPage::OutcomeStringId(DWORD exitCode) {
    switch (exitCode) {
    case worker::kUpdated:
        return IDS_UPDATE_OK;
    case worker::kUpToDate:
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
    platform::SetWindowString(GetDlgItem(IDC_TEXT1), text);
    if (app.m_options.mode == RunMode::Passive &&
        !SetTimer(kPassiveTimerId, platform::ScaledDuration(kPassiveFinishMs))) {
        // Without a timer the run would wait for a person: finish at once.
        ::PostMessageW(GetSheetWindow(), PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    }
    return CSetupPage::OnSetActive();
}

void CSetupFinishPage::OnTimer(UINT_PTR id) {
    if (id != kPassiveTimerId) return;
    KillTimer(id);
    ::PostMessageW(GetSheetWindow(), PSM_PRESSBUTTON, PSBTN_FINISH, 0);
}
