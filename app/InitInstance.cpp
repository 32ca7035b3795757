#include "app/SetupApp.h"
#include "platform/prompt.h"
#include "res/resource.h"
#include "wizard/SetupSheet.h"

int CSetupApp::InitInstance() {
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
