#include "engine/placed_files.h"

#include "platform/handle.h"

namespace {

// The file itself (a link is opened as the link where the system can), read
// without keeping anybody from it.
bool ReadInfo(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    platform::Handle h(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return h && ::GetFileInformationByHandle(h.get(), &info);
}

ULONGLONG SizeOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

}  // namespace

void CPlacedFiles::Begin() {
    m_active = true;
    m_linkSeen = false;
    m_files.clear();
}

bool CPlacedFiles::Record(const std::string& path) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!ReadInfo(path, info)) return false;
    Record(info);
    return true;
}

void CPlacedFiles::Record(const BY_HANDLE_FILE_INFORMATION& info) {
    State& state = m_files[Key{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow}];
    state.size = SizeOf(info);
    state.written = info.ftLastWriteTime;
}

bool CPlacedFiles::Matches(const std::string& path, std::set<Key>& listed) const {
    BY_HANDLE_FILE_INFORMATION info;
    if (!ReadInfo(path, info)) return false;
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return false;
    // A placed file has the one name extraction gave it: a hard link made
    // later would install its bytes under a name someone else chose.
    if (info.nNumberOfLinks != 1) return false;
    const Key key{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    auto it = m_files.find(key);
    if (it == m_files.end() || !listed.insert(key).second) return false;
    return it->second.size == SizeOf(info) &&
           CompareFileTime(&it->second.written, &info.ftLastWriteTime) == 0;
}
