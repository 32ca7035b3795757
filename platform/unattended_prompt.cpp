#include "platform/unattended_prompt.h"

#include "platform/timing.h"
#include "platform/wide.h"

namespace platform {

namespace {

// The answer the passive box is waiting to be given; one box at a time per
// thread, the timer fires on the thread that shows it.
thread_local int t_pendingAnswer = 0;

BOOL CALLBACK PressInBox(HWND hwnd, LPARAM) {
    wchar_t cls[16] = {};
    ::GetClassNameW(hwnd, cls, 16);
    // A message box is a dialog with its text in static 0xFFFF; the wizard
    // sheet, a dialog too, has none.
    if (lstrcmpW(cls, L"#32770") != 0 || !::IsWindowVisible(hwnd) || !::GetDlgItem(hwnd, 0xFFFF))
        return TRUE;
    ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(t_pendingAnswer, BN_CLICKED), 0);
    return FALSE;
}

// A thread timer: the box's own message loop dispatches it.
void CALLBACK AnswerTimer(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ::EnumThreadWindows(::GetCurrentThreadId(), PressInBox, 0);
}

}  // namespace

int UnattendedPrompt::Answer(const std::string& text, UINT style) {
    switch (style & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
        return IDOK;  // taken as read
    case MB_RETRYCANCEL: {
        std::lock_guard<std::mutex> hold(m_lock);
        const unsigned long long now = ScaledTickCount();
        if (text != m_retryText) {
            m_retryText = text;
            m_retryStart = now;
        }
        if (now - m_retryStart < kRetryBoundMs) return IDRETRY;
        m_retryText.clear();  // a later box of the same text starts a new bound
        return IDCANCEL;
    }
    case MB_YESNO:
        return IDNO;
    default:
        return IDCANCEL;  // no other kind is asked; refuse rather than agree
    }
}

int UnattendedPrompt::Show(HWND owner, const std::string& caption, const std::string& text,
                           UINT style, int answer) {
    const int saved = t_pendingAnswer;
    t_pendingAnswer = answer;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, ScaledDuration(m_showMs), AnswerTimer);
    int shown = answer;
    if (timer) {
        shown = ::MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), style);
        ::KillTimer(nullptr, timer);
    } else {
        Pause(m_showMs);  // no timer: not shown, but the pause is kept
    }
    t_pendingAnswer = saved;
    // A watcher may press a button before the timer does: a person's answer counts.
    return shown > 0 ? shown : answer;
}

int UnattendedPrompt::MessageBox(HWND owner, const std::string& caption, const std::string& text,
                                 UINT style) {
    const int answer = Answer(text, style);
    const bool retry = answer == IDRETRY;
    if (m_showMs) return Show(owner, caption, text, style, answer);
    // Nothing waits for a person, but a Retry still waits for the cause to go.
    if (retry) Pause(kRetryPauseMs);
    return answer;
}

bool UnattendedPrompt::BrowseForFolder(HWND, const std::string&, UINT, std::string& path) {
    path.clear();
    return false;
}

}  // namespace platform
