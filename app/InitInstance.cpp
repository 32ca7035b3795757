#include "app/RunSession.h"
#include "app/SetupApp.h"
#include "app/SingleInstance.h"
#include "res/texts.h"
#include "platform/prompt.h"
#include "res/resource.h"
#include "wizard/SetupSheet.h"

int CSetupApp::InitInstance() {
    // Before SETUP.INI, the product or the work folder is touched: a second
    // instance only says so (through the unattended prompt and into its log
    // when it has them) and ends with "already running", whatever else its
    // command line held.
    CSingleInstance instance;
    const bool first = instance.Acquire();
    InitAppDir();
    CRunSession session(*this);

    if (!first) {
        // The log may be the first instance's own file, held open by it.
        if (session.Begin()) platform::AppMessageBox(texts::kAlreadyRunning, MB_ICONEXCLAMATION | MB_OK);
        session.AnotherInstanceRunning();
    } else if (session.Begin()) {
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
