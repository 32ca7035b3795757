#include "util/fs.h"

#include <cstring>
#include <vector>

#include "platform/filefind.h"
#include "platform/handle.h"
#include "platform/last_error.h"
#include "platform/mbcs.h"
#include "platform/prompt.h"
#include "util/long_path.h"
#include "util/path.h"
#include "util/syserr.h"

namespace {

// Paths below this length are a drive root ("C:\") or less.
constexpr std::size_t kMinFolderPath = 4;

// The work folder lies in the user's writable temporary folder while the
// update runs elevated: whatever stands at a folder's place may be a link
// planted there. The folder is opened as itself (never through a link) and
// held without delete sharing while it is walked, so that it can be neither
// renamed nor swapped for a link between the check and the walk.
platform::Handle OpenFolderItself(const std::string& folder) {
    return platform::Handle(::CreateFileA(
        // FILE_LIST_DIRECTORY: a handle for attributes alone takes no part
        // in sharing, so it would not keep a deleting open away.
        folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Whether the folder held open is a link (junction, symbolic link, mount
// point). The attributes of the path are asked as well: Wine opens the
// target even when asked for the link itself, and tells of the link only
// there.
bool IsLink(const platform::Handle& self, const std::string& folder) {
    BY_HANDLE_FILE_INFORMATION info;
    if (::GetFileInformationByHandle(self.get(), &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return true;
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

std::string CreateTempFileName() {
    char folder[MAX_PATH];
    const DWORD len = ::GetTempPathA(MAX_PATH, folder);
    if (len == 0) return std::string();
    if (len >= MAX_PATH) {  // the folder's name would not fit the buffer
        ::SetLastError(ERROR_BUFFER_OVERFLOW);
        return std::string();
    }
    return CreateTempFileNameIn(folder);
}

std::string CreateTempFileNameIn(const std::string& folder) {
    char name[MAX_PATH];
    if (!::GetTempFileNameA(folder.c_str(), "kvc", 0, name)) return std::string();
    return name;
}

BOOL DeleteFilesRecursive(const std::string& folder, std::list<std::string>& list) {
    platform::Handle self = OpenFolderItself(folder);
    if (!self) {
        DWORD err = ::GetLastError();
        // Callers tell "no folder there" by ERROR_PATH_NOT_FOUND, which is
        // what a search in a missing folder reports.
        if (err == ERROR_FILE_NOT_FOUND) err = ERROR_PATH_NOT_FOUND;
        ::SetLastError(err);
        return FALSE;
    }
    if (IsLink(self, folder)) {
        // Listed like an empty folder: removing it removes the link alone.
        list.push_back(folder);
        return TRUE;
    }

    platform::FileFind find;
    BOOL more = find.FindFile(JoinPath(folder, "*.*"));
    if (!more) return FALSE;
    while (more) {
        more = find.FindNextFile();
        if (find.IsDots()) continue;
        const std::string path = find.GetFilePath();
        if (find.IsDirectory()) {
            if (!DeleteFilesRecursive(path, list)) return FALSE;
        } else if (!::DeleteFileA(path.c_str())) {
            return FALSE;
        }
    }
    list.push_back(folder);
    return TRUE;
}

BOOL CreateDirectoryPath(const std::string& path) {
    if (path.size() < kMinFolderPath) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (::CreateDirectoryA(path.c_str(), nullptr)) return TRUE;

    // Walk up to the deepest folder that can be made...
    std::string current = path;
    for (;;) {
        if (::GetLastError() != ERROR_PATH_NOT_FOUND) return FALSE;
        const std::size_t slash = mbcs::ReverseFind(current, '\\');
        if (slash == mbcs::npos) return FALSE;  // last error stays ERROR_PATH_NOT_FOUND
        current.resize(slash);
        if (::CreateDirectoryA(current.c_str(), nullptr)) break;
    }
    // ...then down again, one level at a time, to the full path.
    while (current.size() < path.size()) {
        const std::size_t next = mbcs::Find(path, '\\', current.size() + 1);
        current = next == mbcs::npos ? path : path.substr(0, next);
        if (!::CreateDirectoryA(current.c_str(), nullptr)) return FALSE;
    }
    return TRUE;
}

namespace {

// Runs put(source, destination); when the destination's folder is missing,
// creates it and runs it once more. A failure of that second attempt is shown
// to the user (the system's text), the last error kept as put left it.
template <typename Put>
BOOL PutCreatingPath(const std::string& source, const std::string& destination, Put put) {
    if (put(source.c_str(), destination.c_str())) return TRUE;
    if (::GetLastError() != ERROR_PATH_NOT_FOUND) return FALSE;
    if (!CreateDirectoryPath(PathBeforeLastBackslash(destination))) return FALSE;
    if (put(source.c_str(), destination.c_str())) return TRUE;
    // The caller builds its own report from the last error: keep the copy's.
    platform::LastErrorKeeper keep;
    platform::AppMessageBox(GetSystemErrorText(keep.error()), MB_OK | MB_ICONEXCLAMATION);
    return FALSE;
}

}  // namespace

BOOL CopyFileCreatingPath(const std::string& source, const std::string& destination,
                          BOOL failIfExists) {
    return PutCreatingPath(source, destination, [failIfExists](const char* from, const char* to) {
        return ::CopyFileA(from, to, failIfExists) != FALSE;
    });
}

BOOL RenameOpenFile(HANDLE h, const std::string& destination, bool replace) {
    const std::wstring name = ExtendedPath(destination);
    const std::size_t nameBytes = name.size() * sizeof(wchar_t);
    // The name runs on past the structure's one-character array, with its
    // terminating zero.
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, name.c_str(), nameBytes + sizeof(wchar_t));
    return ::SetFileInformationByHandle(h, FileRenameInfo, info, static_cast<DWORD>(buffer.size()));
}
