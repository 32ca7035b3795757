#include "util/held_folders.h"

#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <string_view>
#include <vector>

#include "platform/wide.h"
#include "util/long_path.h"
#include "util/name_key.h"

namespace {

// The length of path's root, the part no folder is opened for: "X:\",
// "\\server\share\", and the same after "\\?\" or "\\?\UNC\"; 0 for any
// other path (relative, a device).
std::size_t RootLength(std::string_view path) {
    std::size_t skip = 0;
    bool unc = false;
    if (path.rfind("\\\\?\\UNC\\", 0) == 0) {
        skip = 8;
        unc = true;
    } else if (path.rfind("\\\\?\\", 0) == 0) {
        skip = 4;
    } else if (path.rfind("\\\\", 0) == 0) {
        skip = 2;
        unc = true;
    }
    const std::string_view rest = path.substr(skip);
    if (!unc) {
        const char letter = rest.empty() ? '\0' : static_cast<char>(rest[0] & ~0x20);
        const bool drive = rest.size() >= 3 && letter >= 'A' && letter <= 'Z' && rest[1] == ':' && rest[2] == '\\';
        return drive ? skip + 3 : 0;
    }
    const std::size_t server = rest.find('\\');
    if (server == 0 || server == std::string_view::npos || rest.substr(0, server) == "." ||
        rest.substr(0, server) == "?")
        return 0;
    const std::size_t share = rest.find('\\', server + 1);
    if (share == server + 1) return 0;
    return share == std::string_view::npos ? path.size() : skip + share + 1;
}

// Wine opens what a link points to even when asked for the link itself,
// and shows the link as a reparse point only on its name: a name that
// shows one is a link whatever its handle says.
bool NameShowsLink(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Whether the reparse point open as h is the mount point of a volume: a
// mount-point tag whose target is a volume's name, "\??\Volume{GUID}\"
// (a junction has the same tag and a folder's path as its target). Layout
// of the data: tag, data length, reserved, then the offsets and lengths in
// bytes of the substitute and print names within the names that follow.
bool IsVolumeMountPoint(HANDLE h) {
    std::vector<unsigned char> data(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD got = 0;
    if (!::DeviceIoControl(h, FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(), static_cast<DWORD>(data.size()), &got,
                           nullptr) ||
        got < 16)
        return false;
    auto word = [&data](std::size_t at) { return static_cast<std::size_t>(data[at] | data[at + 1] << 8); };
    DWORD tag;
    std::memcpy(&tag, data.data(), sizeof tag);
    const std::size_t offset = word(8), length = word(10);
    if (tag != IO_REPARSE_TAG_MOUNT_POINT || 16 + offset + length > got) return false;
    std::wstring target(length / sizeof(wchar_t), L'\0');
    std::memcpy(target.data(), data.data() + 16 + offset, target.size() * sizeof(wchar_t));
    const std::wstring head = L"\\??\\Volume{";
    const std::size_t guid = 36;  // xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx
    if (target.rfind(head, 0) != 0 || target.size() < head.size() + guid + 1) return false;
    for (std::size_t i = 0; i < guid; ++i) {
        const wchar_t c = target[head.size() + i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != L'-' : !iswxdigit(c)) return false;
    }
    const std::wstring tail = target.substr(head.size() + guid);
    return tail == L"}" || tail == L"}\\";
}

// The name the system keeps for an open file or folder, below its volume's
// root ("\\a\\b.txt"); empty when it cannot tell.
std::string HandleName(HANDLE h) {
    std::vector<unsigned char> buffer(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
    if (!::GetFileInformationByHandleEx(h, FileNameInfo, info, static_cast<DWORD>(buffer.size()))) return {};
    return platform::Narrow(std::wstring_view(info->FileName, info->FileNameLength / sizeof(wchar_t)));
}

// Whether the file open as h is the one at path as far as its name tells:
// the handle's name is that of path's folder, opened now, and path's own
// name. Wine shows a link to a file nowhere but there: a handle opened
// through one keeps the target's name. Both names come from the one
// volume, so a mount point or a share on the way changes neither; the
// file's own name may be cut short (Wine cuts a name at 255 bytes of
// UTF-8), never changed.
bool HandleNamesPath(HANDLE h, const std::string& path) {
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos) return false;
    const std::string folderPath = slash < RootLength(path) ? path.substr(0, slash + 1) : path.substr(0, slash);
    platform::Handle folder(::CreateFileW(ExtendedPath(folderPath).c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder) return false;
    std::string held = names::Key(HandleName(h)), inFolder = names::Key(HandleName(folder.get()));
    const std::size_t split = held.rfind('\\');
    if (held.empty() || split == std::string::npos || split + 1 == held.size()) return false;
    while (!inFolder.empty() && inFolder.back() == '\\') inFolder.pop_back();  // the root's "\\"
    const std::string name = held.substr(split + 1);
    return held.compare(0, split, inFolder) == 0 && split == inFolder.size() &&
           names::Key(path.substr(slash + 1)).rfind(name, 0) == 0;
}

// A folder and no link, but for a volume's mount point.
bool IsPlainFolder(HANDLE h, const std::wstring& path) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(h, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return IsVolumeMountPoint(h);
    return !NameShowsLink(path);
}

}  // namespace

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

bool IsLinkAt(const std::string& path) {
    const std::wstring wide = ExtendedPath(path);
    if (NameShowsLink(wide)) return true;
    platform::Handle h(::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                     nullptr));
    if (!h) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(h.get(), &info)) return true;  // not known to be plain
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return !IsPlainFolder(h.get(), wide);
    return (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || info.nNumberOfLinks != 1 ||
           !HandleNamesPath(h.get(), path);
}

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
