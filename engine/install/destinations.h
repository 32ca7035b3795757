#pragma once
// Every change the transaction, its undo and the recovery make in the
// destination folders goes through this one object. Destination folders
// may be writable by ordinary users, who can make links: the folders are
// first held (each, from the volume's root down, opened as itself and kept
// open without delete sharing, so that none can be renamed or replaced by
// a link until the object goes), and a change is made only in a held
// folder that still passes, and never through a link at the file's own
// name (a link there is only ever renamed as itself). Each call is false with the last error set on failure; a link met
// anywhere gives ERROR_CANT_ACCESS_FILE and Link() names where.

#include <windows.h>

#include <string>

#include "util/held_folders.h"

namespace install {

class Destinations {
public:
    // Holds folder, or where it does not exist yet, the part of it that
    // does (CreateFolder holds the rest as it makes it).
    bool Hold(const std::string& folder);
    bool Holds(const std::string& folder) const { return m_folders.Holds(folder); }
    // Whether path itself is a link of any kind (a file's symbolic link, a
    // junction) or a file with a second name (IsLinkAt); Link() then names
    // it.
    bool IsLink(const std::string& path);
    // The folder or file where a link was met; empty while none was.
    const std::string& Link() const { return m_link; }

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

    // Whether a change may be made at path: its folder held and still no
    // link, and with asItself, path itself no link (a change made through
    // its name would reach the link's end). false with
    // ERROR_CANT_ACCESS_FILE.
    bool MayChange(const std::string& path, bool asItself = false);

    // Made, or there already as a folder, and held.
    bool CreateFolder(const std::string& path);
    // Removed only while empty: one something else has filled stays.
    void RemoveEmptyFolder(const std::string& path);

private:
    CHeldFolders m_folders;
    std::string m_link;
};

}  // namespace install
