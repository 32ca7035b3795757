#include "platform/filefind.h"

#include <cwchar>

#include "platform/wide.h"

namespace platform {

BOOL FileFind::FindFile(const std::string& pattern) {
    Close();
    HANDLE h = ::FindFirstFileW(Wide(pattern).c_str(), &m_next);
    if (h == INVALID_HANDLE_VALUE) return FALSE;
    m_handle.reset(h);
    m_hasNext = true;
    // Everything up to and including the pattern's last backslash, so that
    // "C:\*.*" gives "C:\name" and "\*.*" gives "\name".
    const std::size_t slash = pattern.rfind('\\');
    m_root = slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
    return TRUE;
}

BOOL FileFind::FindNextFile() {
    if (!m_handle.valid() || !m_hasNext) return FALSE;
    m_current = m_next;
    m_hasNext = ::FindNextFileW(m_handle.get(), &m_next) != FALSE;
    return m_hasNext ? TRUE : FALSE;
}

void FileFind::Close() {
    m_handle.reset();
    m_hasNext = false;
    m_root.clear();
    m_current = WIN32_FIND_DATAW{};
}

std::string FileFind::GetFileName() const { return Narrow(m_current.cFileName); }

std::string FileFind::GetFilePath() const { return m_root + GetFileName(); }

bool FileFind::IsDots() const {
    return std::wcscmp(m_current.cFileName, L".") == 0 || std::wcscmp(m_current.cFileName, L"..") == 0;
}

}  // namespace platform
