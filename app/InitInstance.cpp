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

        // SETUP.INI is read once: the bytes checked against the medium's
        // signature are the bytes parsed, whatever the file holds later.
        std::string ini, why;
        ReadWholeFile(GetAppFilePath("SETUP.INI"), CSetupInfo::kMaxBytes, ini);
        if (!m_trust.Admit(GetAppDir(), ini, why)) {
            RefuseUnsigned(why);
        } else if (!m_info.LoadFrom(ini)) {
            session.DescriptionIncomplete();
        } else if (!m_trust.Covers(m_info.m_strPackage, why)) {
            RefuseUnsigned(why);
        } else {
            session.LogDescription();
            if (m_options.mode == RunMode::Quiet)
                session.RunWorkerWithoutWindow();
            else
                sheet.DoModal();
        }

        // The main window does not outlive the sheet.
        platform::SetMainWindow(nullptr);
    }
    m_nExitStatus = session.End();
    return FALSE;
}
