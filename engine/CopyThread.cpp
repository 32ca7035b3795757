#include "engine/CopyThread.h"

#include "app/SetupApp.h"
#include "engine/unexpected_error.h"
#include "util/fs.h"

CCopyThread::CCopyThread() {
    // The application reads the exit code after the thread has ended and
    // deletes the object itself.
    m_bAutoDelete = FALSE;
}

CCopyThread::~CCopyThread() = default;

std::string CCopyThread::GetCurrentFile() const {
    std::lock_guard<std::mutex> hold(m_progress.lock);
    return m_progress.strFile;
}

void CCopyThread::SetCurrentFile(const std::string& file) {
    std::string copy = file;  // allocate outside the lock
    std::lock_guard<std::mutex> hold(m_progress.lock);
    m_progress.strFile.swap(copy);
}

DWORD CCopyThread::Run() {
    CSetupApp& app = GetApp();
    std::string workFolder;
    int result = 0;
    // No exception ends the worker unseen or skips its clean-up.
    try {
        result = RunStages(workFolder);
    } catch (...) {
        const DWORD lastError = ::GetLastError();
        ShowUnexpectedError(ErrorCodeOf(std::current_exception(), lastError));
        result = 0;
    }

    // The temporary work folder goes whatever happened. Without a package the
    // work folder is the program's own, which is never removed.
    m_workFolderHold.Release();
    if (!app.m_info.m_strPackage.empty() && !workFolder.empty()) RemoveDirectoryTree(workFolder);

    switch (result) {
        case 1: return 0;
        case 16: return 16;
        default: return static_cast<DWORD>(-1);
    }
}

int CCopyThread::RunStages(std::string& workFolder) {
    m_progress.nStage = 1;
    int result = CheckProduct();
    if (result == 0) {
        m_progress.nStage = 2;
        if (!ExtractPackage(workFolder)) {
            result = 0;
        } else {
            m_progress.nStage = 3;
            if (!BuildFileList(workFolder)) {
                result = 0;
            } else {
                m_progress.nStage = 4;
                result = InstallFiles() ? 1 : 0;
            }
        }
    }
    return result;
}

int CCopyThread::CheckProduct() {
    CSetupApp& app = GetApp();
    CProductCheck& check = app.m_productCheck;
    if (!check.CheckNotRunning()) return -1;

    // Searched in a local and published whole, under the application's lock,
    // so the interface thread never expands a half-written install folder.
    std::string targetDir;
    int found = check.FindInstallFolder(targetDir);
    app.SetTargetDir(targetDir);
    if (!found) return -1;

    return check.CheckVersion() ? 0 : 16;
}
