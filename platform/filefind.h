#pragma once
// A directory search standing in for the framework's CFileFind: FindFile
// starts it, and each FindNextFile steps to the next entry and tells whether
// yet another one follows, so the loop handles the last entry as well:
//
//   FileFind find;
//   BOOL more = find.FindFile(JoinPath(folder, "*.*"));
//   while (more) { more = find.FindNextFile(); ... find.GetFilePath() ... }

#include <windows.h>

#include <string>

#include "platform/handle.h"

namespace platform {

class FileFind {
public:
    FileFind() = default;
    FileFind(const FileFind&) = delete;
    FileFind& operator=(const FileFind&) = delete;

    // Starts a search; TRUE when at least one entry matches. FALSE leaves
    // FindFirstFileW's error as the last error. No entry is current yet.
    BOOL FindFile(const std::string& pattern = "*.*");
    // Makes the next entry current; TRUE when another one follows it.
    BOOL FindNextFile();
    void Close();

    // Of the current entry:
    std::string GetFileName() const;
    // The search pattern's folder part (up to its last backslash) + name.
    std::string GetFilePath() const;
    DWORD GetAttributes() const { return m_current.dwFileAttributes; }
    bool IsDirectory() const { return (m_current.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool IsReparsePoint() const {
        return (m_current.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    }
    // "." or "..", the entries for the folder itself and its parent.
    bool IsDots() const;
    ULONGLONG GetLength() const {
        return (static_cast<ULONGLONG>(m_current.nFileSizeHigh) << 32) | m_current.nFileSizeLow;
    }
    FILETIME GetLastWriteTime() const { return m_current.ftLastWriteTime; }

private:
    FindHandle m_handle;
    std::string m_root;
    bool m_hasNext = false;
    WIN32_FIND_DATAW m_current{};
    WIN32_FIND_DATAW m_next{};
};

}  // namespace platform
