#pragma once
// A property sheet and its pages over the common controls' PropertySheetW.
// A page is a dialog-template resource with a C++ object behind it; the
// sheet's notifications reach the page object's overridables. The sheet
// window is subclassed as it is created, so that a derived sheet sees its
// own WM_CREATE (before any page exists), the end of the common controls'
// WM_INITDIALOG handling, a change of display scale, and WM_DESTROY.

#include <windows.h>
#include <commctrl.h>

#include <vector>

namespace platform {

// Control ids of a wizard-mode sheet's buttons (Help is IDHELP, Cancel
// IDCANCEL); the SDK headers do not name them.
constexpr int kIdWizBack = 0x3023;
constexpr int kIdWizNext = 0x3024;
constexpr int kIdWizFinish = 0x3025;

class PropertyPage {
public:
    // templateId: the page's dialog template in the program's module;
    // captionId: a string id for the page's caption, 0 for the template's.
    explicit PropertyPage(UINT templateId, UINT captionId = 0);
    PropertyPage(const PropertyPage&) = delete;
    PropertyPage& operator=(const PropertyPage&) = delete;
    virtual ~PropertyPage() = default;

    HWND GetSafeHwnd() const { return m_hWnd; }
    // The sheet window (the page's parent).
    HWND GetSheetWindow() const { return m_hWnd ? ::GetParent(m_hWnd) : nullptr; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    const PROPSHEETPAGEW& GetPageHeader() const { return m_psp; }

    // Exchange of data between the page's controls and the object; called
    // on activation and deactivation. Nothing by default.
    virtual void DoDataExchange() {}
    // PSN_SETACTIVE: TRUE accepts the activation.
    virtual BOOL OnSetActive();
    // PSN_KILLACTIVE: TRUE lets the page be left.
    virtual BOOL OnKillActive();
    // PSN_QUERYCANCEL: TRUE lets the sheet be cancelled.
    virtual BOOL OnQueryCancel() { return TRUE; }
    // WM_TIMER; the message then goes on to the default handling.
    virtual void OnTimer(UINT_PTR /*id*/) {}
    // Any other message: true when handled, with result.
    virtual bool OnMessage(UINT /*msg*/, WPARAM /*wp*/, LPARAM /*lp*/, LRESULT& /*result*/) {
        return false;
    }

    // Shows the page's template in a font that has the glyphs of its caption
    // (platform/dialog_font.h), from a copy of the template when the font it
    // names has not. Called by the sheet before its window is made.
    void FitTemplateFont();

    // Timers of the page window (virtual so that tests can make them fail).
    virtual UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
    virtual BOOL KillTimer(UINT_PTR id);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR OnNotify(const NMHDR& hdr);

    PROPSHEETPAGEW m_psp{};
    std::vector<BYTE> m_template;  // the copy in another face, when one is used
    HWND m_hWnd = nullptr;
};

class PropertySheet {
public:
    // captionId: string id of the sheet's caption in the program's module;
    // parent: owner window or nullptr; startPage: index of the first page.
    PropertySheet(UINT captionId, HWND parent, UINT startPage);
    PropertySheet(const PropertySheet&) = delete;
    PropertySheet& operator=(const PropertySheet&) = delete;
    virtual ~PropertySheet() = default;

    // Pages are shown in the order added; the sheet does not own them.
    void AddPage(PropertyPage* page) { m_pages.push_back(page); }
    DWORD& Flags() { return m_psh.dwFlags; }

    // Runs the sheet modally; PropertySheetW's result (-1 on failure).
    INT_PTR DoModal();

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

protected:
    // WM_CREATE, after the default handling succeeded: 0 to go on, -1 to
    // fail the creation.
    virtual int OnCreate() { return 0; }
    // After the common controls' own WM_INITDIALOG handling (the first page
    // is active by then); its result is passed in and should be returned.
    virtual INT_PTR OnInitDialog(INT_PTR defaultResult) { return defaultResult; }
    // WM_DPICHANGED (the window moved to a display of another scale), after
    // the default handling has rescaled the sheet and its pages.
    virtual void OnDpiChanged() {}
    // WM_DESTROY, after the default handling.
    virtual void OnDestroy() {}

private:
    static LRESULT CALLBACK CbtHook(int code, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK SheetProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);

    PROPSHEETHEADERW m_psh{};
    std::vector<PropertyPage*> m_pages;
    std::vector<PROPSHEETPAGEW> m_pageHeaders;
    HWND m_hWnd = nullptr;
    WNDPROC m_defaultProc = nullptr;
};

}  // namespace platform
