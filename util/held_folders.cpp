#include "util/held_folders.h"

#include <algorithm>

#include "platform/wide.h"
#include "util/link_at_win.h"
#include "util/long_path.h"
#include "util/name_key.h"

using namespace linkat;

// Each folder path runs through, below its root, outermost first: its
// path and where its name ends. A doubled or trailing backslash names no
// folder.
namespace {
template <typename Visit>
bool ForEachFolder(const std::string& path, std::size_t root, Visit visit) {
    for (std::size_t start = root; start < path.size();) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start && !visit(path.substr(0, end))) return false;
        start = end + 1;
    }
    return true;
}
}  // namespace

BOOL CHeldFolders::Hold(const std::string& folder) {
    m_link.clear();
    const std::size_t root = RootLength(folder);
    if (root == 0) {
        ::SetLastError(ERROR_BAD_PATHNAME);
        return FALSE;
    }
    const bool held = ForEachFolder(folder, root, [this](const std::string& path) {
        std::string key = names::Key(path);
        if (m_held.count(key)) return true;
        const std::wstring wide = ExtendedPath(path);
        // Listing access, so that the handle's sharing counts: without
        // it Windows lets anyone rename the folder while it is held.
        platform::Handle h(::CreateFileW(wide.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!h) return false;
        if (!IsPlainFolder(h.get(), wide)) {
            m_link = path;
            ::SetLastError(ERROR_CANT_ACCESS_FILE);
            return false;
        }
        m_held.emplace(std::move(key), Held{std::move(h), wide});
        return true;
    });
    return held ? TRUE : FALSE;
}

bool CHeldFolders::Holds(const std::string& folder) const { return m_held.count(names::Key(folder)) != 0; }

bool CHeldFolders::StillWithoutLinks() const {
    for (const auto& [key, held] : m_held)
        if (!IsPlainFolder(held.handle.get(), held.path)) return false;
    return true;
}

bool CHeldFolders::StillWithoutLinks(const std::string& path) {
    const std::size_t slash = path.rfind('\\');
    const std::size_t root = RootLength(path);
    if (root == 0 || slash == std::string::npos) return false;
    const std::string folder = path.substr(0, slash);
    if (slash + 1 > root && !Holds(folder)) {
        m_link = folder;
        return false;
    }
    // Held, each folder on the way can be neither renamed nor replaced:
    // looking at them all again on every change would only cost time. The
    // path's own folder is looked at once more through its handle.
    const bool held = ForEachFolder(folder, root, [this](const std::string& each) {
        if (m_held.count(names::Key(each))) return true;
        m_link = each;
        return false;
    });
    if (!held) return false;
    if (slash + 1 <= root) return true;  // in a volume's root
    const Held& own = m_held.at(names::Key(folder));
    if (IsPlainFolder(own.handle.get(), own.path)) return true;
    m_link = folder;
    return false;
}

platform::Handle CHeldFolders::CreateFileAsItself(const std::string& path, DWORD share) const {
    const std::wstring wide = ExtendedPath(path);
    auto refuse = [] {
        ::SetLastError(ERROR_CANT_ACCESS_FILE);
        return platform::Handle();
    };
    if (NameShowsLink(wide)) return refuse();  // not even opened
    // A new file may have to go again: it is made with delete access,
    // which the handle kept then drops (a reader who shares no deletion
    // could not open the file while it was held).
    bool created = true;
    platform::Handle file(::CreateFileW(wide.c_str(), DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file && ::GetLastError() == ERROR_FILE_EXISTS) {
        created = false;
        file.reset(::CreateFileW(wide.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, share | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    }
    if (!file) return file;
    BY_HANDLE_FILE_INFORMATION info;
    const bool plain = ::GetFileInformationByHandle(file.get(), &info) &&
                       !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
                       info.nNumberOfLinks == 1 && !NameShowsLink(wide) && HandleNamesPath(file.get(), path) &&
                       StillWithoutLinks();
    if (!plain) {
        if (created) {
            // Made by this call, so its own to take back, through the handle.
            FILE_DISPOSITION_INFO gone{TRUE};
            ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &gone, sizeof gone);
        }
        return refuse();
    }
    if (created)
        return platform::Handle(::ReOpenFile(file.get(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, share | FILE_SHARE_DELETE, 0));
    if (!::SetEndOfFile(file.get())) return platform::Handle();  // at its start: emptied
    return file;
}

void CHeldFolders::LetGo(const std::string& folder) {
    for (auto it = m_held.begin(); it != m_held.end();)
        it = names::IsAtOrBelow(it->first, folder) ? m_held.erase(it) : std::next(it);
}

void CHeldFolders::Release() {
    m_held.clear();
    m_link.clear();
}
