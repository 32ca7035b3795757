#pragma once
// Every change the transaction, its undo and the recovery make in the
// destination folders goes through this one object: today by path; it is
// the place to hold the destination folders open and act relative to them.
// Each call is false with the last error set on failure.

#include <windows.h>

#include <string>

namespace install {

class Destinations {
public:
    DWORD Attributes(const std::string& path) const;  // INVALID_FILE_ATTRIBUTES when nothing is there
    bool Exists(const std::string& path) const { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }
    bool IsFolder(const std::string& path) const;
    // No attribute at all is spelled FILE_ATTRIBUTE_NORMAL.
    bool SetAttributes(const std::string& path, DWORD attributes);

    // A file deleted whatever its attributes (read-only, hidden, system).
    bool Delete(const std::string& path);
    void DeleteIfThere(const std::string& path);
    // Deleted now, or at the next restart when it is held open.
    void DeleteNowOrAtRestart(const std::string& path);

    // Renamed, written through; replace: over a file at to.
    bool Move(const std::string& from, const std::string& to, bool replace);
    // The open file (with delete access) moved to path, which must be free.
    bool MoveOpen(HANDLE file, const std::string& path);

    // Made, or there already as a folder.
    bool CreateFolder(const std::string& path);
    // Removed only while empty: one something else has filled stays.
    void RemoveEmptyFolder(const std::string& path);
};

}  // namespace install
