// RemoveDirectoryTree: whatever stands at the old work folder's place below
// the user's temporary folder may have been laid out by someone else while
// the program runs elevated. Everything is therefore reached by
// extended-length path (names ending in a dot or a blank stay as they are,
// names outside the code page are seen whole), opened as itself (a link is
// deleted as a link, never entered) and deleted through that handle, which
// lets nobody write to it meanwhile.
#include <cstddef>
#include <vector>

#include "platform/handle.h"
#include "util/fs.h"
#include "util/long_path.h"

namespace {

// Paths below this length are a drive root ("C:\") or less.
constexpr std::size_t kMinFolderPath = 4;

// The folder's entries are read through the same handle, which also shares
// no write access: nothing can be added while it is emptied.
platform::Handle OpenForDeletion(const std::wstring& path) {
    return platform::Handle(::CreateFileW(path.c_str(), DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// The attributes of what the handle holds, with those the folder listing
// reported and those of the path: Wine opens a link's target even when asked
// for the link itself, and tells of the link only by name.
bool ReadAttributes(HANDLE h, const std::wstring& path, DWORD listed, DWORD& attributes) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(h, &info)) return false;
    attributes = info.dwFileAttributes | listed;
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

struct Entry {
    std::wstring name;
    DWORD attributes;
};

// Every entry of the open folder but "." and "..". Layout of each record
// (FILE_ID_BOTH_DIR_INFO): the offset of the next record (0 for the last),
// the attributes, the name's length in bytes and the name in UTF-16, not
// terminated. false with the last error on failure.
bool ListEntries(HANDLE folder, std::vector<Entry>& entries) {
    std::vector<LONGLONG> storage(8 * 1024);  // 64 KiB, aligned for the records
    auto* buffer = reinterpret_cast<unsigned char*>(storage.data());
    const std::size_t bufferSize = storage.size() * sizeof(LONGLONG);
    FILE_INFO_BY_HANDLE_CLASS request = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!::GetFileInformationByHandleEx(folder, request, buffer, bufferSize))
            return ::GetLastError() == ERROR_NO_MORE_FILES;
        request = FileIdBothDirectoryInfo;
        std::size_t at = 0;
        for (;;) {
            if (at > bufferSize - sizeof(FILE_ID_BOTH_DIR_INFO)) {
                ::SetLastError(ERROR_INVALID_DATA);
                return false;
            }
            const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + at);
            const std::size_t nameOffset = at + offsetof(FILE_ID_BOTH_DIR_INFO, FileName);
            if (record->FileNameLength > bufferSize - nameOffset) {
                ::SetLastError(ERROR_INVALID_DATA);
                return false;
            }
            std::wstring name(record->FileName, record->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") entries.push_back(Entry{std::move(name), record->FileAttributes});
            if (record->NextEntryOffset == 0) break;
            at += record->NextEntryOffset;
        }
    }
}

BOOL RemoveOpened(HANDLE h, const std::wstring& path, DWORD listed);

// Deletes every entry of a folder, each through a handle of its own that is
// closed (so the entry is gone) before the next one is opened.
BOOL RemoveChildren(HANDLE folder, const std::wstring& path) {
    std::vector<Entry> entries;
    if (!ListEntries(folder, entries)) return FALSE;
    for (const Entry& entry : entries) {
        const std::wstring child = path + L"\\" + entry.name;
        platform::Handle h = OpenForDeletion(child);
        if (!h) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) continue;  // gone meanwhile
            return FALSE;
        }
        if (!RemoveOpened(h.get(), child, entry.attributes)) return FALSE;
    }
    return TRUE;
}

BOOL RemoveOpened(HANDLE h, const std::wstring& path, DWORD listed) {
    DWORD attributes = 0;
    if (!ReadAttributes(h, path, listed, attributes)) return FALSE;
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !link && !RemoveChildren(h, path)) return FALSE;
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
