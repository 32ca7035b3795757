#include "app/RunSession.h"
#include "app/SetupApp.h"
#include "platform/prompt.h"
#include "res/resource.h"
#include "wizard/SetupSheet.h"

int CSetupApp::InitInstance() {
    InitAppDir();
    CRunSession session(*this);

    if (session.Begin()) {
        // The sheet makes itself the main window when its window is created.
        CSetupSheet sheet(IDS_SHEET_CAPTION, nullptr, 0);

        std::string path = GetAppFilePath("SETUP.INI");
        if (m_info.Load(path)) {
            session.LogDescription();
            if (m_options.mode == RunMode::Quiet)
                session.RunWorkerWithoutWindow();
            else
                sheet.DoModal();
        } else {
            session.DescriptionIncomplete();
        }

        // The main window does not outlive the sheet.
        platform::SetMainWindow(nullptr);
    }
    m_nExitStatus = session.End();
    return FALSE;
}
