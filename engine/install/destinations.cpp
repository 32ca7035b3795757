#include "engine/install/destinations.h"

#include "platform/wide.h"
#include "util/fs.h"

namespace install {

namespace {
constexpr DWORD kClearedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
}

DWORD Destinations::Attributes(const std::string& path) const {
    return ::GetFileAttributesW(platform::Wide(path).c_str());
}

bool Destinations::IsFolder(const std::string& path) const {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Destinations::SetAttributes(const std::string& path, DWORD attributes) {
    return ::SetFileAttributesW(platform::Wide(path).c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL) !=
           FALSE;
}

bool Destinations::Delete(const std::string& path) {
    const DWORD a = Attributes(path);
    if (a != INVALID_FILE_ATTRIBUTES && (a & kClearedAttributes)) SetAttributes(path, a & ~kClearedAttributes);
    return ::DeleteFileW(platform::Wide(path).c_str()) != FALSE;
}

void Destinations::DeleteIfThere(const std::string& path) {
    if (Exists(path)) Delete(path);
}

void Destinations::DeleteNowOrAtRestart(const std::string& path) {
    if (!Delete(path)) ::MoveFileExW(platform::Wide(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

bool Destinations::Move(const std::string& from, const std::string& to, bool replace) {
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return ::MoveFileExW(platform::Wide(from).c_str(), platform::Wide(to).c_str(), flags) != FALSE;
}

bool Destinations::MoveOpen(HANDLE file, const std::string& path) { return RenameOpenFile(file, path, false) != FALSE; }

bool Destinations::CreateFolder(const std::string& path) {
    if (::CreateDirectoryW(platform::Wide(path).c_str(), nullptr)) return true;
    const DWORD err = ::GetLastError();
    if (IsFolder(path)) return true;
    ::SetLastError(err);
    return false;
}

void Destinations::RemoveEmptyFolder(const std::string& path) { ::RemoveDirectoryW(platform::Wide(path).c_str()); }

}  // namespace install
