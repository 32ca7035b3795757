// The file list of the components and its installation.
#include <iterator>
#include <vector>

#include "app/SetupApp.h"
#include "engine/CopyThread.h"
#include "engine/messages.h"
#include "platform/file.h"
#include "platform/filefind.h"
#include "platform/prompt.h"
#include "platform/timing.h"
#include "util/fs.h"
#include "util/path.h"
#include "util/syserr.h"

namespace {

constexpr unsigned kPollMs = 50;
constexpr unsigned kClosingPauseMs = 1000;
// A copy that does not settle within this long counts as failed: a file
// system that keeps coarser times than the source's would never match.
constexpr unsigned long long kSettleLimitMs = 30000;

// Waits until dest shows source's size and modification time. On failure
// why holds the reason to show the user.
bool WaitForCopyToSettle(const std::string& source, const std::string& dest, std::string& why) {
    const unsigned long long deadline = platform::ScaledTickCount() + kSettleLimitMs;
    platform::FileStatus src;
    while (!platform::File::GetStatus(source, src)) {
        if (platform::ScaledTickCount() >= deadline) {
            why = std::string(engine_text::kSourceStatusUnreadable) + source;
            return false;
        }
        platform::Pause(kPollMs);
    }
    platform::FileStatus dst;
    for (;;) {
        if (platform::File::GetStatus(dest, dst) && dst.size == src.size && dst.mtime == src.mtime)
            return true;
        if (platform::ScaledTickCount() >= deadline) {
            why = std::string(engine_text::kCopyNotSettled) + dest;
            return false;
        }
        platform::Pause(kPollMs);
    }
}

std::vector<std::string> SourcesOf(const std::list<std::unique_ptr<CCopyItem>>& files) {
    std::vector<std::string> sources;
    for (const auto& item : files) sources.push_back(item->m_strSource);
    return sources;
}

}  // namespace

int CCopyThread::BuildFileList(std::string workFolder) {
    CSetupApp& app = GetApp();
    m_progress.nMax = 0;
    m_progress.nPos = 0;

    for (const auto& component : app.m_info.m_components) {
        std::string source = JoinPath(JoinPath(workFolder, "FILES"), component->pszSource);
        app.ExpandMacros(source);

        const size_t before = m_files.size();
        if (!CollectFiles(source, source)) {
            platform::AppMessageBox(engine_text::kFilesNotFound, MB_ICONEXCLAMATION | MB_OK);
            return FALSE;
        }
        // The join comes before the expansion, so an unexpanded destination
        // such as "<TARGETDIR>" gets its backslash.
        for (auto it = std::next(m_files.begin(), static_cast<long>(before)); it != m_files.end(); ++it) {
            std::string dest = JoinPath(component->pszDest, (*it)->m_strDest);
            app.ExpandMacros(dest);
            (*it)->m_strDest = dest;
        }
    }
    // From a package, only what extraction placed is installed.
    if (!m_placed.Accepts(SourcesOf(m_files))) {
        platform::AppMessageBox(engine_text::kPackageFormatError, MB_ICONEXCLAMATION | MB_OK);
        return FALSE;
    }
    return TRUE;
}

int CCopyThread::CollectFiles(std::string folder, std::string root) {
    platform::FileFind find;
    BOOL more = find.FindFile(JoinPath(folder, "*.*"));
    if (!more) return FALSE;
    while (more) {
        more = find.FindNextFile();
        if (find.IsDots()) continue;
        const std::string path = find.GetFilePath();
        if (find.IsReparsePoint()) {  // never followed, never listed
            m_placed.NoteLink();
            continue;
        }
        if (find.IsDirectory()) {
            if (!CollectFiles(path, root)) return FALSE;
            continue;
        }
        auto item = std::make_unique<CCopyItem>();
        item->m_strSource = path;
        std::string relative = path.substr(std::min(root.size(), path.size()));
        if (!relative.empty() && relative[0] == '\\') relative.erase(0, 1);
        item->m_strDest = relative;
        m_files.push_back(std::move(item));
        ++m_progress.nMax;
    }
    return TRUE;
}

int CCopyThread::InstallFiles() {
    for (const auto& item : m_files) {
        for (;;) {
            SetCurrentFile(item->m_strDest);
            std::string text;
            if (!CopyFileCreatingPath(item->m_strSource, item->m_strDest, FALSE)) {
                text = GetSystemErrorText(::GetLastError());
            } else if (!WaitForCopyToSettle(item->m_strSource, item->m_strDest, text)) {
                // text says why
            } else {
                break;
            }
            if (platform::AppMessageBox(text, MB_ICONEXCLAMATION | MB_RETRYCANCEL) != IDRETRY)
                return FALSE;
        }
        ++m_progress.nPos;
    }
    platform::Pause(kClosingPauseMs);
    return TRUE;
}
