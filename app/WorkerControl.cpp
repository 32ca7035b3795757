// Starting the update worker and collecting its exit code (interface thread).
#include "app/SetupApp.h"
#include "engine/CopyThread.h"

CCopyThread* CSetupApp::StartCopyThread() {
    m_bWorkerStarted = true;
    m_pCopyThread = platform::BeginThread<CCopyThread>();
    // No worker means no update: the finish page must not read the 0 of
    // "nothing has run yet" as success.
    if (!m_pCopyThread) m_nExitCode = worker::kFailed;
    return m_pCopyThread;
}

CCopyThread* CSetupApp::PollCopyThread() {
    if (!m_pCopyThread) return nullptr;
    DWORD code = 0;
    if (!::GetExitCodeThread(m_pCopyThread->ThreadHandle(), &code) || code == STILL_ACTIVE)
        return m_pCopyThread;
    m_nExitCode = code;
    delete m_pCopyThread;
    m_pCopyThread = nullptr;
    return nullptr;
}
