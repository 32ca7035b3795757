#pragma once
// Every question the program puts to the user (message boxes and the folder
// dialog) passes through one replaceable prompt, so that tests can answer
// them without windows.

#include <windows.h>

#include <string>

namespace platform {

class Prompt {
public:
    virtual ~Prompt() = default;
    // A modal message box; returns the button pressed (IDOK, IDRETRY, ...).
    virtual int MessageBox(HWND owner, const std::string& caption, const std::string& text,
                           UINT style) = 0;
    // The shell's folder dialog with the given title and flags. Returns true
    // with the chosen file-system folder in path, or false (cancelled, or an
    // item without a file-system path) with path emptied.
    virtual bool BrowseForFolder(HWND owner, const std::string& title, UINT flags,
                                 std::string& path) = 0;
    // True for a prompt that answers by itself (unattended runs): a Cancel it
    // gives is not a person's.
    virtual bool AnswersItself() const { return false; }
};

// The real windows.
class SystemPrompt : public Prompt {
public:
    int MessageBox(HWND owner, const std::string& caption, const std::string& text,
                   UINT style) override;
    bool BrowseForFolder(HWND owner, const std::string& title, UINT flags,
                         std::string& path) override;
};

// The prompt in use (a SystemPrompt unless replaced). SetPrompt returns the
// previous one; passing nullptr restores the system prompt.
Prompt& GetPrompt();
Prompt* SetPrompt(Prompt* prompt);

// The application's main window (the wizard sheet while it exists): the
// owner of every message box and of the folder dialog, on any thread.
HWND GetMainWindow();
void SetMainWindow(HWND hwnd);

// The application title (string 57344), which captions every message box.
std::string GetAppTitle();

// The application's message box: caption = application title, owner = main
// window. Keeps the caller's last-error code intact across the box.
// Every box and its answer go to the log (when there is one).
int AppMessageBox(const std::string& text, UINT style);

// The folder dialog through the prompt in use, owned by the main window, and
// logged with its answer.
bool AppBrowseForFolder(const std::string& title, UINT flags, std::string& path);

// Whether a person has pressed Cancel in a box or cancelled the folder dialog
// since start-up (or the last reset): the difference between "the user
// cancelled" and "it failed" in the exit status.
bool PersonCancelled();
void ResetPersonCancelled();

}  // namespace platform
