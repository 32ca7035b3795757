#include "wizard/SetupMovingPage.h"

#include "app/SetupApp.h"
#include "engine/worker_outcome.h"
#include "platform/strings.h"
#include "platform/window.h"
#include "res/resource.h"

CSetupMovingPage::CSetupMovingPage() : CSetupPage(IDD_MOVING, 0) {}

BOOL CSetupMovingPage::OnSetActive() {
    PostWizardButtons(0);
    ::EnableWindow(::GetDlgItem(GetSheetWindow(), IDCANCEL), FALSE);
    platform::SetWindowString(GetDlgItem(IDC_TEXT1), "");
    platform::SetWindowString(GetDlgItem(IDC_TEXT2), "");
    // A worker that never started must not end in the success text (exit
    // code 0 from start-up): record a failure for the last page.
    if (!GetWorkerLink().Start()) GetApp().m_nExitCode = worker::kFailed;
    m_bActive = true;
    StartTicks();
    return CSetupPage::OnSetActive();
}

void CSetupMovingPage::StartTicks() {
    m_nTimer = SetTimer(kTimerId, kTimerMs);
    if (m_nTimer == 0 && !m_bFallbackTicks) {
        // Without ticks the page would never move on.
        m_bFallbackTicks = true;
        ::PostMessageW(GetSafeHwnd(), kFallbackTick, 0, 0);
    }
}

BOOL CSetupMovingPage::OnKillActive() {
    m_bActive = false;
    KillTimer(m_nTimer);
    return CSetupPage::OnKillActive();
}

bool CSetupMovingPage::OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
    if (msg != kFallbackTick) return false;
    m_bFallbackTicks = false;
    result = 0;
    if (!m_bActive) return true;
    OnTimer(kTimerId);
    // Still here: try the timer again, else post the next tick.
    if (m_bActive) StartTicks();
    return true;
}

std::string CSetupMovingPage::LowerText(const PROGRESSSNAPSHOT& snapshot) {
    switch (snapshot.nStage) {
    case worker::kNotStarted:
    case worker::kCheck:
    case worker::kExtract:
    case worker::kList:
        return platform::LoadResString(IDS_PREPARING);
    case worker::kInstall:
        if (snapshot.bRollingBack) return platform::LoadResString(IDS_ROLLING_BACK);
        return platform::FormatOneString(platform::LoadResString(IDS_COPYING), snapshot.strFile);
    default:
        return std::string();
    }
}

void CSetupMovingPage::OnTimer(UINT_PTR) {
    PROGRESSSNAPSHOT snapshot;
    if (!GetWorkerLink().Poll(snapshot)) {
        // The worker has ended: on to the last page, whose activation ends
        // this page's ticks.
        ::SendMessageW(GetSheetWindow(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        return;
    }
    if (snapshot.nStage == worker::kExtract || snapshot.nStage == worker::kInstall) {
        // The bar's range is 16 bits wide: only the low half of nMax.
        HWND bar = GetDlgItem(IDC_PROGRESS1);
        ::SendMessageW(bar, PBM_SETRANGE, 0,
                       MAKELPARAM(0, LOWORD(static_cast<DWORD>(snapshot.nMax))));
        ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(snapshot.nPos), 0);
    }
    SetTextIfChanged(IDC_TEXT1, std::string());
    SetTextIfChanged(IDC_TEXT2, LowerText(snapshot));
}

void CSetupMovingPage::SetTextIfChanged(int id, const std::string& text) {
    HWND control = GetDlgItem(id);
    if (platform::GetWindowString(control) != text) platform::SetWindowString(control, text);
}
