#pragma once
// Drives SETUP.EXE from outside, as a user would: starts it, finds its
// top-level windows, reads their texts and button states, presses buttons.
// Used by the end-to-end tests and by the demo's headless run.

#include <windows.h>

#include <string>
#include <vector>

#include "platform/handle.h"

namespace driver {

struct Control {
    HWND hwnd;
    HWND parent;
    int id;
    std::string cls;
    std::string text;
    bool visible;
    bool enabled;
    RECT rect;  // in the top-level window's client coordinates
};

struct Window {
    HWND hwnd = nullptr;
    std::string cls;
    std::string caption;
    std::vector<Control> controls;  // every descendant, in z-order

    // A message box: a dialog with the static text 0xFFFF as a direct child
    // (a wizard page's unnamed static lies one level deeper).
    bool IsMessageBox() const { return cls == "#32770" && HasMessageText(); }
    const Control* Find(int id) const;
    const Control* FindText(const std::string& text) const;
    // The message text of a message box (its static control 0xFFFF).
    std::string MessageText() const;
    bool HasMessageText() const;
};

class Process {
public:
    // Starts program with the given command-line arguments (as they follow
    // the quoted program name), in currentFolder (empty: the program's own).
    bool Start(const std::string& program, const std::string& arguments = "", const std::string& currentFolder = "");
    ~Process();
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    DWORD Pid() const { return m_pid; }
    bool Running() const;
    // Waits up to ms; true when the process has ended.
    bool WaitExit(DWORD ms);
    DWORD ExitCode() const;
    void Kill();

    // The class of every top-level window of the process, hidden ones too.
    std::vector<std::string> AllTopLevelClasses() const;
    // Visible top-level windows of the process, read now.
    std::vector<Window> Windows() const;
    // Waits up to ms for a visible top-level window that satisfies pred.
    template <class Pred>
    bool WaitWindow(DWORD ms, Pred pred, Window* out) const {
        DWORD start = ::GetTickCount();
        do {
            for (auto& w : Windows()) {
                if (pred(w)) {
                    if (out) *out = w;
                    return true;
                }
            }
            ::Sleep(30);
        } while (::GetTickCount() - start < ms);
        return false;
    }

private:
    platform::Handle m_process;
    DWORD m_pid = 0;
};

// Reads a window and its descendants.
Window Read(HWND hwnd);

// Presses a button of a window by id (BM_CLICK on the control).
bool Press(HWND top, int id);

}  // namespace driver
