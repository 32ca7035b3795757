#include "app/SetupApp.h"
#include "platform/prompt.h"

int CSetupApp::InitInstance() {
    InitAppDir();

    // WIZARD: construct the wizard sheet here (caption string 1, no parent,
    // first page 0) and make it the main window.

    std::string path = GetAppFilePath("SETUP.INI");
    if (m_info.Load(path)) {
        // WIZARD: show the sheet modally here.
    }

    // The main window does not outlive the sheet.
    platform::SetMainWindow(nullptr);
    return FALSE;
}
