#include "platform/propsheet.h"

#include "platform/common_controls.h"
#include "platform/dialog_font.h"
#include "platform/handle.h"

namespace platform {

namespace {

// The sheet whose window this thread is about to create (DoModal to the
// window's creation).
thread_local PropertySheet* t_creatingSheet = nullptr;

const wchar_t kSheetProp[] = L"platform.PropertySheet";

bool IsDialogClass(HWND hwnd) {
    wchar_t name[16] = {};
    ::GetClassNameW(hwnd, name, 16);
    return lstrcmpW(name, L"#32770") == 0;
}

}  // namespace

// ---- PropertyPage ---------------------------------------------------------

PropertyPage::PropertyPage(UINT templateId, UINT captionId) {
    m_psp.dwSize = sizeof m_psp;
    m_psp.dwFlags = PSP_DEFAULT;
    m_psp.hInstance = ::GetModuleHandleW(nullptr);
    m_psp.pszTemplate = MAKEINTRESOURCEW(templateId);
    if (captionId != 0) {
        m_psp.dwFlags |= PSP_USETITLE;
        m_psp.pszTitle = MAKEINTRESOURCEW(captionId);
    }
    m_psp.pfnDlgProc = &PropertyPage::DialogProc;
    m_psp.lParam = reinterpret_cast<LPARAM>(this);
}

BOOL PropertyPage::OnSetActive() {
    DoDataExchange();
    return TRUE;
}

BOOL PropertyPage::OnKillActive() {
    DoDataExchange();
    return TRUE;
}

void PropertyPage::FitTemplateFont() {
    if (m_psp.dwFlags & PSP_DLGINDIRECT) return;
    const HRSRC found = ::FindResourceW(m_psp.hInstance, m_psp.pszTemplate, MAKEINTRESOURCEW(5));  // RT_DIALOG
    const HGLOBAL loaded = found ? ::LoadResource(m_psp.hInstance, found) : nullptr;
    const auto* bytes = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    if (!bytes) return;
    const std::vector<BYTE> designed(bytes, bytes + ::SizeofResource(m_psp.hInstance, found));
    DialogTemplateFont font;
    if (!ReadTemplateFont(designed, font) || font.caption.empty()) return;
    const std::wstring face = FaceShowing(font.face, font.caption);
    if (face == font.face) return;
    m_template = WithFace(designed, face);
    if (m_template.empty()) return;
    m_psp.dwFlags |= PSP_DLGINDIRECT;
    m_psp.pResource = reinterpret_cast<LPCDLGTEMPLATEW>(m_template.data());
}

UINT_PTR PropertyPage::SetTimer(UINT_PTR id, UINT elapseMs) {
    return ::SetTimer(m_hWnd, id, elapseMs, nullptr);
}

BOOL PropertyPage::KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }

