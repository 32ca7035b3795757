#include "platform/prompt.h"

#include <shlobj.h>

#include <atomic>

#include "platform/last_error.h"
#include "platform/log.h"
#include "platform/log_format.h"
#include "platform/strings.h"
#include "platform/wide.h"

namespace platform {

namespace {
SystemPrompt g_systemPrompt;
std::atomic<Prompt*> g_prompt{nullptr};
std::atomic<HWND> g_mainWindow{nullptr};
std::atomic<bool> g_personCancelled{false};
constexpr UINT kAppTitleId = 57344;
constexpr std::size_t kLongestPath = 32768;  // in UTF-16 units, the end included
}  // namespace

int SystemPrompt::MessageBox(HWND owner, const std::string& caption, const std::string& text,
                             UINT style) {
    return ::MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), style);
}

bool SystemPrompt::BrowseForFolder(HWND owner, const std::string& title, UINT flags,
                                   std::string& path) {
    wchar_t display[MAX_PATH] = {};
    const std::wstring wideTitle = Wide(title);
    BROWSEINFOW bi = {};
    bi.hwndOwner = owner;
    bi.pidlRoot = nullptr;
    bi.pszDisplayName = display;
    bi.lpszTitle = wideTitle.c_str();
    bi.ulFlags = flags;
    path.clear();
    // The shell's dialog needs COM on the calling thread (the worker has none
    // of its own); balance only an initialisation that took place here.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    PIDLIST_ABSOLUTE item = ::SHBrowseForFolderW(&bi);
    // A folder's path may be longer than MAX_PATH.
    std::wstring chosen(kLongestPath, L'\0');
    bool ok = false;
    if (item) {
        ok = ::SHGetPathFromIDListEx(item, chosen.data(), static_cast<DWORD>(chosen.size()), GPFIDL_DEFAULT) != FALSE;
        ::CoTaskMemFree(item);
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
    if (!item) return false;
    if (!ok) return false;
    path = Narrow(chosen.c_str());
    return true;
}

Prompt& GetPrompt() {
    Prompt* p = g_prompt.load();
    return p ? *p : g_systemPrompt;
}

Prompt* SetPrompt(Prompt* prompt) { return g_prompt.exchange(prompt); }

HWND GetMainWindow() { return g_mainWindow.load(); }
void SetMainWindow(HWND hwnd) { g_mainWindow.store(hwnd); }

std::string GetAppTitle() { return LoadResString(kAppTitleId); }

int AppMessageBox(const std::string& text, UINT style) {
    LastErrorKeeper keep;
    Prompt& prompt = GetPrompt();
    Log(logfmt::BoxRecord(text, style));
    int answer = prompt.MessageBox(GetMainWindow(), GetAppTitle(), text, style);
    Log(logfmt::AnswerRecord(answer, prompt.AnswersItself()));
    if (answer == IDCANCEL && !prompt.AnswersItself()) g_personCancelled.store(true);
    return answer;
}

bool AppBrowseForFolder(const std::string& title, UINT flags, std::string& path) {
    Prompt& prompt = GetPrompt();
    Log("folder dialog: " + title);
    const bool chosen = prompt.BrowseForFolder(GetMainWindow(), title, flags, path);
    if (chosen) {
        Log("answer: " + path);
    } else {
        Log(prompt.AnswersItself() ? "answer: none (not shown without a person)" : "answer: Cancel");
        if (!prompt.AnswersItself()) g_personCancelled.store(true);
    }
    return chosen;
}

bool PersonCancelled() { return g_personCancelled.load(); }
void ResetPersonCancelled() { g_personCancelled.store(false); }

}  // namespace platform
