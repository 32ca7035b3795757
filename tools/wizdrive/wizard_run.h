#pragma once
// Runs SETUP.EXE from start to end as a user would, and reports what it
// showed: every page with its texts and buttons, every message box, and how
// the program ended. Used by the end-to-end tests and by the demo.

#include <windows.h>

#include <string>
#include <vector>

#include "tools/wizdrive/driver.h"

namespace driver {

struct ButtonState {
    bool present = false, visible = false, enabled = false;
    RECT rect{};
};

struct PageSeen {
    std::string name;                 // "welcome", "progress", "finish"
    std::string caption;              // the sheet's title
    std::vector<std::string> texts;   // the page's static texts, in z-order
    ButtonState back, next, finish, cancel, help;
    RECT client{};                    // the sheet's client area
    std::vector<std::string> progressTexts;  // progress page: every 1001 text seen
    std::string shot;                 // screenshot file (.bmp), if taken
};

struct BoxSeen {
    std::string caption, text;
    std::vector<int> buttons;  // ids of its buttons
    int answered = 0;
};

struct RunReport {
    bool started = false;
    bool ended = false;
    DWORD exitCode = 0;
    std::vector<PageSeen> pages;
    std::vector<BoxSeen> boxes;
    std::vector<std::string> problems;  // anything unexpected on the way
};

struct RunOptions {
    std::string setupExe;
    std::string shotDir;           // screenshots of each page when not empty
    std::vector<int> boxAnswers;   // IDOK, IDRETRY, IDCANCEL... in order; then the default
    DWORD timeoutMs = 120000;
};

RunReport RunWizard(const RunOptions& options);
// The same for a SETUP.EXE already started (options.setupExe unused).
RunReport DriveWizard(Process& p, const RunOptions& options);

// Saves the screen area of a window as a 24-bit BMP.
bool SaveWindowShot(HWND hwnd, const std::string& path);

}  // namespace driver
