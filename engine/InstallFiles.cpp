// The file list of the components and its installation.
#include "app/SetupApp.h"
#include "engine/CopyThread.h"
#include "engine/install/transaction.h"
#include "product/identity.h"
#include "res/texts.h"
#include "platform/filefind.h"
#include "platform/prompt.h"
#include "util/long_path.h"
#include "util/path.h"

int CCopyThread::BuildFileList(std::string workFolder) {
    CSetupApp& app = GetApp();
    m_progress.nMax = 0;
    m_progress.nPos = 0;
    m_listAccepted = true;

    for (const auto& component : app.m_info.m_components) {
        std::string source = JoinPath(JoinPath(workFolder, "FILES"), component->pszSource);
        app.ExpandMacros(source);

        plan::Component listed{DestinationOf(*component, ""), {}};
        m_placed.BeginListing();
        if (!CollectFiles(source, source, listed.files)) {
            platform::AppMessageBox(texts::kFilesNotFound, MB_ICONEXCLAMATION | MB_OK);
            return FALSE;
        }
        m_components.push_back(std::move(listed));
    }
    // From a package, only what extraction placed is installed: here by
    // the listing's names, sizes and times, before anything is copied;
    // staging confirms each file on the handle it takes it from.
    if (!m_listAccepted || m_placed.LinkSeen()) {
        platform::AppMessageBox(texts::kPackageFormatError, MB_ICONEXCLAMATION | MB_OK);
        return FALSE;
    }
    return TRUE;
}

std::string CCopyThread::DestinationOf(const SETUPCOMPONENT& component, const std::string& relative) {
    // The join comes before the expansion, so an unexpanded destination
    // such as "<TARGETDIR>" gets its backslash. The result is a full path,
    // the one form that staging, the commit and the journal use and that
    // the next run compares.
    std::string dest = JoinPath(component.pszDest, relative);
    GetApp().ExpandMacros(dest);
    return FullPath(dest);
}

int CCopyThread::CollectFiles(std::string folder, std::string root, std::vector<plan::ListedFile>& files) {
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
            if (!CollectFiles(path, root, files)) return FALSE;
            continue;
        }
        if (!m_placed.Lists(path, find.GetLength(), find.GetLastWriteTime())) m_listAccepted = false;
        std::string relative = path.substr(std::min(root.size(), path.size()));
        if (!relative.empty() && relative[0] == '\\') relative.erase(0, 1);
        // Files of the update's own work folder go away afterwards: the
        // plan moves each into place for its last use.
        files.push_back({relative, path, m_placed.Active()});
        ++m_progress.nMax;
    }
    return TRUE;
}

int CCopyThread::InstallFiles() {
    // One transaction over every file; its journal belongs to the install
    // folder, where the next run looks for it.
    const plan::Product product{FullPath(GetApp().GetTargetDir()), product::kZomi7.exeName};
    return install::InstallAll(m_components, product, *this, {m_placed, m_signedFiles});
}
