#include "engine/CopyThread.h"

#include <cstdio>

#include "app/SetupApp.h"
#include "engine/install/transaction.h"
#include "engine/unexpected_error.h"
#include "platform/log.h"
#include "platform/wide.h"
#include "util/fs.h"
#include "util/long_path.h"

CCopyThread::CCopyThread() = default;

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

namespace {

// How long each stage took, as a line of debug output ("SETUP.EXE stage 2:
// 1234.5 ms") for whoever watches it (the installation benchmark does) and
// the same line in the log.
class StageClock {
public:
    StageClock() {
        ::QueryPerformanceFrequency(&m_frequency);
        ::QueryPerformanceCounter(&m_start);
    }
    void Lap(const char* stage) {
        LARGE_INTEGER now;
        ::QueryPerformanceCounter(&now);
        const double ms = m_frequency.QuadPart
                              ? 1000.0 * static_cast<double>(now.QuadPart - m_start.QuadPart) /
                                    static_cast<double>(m_frequency.QuadPart)
                              : 0.0;
        char line[64];
        std::snprintf(line, sizeof line, "SETUP.EXE stage %s: %.1f ms", stage, ms);
        platform::Log(line);
        ::OutputDebugStringW(platform::Wide(std::string(line) + "\n").c_str());
        m_start = now;
    }

private:
    LARGE_INTEGER m_frequency{}, m_start{};
};

}  // namespace

DWORD CCopyThread::Run() {
    CSetupApp& app = GetApp();
    std::string workFolder;
    DWORD result = worker::kFailed;
    // No exception ends the worker unseen or skips its clean-up.
    try {
        result = RunStages(workFolder);
    } catch (...) {
        const DWORD lastError = ::GetLastError();
        ShowUnexpectedError(ErrorCodeOf(std::current_exception(), lastError));
        result = worker::kFailed;
    }

    // The temporary work folder goes whatever happened. Without a package the
    // work folder is the program's own, which is never removed.
    StageClock clock;
    m_workFolderHold.Release();
    if (!app.m_info.m_strPackage.empty() && !workFolder.empty()) RemoveDirectoryTree(workFolder);
    clock.Lap("clean-up");

    platform::Log("worker exit code " + std::to_string(static_cast<int32_t>(result)));
    return result;
}

DWORD CCopyThread::RunStages(std::string& workFolder) {
    StageClock clock;
    m_progress.nStage = worker::kCheck;
    const worker::Check check = CheckProduct();
    clock.Lap("1");
    if (check == worker::Check::UpToDate) return worker::kUpToDate;
    if (check == worker::Check::Stop) return worker::kFailed;
    m_progress.nStage = worker::kExtract;
    const BOOL extracted = ExtractPackage(workFolder);
    clock.Lap("2");
    if (!extracted) return worker::kFailed;
    m_progress.nStage = worker::kList;
    const BOOL listed = BuildFileList(workFolder);
    clock.Lap("3");
    if (!listed) return worker::kFailed;
    m_progress.nStage = worker::kInstall;
    const BOOL installed = InstallFiles();
    clock.Lap("4");
    return installed ? worker::kUpdated : worker::kFailed;
}

worker::Check CCopyThread::CheckProduct() {
    CSetupApp& app = GetApp();
    CProductCheck& check = app.m_productCheck;
    if (!check.CheckNotRunning()) return worker::Check::Stop;

    // Searched in a local and published whole, under the application's lock,
    // so the interface thread never expands a half-written install folder.
    std::string targetDir;
    int found = check.FindInstallFolder(targetDir);
    app.SetTargetDir(targetDir);
    if (!found) return worker::Check::Stop;

    // An update that was killed is undone before anything else looks at the
    // product; then this run updates it as if nothing had happened. Its
    // journal holds full paths: the folders it may name are given so too.
    const std::string installFolder = FullPath(targetDir);
    std::vector<std::string> roots{installFolder};
    for (const auto& component : app.m_info.m_components) roots.push_back(DestinationOf(*component, ""));
    if (install::RecoverInterrupted(installFolder, roots) == install::Recovery::Failed) return worker::Check::Stop;

    return check.CheckVersion() ? worker::Check::Proceed : worker::Check::UpToDate;
}
