// RemoveDirectoryTree: whatever stands at the old work folder's place below
// the user's temporary folder may have been laid out by someone else while
// the program runs elevated. Everything is therefore reached by
// extended-length path (names ending in a dot or a blank stay as they are,
// names outside the code page are seen whole), opened as itself (a link is
// deleted as a link, never entered) and deleted through that handle, which
// lets nobody write to it meanwhile.
#include "platform/filefind.h"
#include "platform/handle.h"
#include "util/fs.h"
#include "util/long_path.h"

namespace {

// Paths below this length are a drive root ("C:\") or less.
constexpr std::size_t kMinFolderPath = 4;

platform::Handle OpenForDeletion(const std::wstring& path) {
    return platform::Handle(::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// The attributes of what the handle holds, with those the search reported
// and those of the path: Wine opens a link's target even when asked for the
// link itself, and tells of the link only by name.
bool ReadAttributes(HANDLE h, const std::wstring& path, DWORD searched, DWORD& attributes) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(h, &info)) return false;
    attributes = info.dwFileAttributes | searched;
    const DWORD byName = ::GetFileAttributesW(path.c_str());
    if (byName != INVALID_FILE_ATTRIBUTES) attributes |= byName & FILE_ATTRIBUTE_REPARSE_POINT;
    return true;
}

// Deleted when its last handle closes. A read-only file refuses
// (ERROR_ACCESS_DENIED): attributes are not changed first.
BOOL MarkForDeletion(HANDLE h) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return ::SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition);
}

BOOL RemoveOpened(HANDLE h, const std::wstring& path, DWORD searched);

// Deletes every entry of a folder, each through a handle of its own that is
// closed (so the entry is gone) before the next one is opened.
BOOL RemoveChildren(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    platform::FindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!find.valid()) return FALSE;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = folder + L"\\" + name;
        platform::Handle h = OpenForDeletion(child);
        if (!h) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) continue;  // gone meanwhile
            return FALSE;
        }
        if (!RemoveOpened(h.get(), child, found.dwFileAttributes)) return FALSE;
    } while (::FindNextFileW(find.get(), &found));
    return ::GetLastError() == ERROR_NO_MORE_FILES;
}

BOOL RemoveOpened(HANDLE h, const std::wstring& path, DWORD searched) {
    DWORD attributes = 0;
    if (!ReadAttributes(h, path, searched, attributes)) return FALSE;
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !link && !RemoveChildren(path)) return FALSE;
    return MarkForDeletion(h);
}

}  // namespace

BOOL RemoveDirectoryTree(const std::string& path) {
    if (path.size() < kMinFolderPath) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::wstring wide = ExtendedPath(path);
    platform::Handle self = OpenForDeletion(wide);
    if (!self) {
        // "Not there" reads the same for a missing folder and a missing
        // parent; only this top level says so, nested failures keep theirs.
        DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) error = ERROR_PATH_NOT_FOUND;
        ::SetLastError(error);
        return FALSE;
    }
    DWORD attributes = 0;
    if (!ReadAttributes(self.get(), wide, 0, attributes)) return FALSE;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::SetLastError(ERROR_DIRECTORY);  // a file is no folder to remove
        return FALSE;
    }
    if (!RemoveOpened(self.get(), wide, 0)) return FALSE;
    self.reset();
    // Someone else's handle may keep a folder "delete pending" and its
    // parent not empty: only a folder that is gone counts.
    if (::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) {
        ::SetLastError(ERROR_DIR_NOT_EMPTY);
        return FALSE;
    }
    return TRUE;
}
