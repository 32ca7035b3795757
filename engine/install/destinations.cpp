#include "engine/install/destinations.h"

#include "engine/plan/plan.h"
#include "platform/wide.h"
#include "util/fs.h"

namespace install {

namespace {
constexpr DWORD kClearedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

}  // namespace

bool Destinations::Hold(const std::string& folder) {
    // Up to the part that exists: asked by name, which a link could
    // answer, but Hold then opens every folder of it as itself.
    std::string existing = folder;
    while (!IsFolder(existing)) {
        std::string parent = plan::ParentFolder(existing);
        if (parent.empty() || parent == existing) break;  // a root: nothing to hold
        existing = std::move(parent);
    }
    if (m_folders.Hold(existing)) return true;
    if (!m_folders.LinkFolder().empty()) m_link = m_folders.LinkFolder();
    return false;
}

bool Destinations::IsLink(const std::string& path) {
    if (!IsLinkAt(path)) return false;
    m_link = path;
    return true;
}

bool Destinations::MayChange(const std::string& path, bool asItself) {
    if (m_folders.StillWithoutLinks(path)) {
        if (!asItself || !IsLink(path)) return true;
    } else {
        m_link = m_folders.LinkFolder();
    }
    ::SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
}

DWORD Destinations::Attributes(const std::string& path) const {
    return ::GetFileAttributesW(platform::Wide(path).c_str());
}

bool Destinations::IsFolder(const std::string& path) const {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Destinations::SetAttributes(const std::string& path, DWORD attributes) {
    // The attributes of a link's end are set through the link.
    if (!MayChange(path, true)) return false;
    return ::SetFileAttributesW(platform::Wide(path).c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL) !=
           FALSE;
}

bool Destinations::Delete(const std::string& path) {
    // Not every system deletes a link as itself (Wine deletes what a link
    // to a file points to): a link planted at a name the update deletes
    // stays.
    if (!MayChange(path, true)) return false;
    const DWORD a = Attributes(path);
    if (a != INVALID_FILE_ATTRIBUTES && (a & kClearedAttributes)) SetAttributes(path, a & ~kClearedAttributes);
    return ::DeleteFileW(platform::Wide(path).c_str()) != FALSE;
}

void Destinations::DeleteIfThere(const std::string& path) {
    if (Exists(path)) Delete(path);
}

void Destinations::DeleteNowOrAtRestart(const std::string& path) {
    if (!Delete(path) && ::GetLastError() != ERROR_CANT_ACCESS_FILE)
        ::MoveFileExW(platform::Wide(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

bool Destinations::Move(const std::string& from, const std::string& to, bool replace) {
    if (!MayChange(from) || !MayChange(to)) return false;
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return ::MoveFileExW(platform::Wide(from).c_str(), platform::Wide(to).c_str(), flags) != FALSE;
}

bool Destinations::MoveOpen(HANDLE file, const std::string& path) {
    return MayChange(path) && RenameOpenFile(file, path, false) != FALSE;
}

bool Destinations::CreateFolder(const std::string& path) {
    if (!MayChange(path)) return false;
    if (!::CreateDirectoryW(platform::Wide(path).c_str(), nullptr)) {
        const DWORD err = ::GetLastError();
        if (!IsFolder(path)) {
            ::SetLastError(err);
            return false;
        }
    }
    // Held as itself: a link someone made at its name first is refused.
    return Hold(path);
}

void Destinations::RemoveEmptyFolder(const std::string& path) {
    if (!MayChange(path)) return;
    m_folders.LetGo(path);
    ::RemoveDirectoryW(platform::Wide(path).c_str());
}

}  // namespace install
