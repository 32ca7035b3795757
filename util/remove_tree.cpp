// RemoveDirectoryTree: whatever stands at the old work folder's place below
// the user's temporary folder may have been laid out by someone else while
// the program runs elevated. Everything is therefore reached by
// extended-length path (names ending in a dot or a blank stay as they are,
// names outside the code page are seen whole), opened as itself (a link is
// removed as a link, never entered), held through a handle that lets nobody
// write to it meanwhile, and deleted by name, which never follows a link.
#include <cstddef>
#include <vector>

#include "platform/handle.h"
#include "util/fs.h"
#include "util/long_path.h"

namespace {

// Paths below this length are a drive root ("C:\") or less.
constexpr std::size_t kMinFolderPath = 4;

// The folder's entries are read through the same handle.
platform::Handle OpenForDeletion(const std::wstring& path) {
    return platform::Handle(::CreateFileW(path.c_str(), DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// By name: where the system opens a link's target in spite of being asked
// for the link itself (Wine does), a deletion through the handle would
// delete the target. The entry goes when the caller's handle closes. A
// read-only file refuses (ERROR_ACCESS_DENIED): attributes are not changed.
BOOL DeleteByName(const std::wstring& path, bool folder) {
    return folder ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str());
}

bool HasLinkAttribute(const std::wstring& path, DWORD listed) {
    if (listed & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    const DWORD byName = ::GetFileAttributesW(path.c_str());
    return byName != INVALID_FILE_ATTRIBUTES && (byName & FILE_ATTRIBUTE_REPARSE_POINT);
}

struct Entry {
    std::wstring name;
    DWORD attributes;
    LONGLONG id;  // the file index as listed (0: not known)
};

// Every entry of the open folder but "." and "..". Layout of each record
// (FILE_ID_BOTH_DIR_INFO): the offset of the next record (0 for the last),
// the attributes, the file index, the name's length in bytes and the name
// in UTF-16, not terminated. false with the last error on failure.
bool ListEntries(HANDLE folder, std::vector<Entry>& entries) {
    std::vector<LONGLONG> storage(8 * 1024);  // 64 KiB, aligned for the records
    auto* buffer = reinterpret_cast<unsigned char*>(storage.data());
    const std::size_t bufferSize = storage.size() * sizeof(LONGLONG);
    FILE_INFO_BY_HANDLE_CLASS request = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!::GetFileInformationByHandleEx(folder, request, buffer, static_cast<DWORD>(bufferSize)))
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
            if (name != L"." && name != L"..")
                entries.push_back(Entry{std::move(name), record->FileAttributes, record->FileId.QuadPart});
            if (record->NextEntryOffset == 0) break;
            at += record->NextEntryOffset;
        }
    }
}

BOOL RemoveOpened(HANDLE h, const std::wstring& path, DWORD listed);

// Deletes every entry of a folder, each through a handle of its own that is
// closed (so the entry is gone) before the next one is opened. A link that
// could not be held as the link itself (the system opened its target) is
// left alone, and the removal fails once the rest is done.
BOOL RemoveChildren(HANDLE folder, const std::wstring& path) {
    std::vector<Entry> entries;
    if (!ListEntries(folder, entries)) return FALSE;
    DWORD linkError = ERROR_SUCCESS;
    for (const Entry& entry : entries) {
        const std::wstring child = path + L"\\" + entry.name;
        platform::Handle h = OpenForDeletion(child);
        if (!h) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) continue;  // gone meanwhile
            return FALSE;
        }
        BY_HANDLE_FILE_INFORMATION info;
        if (!::GetFileInformationByHandle(h.get(), &info)) return FALSE;
        // The entry as listed and the file held must be one: another file
        // index means the system opened what a link points to.
        const LONGLONG held = (static_cast<LONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        const bool other = entry.id != 0 && held != 0 && entry.id != held;
        if ((other || HasLinkAttribute(child, entry.attributes)) &&
            !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            linkError = ERROR_CANT_ACCESS_FILE;
            continue;
        }
        if (!RemoveOpened(h.get(), child, entry.attributes)) return FALSE;
    }
    if (linkError != ERROR_SUCCESS) {
        ::SetLastError(linkError);
        return FALSE;
    }
    return TRUE;
}

// The handle holds the entry itself: a link (a held reparse point) goes by
// its name alone, a folder after its content.
BOOL RemoveOpened(HANDLE h, const std::wstring& path, DWORD listed) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(h, &info)) return FALSE;
    const bool folder = ((info.dwFileAttributes | listed) & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (folder && !link && !RemoveChildren(h, path)) return FALSE;
    return DeleteByName(path, folder);
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
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(self.get(), &info)) return FALSE;
    if (HasLinkAttribute(wide, 0) && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        ::SetLastError(ERROR_CANT_ACCESS_FILE);  // a link, but its target was opened
        return FALSE;
    }
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
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
