#include "app/SetupApp.h"
#include "app/SingleInstance.h"
#include "app/messages.h"
#include "platform/prompt.h"
#include "res/resource.h"
#include "wizard/SetupSheet.h"

int CSetupApp::InitInstance() {
    // Before anything is read or written: a second instance only says so.
    CSingleInstance instance;
    if (!instance.Acquire()) {
        platform::AppMessageBox(app_text::kAlreadyRunning, MB_ICONEXCLAMATION | MB_OK);
        return FALSE;
    }
    InitAppDir();

    // The sheet makes itself the main window when its window is created.
    CSetupSheet sheet(IDS_SHEET_CAPTION, nullptr, 0);

    std::string path = GetAppFilePath("SETUP.INI");
    if (m_info.Load(path)) {
        sheet.DoModal();
    }

    // The main window does not outlive the sheet.
    platform::SetMainWindow(nullptr);
    return FALSE;
}
