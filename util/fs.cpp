#include "util/fs.h"

#include <cstring>
#include <vector>

#include "platform/wide.h"
#include "util/long_path.h"
#include "util/path.h"

namespace {

// Paths below this length are a drive root ("C:\") or less.
constexpr std::size_t kMinFolderPath = 4;

bool MakeFolder(const std::string& path) { return ::CreateDirectoryW(platform::Wide(path).c_str(), nullptr) != FALSE; }

}  // namespace

std::string TempFolder() {
    wchar_t buf[MAX_PATH + 1] = {};  // the longest the system gives
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, buf);
    if (n == 0 || n > MAX_PATH) {
        if (n) ::SetLastError(ERROR_BUFFER_OVERFLOW);
        return std::string();
    }
    return platform::Narrow(std::wstring_view(buf, n));
}

std::string VolumeRootOf(const std::string& path) {
    const std::wstring wide = platform::Wide(path);
    // The root is never longer than the path it is part of.
    std::wstring root(wide.size() + 2, L'\0');
    if (!::GetVolumePathNameW(wide.c_str(), root.data(), static_cast<DWORD>(root.size()))) return std::string();
    return platform::Narrow(root.c_str());
}

BOOL CreateDirectoryPath(const std::string& path) {
    if (path.size() < kMinFolderPath) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (MakeFolder(path)) return TRUE;

    // Walk up to the deepest folder that can be made...
    std::string current = path;
    for (;;) {
        if (::GetLastError() != ERROR_PATH_NOT_FOUND) return FALSE;
        const std::size_t slash = current.rfind('\\');
        if (slash == std::string::npos) return FALSE;  // last error stays ERROR_PATH_NOT_FOUND
        current.resize(slash);
        if (MakeFolder(current)) break;
    }
    // ...then down again, one level at a time, to the full path.
    while (current.size() < path.size()) {
        const std::size_t next = path.find('\\', current.size() + 1);
        current = next == std::string::npos ? path : path.substr(0, next);
        if (!MakeFolder(current)) return FALSE;
    }
    return TRUE;
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
