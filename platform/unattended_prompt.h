#pragma once
// The prompt of unattended runs (/quiet, /passive): answers every box itself
// and never shows the folder dialog.

#include <windows.h>

#include <mutex>
#include <string>

#include "platform/prompt.h"

namespace platform {

class UnattendedPrompt : public Prompt {
public:
    // How an unattended run answers a Retry/Cancel box: Retry after each
    // pause, for as long as the same box keeps coming back within the bound,
    // then Cancel.
    static constexpr unsigned kRetryPauseMs = 2000;
    static constexpr unsigned kRetryBoundMs = 30000;

    // showMs 0: no window at all (/quiet); otherwise each box is shown that
    // long, then answered (/passive), the show standing for the pause.
    explicit UnattendedPrompt(unsigned showMs) : m_showMs(showMs) {}

    int MessageBox(HWND owner, const std::string& caption, const std::string& text,
                   UINT style) override;
    // Never shown: no folder, so the product counts as not found.
    bool BrowseForFolder(HWND owner, const std::string& title, UINT flags,
                         std::string& path) override;
    bool AnswersItself() const override { return true; }

private:
    int Answer(const std::string& text, UINT style);
    int Show(HWND owner, const std::string& caption, const std::string& text, UINT style, int answer);

    const unsigned m_showMs;
    std::mutex m_lock;
    std::string m_retryText;                // the Retry/Cancel box being retried
    unsigned long long m_retryStart = 0;    // when it first came up (scaled ms)
};

}  // namespace platform
