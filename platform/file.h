#pragma once
// A file opened with CreateFileW, standing in for the framework's CFile with
// the modes the program opens files in: every failed operation throws
// FileException with the system's error code.

#include <windows.h>

#include <exception>
#include <string>

#include "platform/handle.h"

namespace platform {

// error is the system's error code of the failed call.
struct FileException : std::exception {
    explicit FileException(DWORD code) : error(code) {}
    const char* what() const noexcept override { return "file error"; }
    DWORD error;
};

// What the static status query reports of a named file.
struct FileStatus {
    ULONGLONG size = 0;
    long long mtime = 0;  // last modification, whole seconds since 1970-01-01 UTC
    DWORD attributes = 0;
};

class File {
public:
    // Open flags: one access mode, one sharing mode, creation flags.
    enum : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        shareExclusive = 0x0010,   // (0 means the same)
        shareDenyWrite = 0x0020,
        modeCreate = 0x1000,       // create, or truncate an existing file
    };

    File() = default;
    File(const std::string& path, UINT flags) { Open(path, flags); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() = default;  // an open file is closed quietly

    void Open(const std::string& path, UINT flags);
    // Reads up to count bytes; returns how many were read, 0 at the end.
    UINT Read(void* buffer, UINT count);
    // Writes all count bytes (a short write throws ERROR_DISK_FULL).
    void Write(const void* buffer, UINT count);
    ULONGLONG GetLength() const;
    // Identity, size and times of the open file, from its handle.
    void GetInformation(BY_HANDLE_FILE_INFORMATION& info) const;
    void Close();
    bool IsOpen() const { return m_handle.valid(); }
    const std::string& GetFilePath() const { return m_path; }

    // Size and modification time of a named file, without opening it.
    // false (last error set) when it cannot be queried.
    static bool GetStatus(const std::string& path, FileStatus& status);

private:
    HANDLE CheckedHandle() const;
    Handle m_handle;
    std::string m_path;
};

}  // namespace platform
