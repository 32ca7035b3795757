#include "engine/CopyThread.h"

#include "app/SetupApp.h"
#include "engine/install_transaction.h"
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

    // The temporary work folder goes whatever happened. Without a package the
    // work folder is the program's own, which is never removed.
    if (!app.m_info.m_strPackage.empty() && !workFolder.empty()) RemoveDirectoryTree(workFolder);

    switch (result) {
        case 1: return 0;
        case 16: return 16;
        default: return static_cast<DWORD>(-1);
    }
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

    // An update that was killed is undone before anything else looks at the
    // product; then this run updates it as if nothing had happened.
    std::vector<std::string> roots{targetDir};
    for (const auto& component : app.m_info.m_components) {
        std::string dest = component->pszDest;
        app.ExpandMacros(dest);
        roots.push_back(dest);
    }
    if (install::RecoverInterrupted(targetDir, roots) == install::Recovery::Failed) return -1;

    return check.CheckVersion() ? 0 : 16;
}
