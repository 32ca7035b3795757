#include "engine/placed_files.h"

#include "util/name_key.h"

namespace {

bool SameTime(const FILETIME& a, const FILETIME& b) { return ::CompareFileTime(&a, &b) == 0; }

}  // namespace

void CPlacedFiles::Begin() {
    m_active = true;
    m_linkSeen = false;
    m_listing = 1;
    m_files.clear();
}

std::string CPlacedFiles::KeyOf(const std::string& path) {
    // Windows' names are one name whatever their case: a listing may spell
    // a folder as the component does, extraction as the package does.
    return names::Key(path);
}

void CPlacedFiles::Record(const std::string& path, const FileFacts& facts) {
    State& state = m_files[KeyOf(path)];
    state.index = facts.index;
    state.size = facts.size;
    state.written = facts.written;
    state.listedBy = 0;
}

bool CPlacedFiles::Lists(const std::string& path, ULONGLONG size, const FILETIME& written) {
    if (!m_active) return true;
    auto it = m_files.find(KeyOf(path));
    if (it == m_files.end() || it->second.listedBy == m_listing) return false;
    it->second.listedBy = m_listing;
    return it->second.size == size && SameTime(it->second.written, written);
}

bool CPlacedFiles::Confirms(const std::string& path, const FileFacts& facts) const {
    if (!m_active) return true;
    if (facts.attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return false;
    // A placed file has the one name extraction gave it: a hard link made
    // later would install its bytes under a name someone else chose.
    if (facts.links != 1) return false;
    auto it = m_files.find(KeyOf(path));
    if (it == m_files.end()) return false;
    const State& s = it->second;
    return s.index == facts.index && s.size == facts.size && SameTime(s.written, facts.written);
}
