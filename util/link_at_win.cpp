#include "util/link_at_win.h"

#include <winioctl.h>

#include <cstring>
#include <cwctype>
#include <vector>

#include "platform/handle.h"
#include "platform/wide.h"
#include "util/long_path.h"
#include "util/name_key.h"

namespace linkat {

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
static bool IsVolumeMountPoint(HANDLE h) {
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
static std::string HandleName(HANDLE h) {
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

}  // namespace linkat

bool IsLinkAt(const std::string& path) {
    using namespace linkat;
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

