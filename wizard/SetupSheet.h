#pragma once
// The wizard: a modal property sheet in wizard mode with the three pages
// in a fixed order, the banner across its top, and the standard buttons
// moved so that no Help button is seen. It is the application's main
// window while it exists (the owner of every message box).

#include <windows.h>

#include <memory>

#include "platform/gdi.h"
#include "platform/propsheet.h"
#include "platform/window.h"
#include "wizard/SetupFinishPage.h"
#include "wizard/SetupMovingPage.h"
#include "wizard/SetupWelcomePage.h"

class CSetupSheet : public platform::PropertySheet {
public:
    // Caption string id (shown unexpanded), owner window or nullptr, index
    // of the first page.
    CSetupSheet(UINT captionId, HWND parent, UINT startPage);
    ~CSetupSheet() override = default;

    platform::Bitmap m_bmpBanner;        // the picture at its own size
    platform::Bitmap m_bmpBannerShown;   // drawn at the sheet's width, in control 10
    CSetupWelcomePage m_pageWelcome;
    CSetupMovingPage m_pageMoving;
    CSetupFinishPage m_pageFinish;
    std::unique_ptr<platform::Window> m_pBanner;
    std::unique_ptr<platform::Window> m_pBannerLine;

protected:
    // The banner, before any page exists.
    int OnCreate() override;
    // Help hidden; the button row slid right by Help's distance from Cancel;
    // the banner fitted to the sheet's final width.
    INT_PTR OnInitDialog(INT_PTR defaultResult) override;
    // The banner follows the sheet's new width.
    void OnDpiChanged() override;
    // The banner controls go.
    void OnDestroy() override;

private:
    void FitSheetBanner();
};

// Hides Help (IDHELP) and moves Cancel, Next, Back and Finish right by the
// distance from Cancel's left edge to Help's, so Cancel stands where Help
// stood.
void SlideButtonRow(HWND sheet);