INT_PTR PropertyPage::OnNotify(const NMHDR& hdr) {
    // The answers go back through DWLP_MSGRESULT.
    LONG_PTR result = 0;
    switch (hdr.code) {
    case PSN_SETACTIVE:
        result = OnSetActive() ? 0 : -1;
        break;
    case PSN_KILLACTIVE:
        result = OnKillActive() ? FALSE : TRUE;
        break;
    case PSN_QUERYCANCEL:
        result = OnQueryCancel() ? FALSE : TRUE;
        break;
    default:
        return FALSE;
    }
    ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CALLBACK PropertyPage::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    PropertyPage* self = nullptr;
    if (msg == WM_INITDIALOG) {
        // lp is the sheet's copy of the page header; its lParam is the page.
        auto* psp = reinterpret_cast<const PROPSHEETPAGEW*>(lp);
        self = reinterpret_cast<PropertyPage*>(psp->lParam);
        self->m_hWnd = hwnd;
        ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        return TRUE;
    }
    self = reinterpret_cast<PropertyPage*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    // No exception may leave the dialog procedure: a failing handler leaves
    // the message to the default handling.
    try {
        switch (msg) {
        case WM_NOTIFY:
            return self->OnNotify(*reinterpret_cast<const NMHDR*>(lp));
        case WM_TIMER:
            self->OnTimer(static_cast<UINT_PTR>(wp));
            return FALSE;
        case WM_NCDESTROY:
            self->m_hWnd = nullptr;
            return FALSE;
        default: {
            LRESULT result = 0;
            if (!self->OnMessage(msg, wp, lp, result)) return FALSE;
            ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
        }
    } catch (...) {
        return FALSE;
    }
}

// ---- PropertySheet --------------------------------------------------------

PropertySheet::PropertySheet(UINT captionId, HWND parent, UINT startPage) {
    m_psh.dwSize = sizeof m_psh;
    m_psh.dwFlags = PSH_PROPSHEETPAGE;
    m_psh.hwndParent = parent;
    m_psh.hInstance = ::GetModuleHandleW(nullptr);
    m_psh.pszCaption = MAKEINTRESOURCEW(captionId);
    m_psh.nStartPage = startPage;
}

INT_PTR PropertySheet::DoModal() {
    // The progress bar and the other common controls must be registered.
    InitCommonControlClasses(ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES);

    m_pageHeaders.clear();
    for (PropertyPage* page : m_pages) {
        page->FitTemplateFont();
        m_pageHeaders.push_back(page->GetPageHeader());
    }
    m_psh.nPages = static_cast<UINT>(m_pageHeaders.size());
    m_psh.ppsp = m_pageHeaders.data();

    // The hook catches the sheet's dialog window as it is created.
    t_creatingSheet = this;
    INT_PTR result = -1;
    {
        WindowsHook hook(
            ::SetWindowsHookExW(WH_CBT, &PropertySheet::CbtHook, nullptr, ::GetCurrentThreadId()));
        if (hook) result = RunPropertySheet(&m_psh);
    }
    t_creatingSheet = nullptr;
    return result;
}

LRESULT CALLBACK PropertySheet::CbtHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND && t_creatingSheet) {
        HWND hwnd = reinterpret_cast<HWND>(wp);
        auto* cbt = reinterpret_cast<CBT_CREATEWNDW*>(lp);
        // The sheet is the first top-level dialog window made in DoModal.
        if (!(cbt->lpcs->style & WS_CHILD) && IsDialogClass(hwnd)) {
            PropertySheet* sheet = t_creatingSheet;
            t_creatingSheet = nullptr;
            sheet->m_hWnd = hwnd;
            ::SetPropW(hwnd, kSheetProp, sheet);
            // W procedures throughout: the common controls make a Unicode
            // window, and nothing here should translate its messages.
            sheet->m_defaultProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
                hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PropertySheet::SheetProc)));
        }
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

LRESULT CALLBACK PropertySheet::SheetProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* sheet = static_cast<PropertySheet*>(::GetPropW(hwnd, kSheetProp));
    if (!sheet) return ::DefWindowProcW(hwnd, msg, wp, lp);
    return sheet->Dispatch(msg, wp, lp);
}

LRESULT PropertySheet::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    HWND hwnd = m_hWnd;
    WNDPROC def = m_defaultProc;
    switch (msg) {
    case WM_CREATE: {
        LRESULT r = ::CallWindowProcW(def, hwnd, msg, wp, lp);
        if (r == -1) return -1;
        try {
            return OnCreate();
        } catch (...) {
            return 0;  // the window exists; go on without what failed
        }
    }
    case WM_INITDIALOG: {
        LRESULT r = ::CallWindowProcW(def, hwnd, msg, wp, lp);
        try {
            return OnInitDialog(r);
        } catch (...) {
            return r;
        }
    }
    case WM_DPICHANGED: {
        LRESULT r = ::CallWindowProcW(def, hwnd, msg, wp, lp);
        try {
            OnDpiChanged();
        } catch (...) {
        }
        return r;
    }
    case WM_DESTROY: {
        LRESULT r = ::CallWindowProcW(def, hwnd, msg, wp, lp);
        try {
            OnDestroy();
        } catch (...) {
        }
        return r;
    }
    case WM_NCDESTROY: {
        // The last message: give the window back its own procedure.
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(def));
        ::RemovePropW(hwnd, kSheetProp);
        m_hWnd = nullptr;
        return ::CallWindowProcW(def, hwnd, msg, wp, lp);
    }
    default:
        return ::CallWindowProcW(def, hwnd, msg, wp, lp);
    }
}

}  // namespace platform
