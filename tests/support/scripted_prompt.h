#pragma once
// A prompt for tests: records every message box and folder dialog and
// answers them from a script, without windows. Installed for its lifetime.

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/prompt.h"

namespace testsupport {

class ScriptedPrompt : public platform::Prompt {
public:
    struct Shown {
        enum Kind { Box, Folder } kind;
        std::string caption;  // message box caption
        std::string text;     // message box text, or folder dialog title
        UINT style;           // message box style, or folder dialog flags
        HWND owner;
        DWORD lastError;      // the thread's last error when the box came up
    };
    struct FolderAnswer {
        bool chosen;
        std::string path;
    };

    ScriptedPrompt() { m_previous = platform::SetPrompt(this); }
    ~ScriptedPrompt() override { platform::SetPrompt(m_previous); }
    ScriptedPrompt(const ScriptedPrompt&) = delete;
    ScriptedPrompt& operator=(const ScriptedPrompt&) = delete;

    // Answers, used in order; when none is left a box gets IDOK (IDCANCEL for
    // Retry/Cancel boxes) and the folder dialog is cancelled.
    void AnswerBoxes(std::initializer_list<int> answers) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_boxAnswers.insert(m_boxAnswers.end(), answers);
    }
    void AnswerFolders(std::initializer_list<FolderAnswer> answers) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_folderAnswers.insert(m_folderAnswers.end(), answers);
    }
    // Called (on the prompting thread) before a box is answered, e.g. to
    // release a locked file before "Retry".
    void OnBox(std::function<void(const Shown&)> hook) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_onBox = std::move(hook);
    }

    std::vector<Shown> Seen() const {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_seen;
    }
    std::vector<Shown> Boxes() const {
        std::vector<Shown> out;
        for (auto& s : Seen())
            if (s.kind == Shown::Box) out.push_back(s);
        return out;
    }

    int MessageBox(HWND owner, const std::string& caption, const std::string& text,
                   UINT style) override {
        DWORD err = ::GetLastError();
        std::function<void(const Shown&)> hook;
        Shown s{Shown::Box, caption, text, style, owner, err};
        int answer;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_seen.push_back(s);
            hook = m_onBox;
            if (!m_boxAnswers.empty()) {
                answer = m_boxAnswers.front();
                m_boxAnswers.pop_front();
            } else {
                answer = (style & 0x0F) == MB_RETRYCANCEL ? IDCANCEL : IDOK;
            }
        }
        if (hook) hook(s);
        return answer;
    }

    bool BrowseForFolder(HWND owner, const std::string& title, UINT flags,
                         std::string& path) override {
        std::lock_guard<std::mutex> hold(m_lock);
        m_seen.push_back(Shown{Shown::Folder, "", title, flags, owner, ::GetLastError()});
        path.clear();
        if (m_folderAnswers.empty()) return false;
        FolderAnswer a = m_folderAnswers.front();
        m_folderAnswers.pop_front();
        if (a.chosen) path = a.path;
        return a.chosen;
    }

private:
    mutable std::mutex m_lock;
    platform::Prompt* m_previous = nullptr;
    std::deque<int> m_boxAnswers;
    std::deque<FolderAnswer> m_folderAnswers;
    std::function<void(const Shown&)> m_onBox;
    std::vector<Shown> m_seen;
};

}  // namespace testsupport
