#include "wizard/SetupSheet.h"

#include "platform/prompt.h"
#include "res/resource.h"
#include "wizard/Banner.h"

CSetupSheet::CSetupSheet(UINT captionId, HWND parent, UINT startPage)
    : platform::PropertySheet(captionId, parent, startPage) {
    // Plain wizard mode: the banner is our own, not a Wizard97 header. The
    // application routes the Help command, so the sheet has help: that is
    // what makes the common controls lay the Help button out at the right
    // end of the row, the place Cancel then slides into.
    Flags() |= PSH_WIZARD | PSH_HASHELP;
    AddPage(&m_pageWelcome);
    AddPage(&m_pageMoving);
    AddPage(&m_pageFinish);
}

int CSetupSheet::OnCreate() {
    // The worker's message boxes and folder dialog are owned by the wizard.
    platform::SetMainWindow(GetSafeHwnd());
    m_bmpBanner.reset(::LoadBitmapW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_BANNER)));
    BANNERWINDOWS banner = BuildBanner(GetSafeHwnd(), m_bmpBanner.get(), m_bmpBannerShown);
    m_pBanner = std::move(banner.pPicture);
    m_pBannerLine = std::move(banner.pLine);
    return 0;
}

INT_PTR CSetupSheet::OnInitDialog(INT_PTR defaultResult) {
    SlideButtonRow(GetSafeHwnd());
    // The common controls size the sheet to its pages only now, a few
    // pixels off the width it was created with (more at larger scales):
    // the banner is fitted to the final width.
    FitSheetBanner();
    return defaultResult;
}

void CSetupSheet::OnDpiChanged() { FitSheetBanner(); }

void CSetupSheet::FitSheetBanner() {
    FitBanner(GetSafeHwnd(), m_bmpBanner.get(), m_pBanner ? m_pBanner->GetSafeHwnd() : nullptr,
              m_pBannerLine ? m_pBannerLine->GetSafeHwnd() : nullptr, m_bmpBannerShown);
}

void CSetupSheet::OnDestroy() {
    m_pBanner.reset();
    m_pBannerLine.reset();
    if (platform::GetMainWindow() == GetSafeHwnd()) platform::SetMainWindow(nullptr);
}

void SlideButtonRow(HWND sheet) {
    HWND help = ::GetDlgItem(sheet, IDHELP);
    HWND cancel = ::GetDlgItem(sheet, IDCANCEL);
    ::ShowWindow(help, SW_HIDE);
    if (!help || !cancel) return;
    const int dx = platform::GetRectInParent(help).left - platform::GetRectInParent(cancel).left;
    for (int id : {IDCANCEL, platform::kIdWizNext, platform::kIdWizBack, platform::kIdWizFinish}) {
        HWND button = ::GetDlgItem(sheet, id);
        if (!button) continue;
        RECT r = platform::GetRectInParent(button);
        ::MoveWindow(button, r.left + dx, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
}
