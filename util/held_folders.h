#pragma once
// The way to a file the elevated program writes in a folder others may
// write to (the log, where the administrator's /log points, often %TEMP%):
// every folder from the volume's root down opened as itself, never through
// a link, and held so that none can be renamed or replaced by one while
// the file is opened; then the file, opened as itself too.

#include <windows.h>

#include <map>
#include <string>

#include "platform/handle.h"
#include "util/link_at.h"


class CHeldFolders {
public:
    CHeldFolders() = default;
    CHeldFolders(const CHeldFolders&) = delete;
    CHeldFolders& operator=(const CHeldFolders&) = delete;

    // Opens every folder of folder (a full path: "C:\a\b", "\\server\share\a",
    // also in their "\\?\" forms) below its root, outermost first, without
    // following a reparse point, and holds each without delete sharing,
    // beside what is held already (a folder held once is not opened again).
    // A link on the way (a junction, a symbolic link, any reparse point but
    // the mount point of a volume, which only administrators can make)
    // refuses the folder: FALSE with ERROR_CANT_ACCESS_FILE, and LinkFolder
    // names it. Any other failure keeps the failing call's error (a missing
    // folder; ERROR_BAD_PATHNAME for a path without a root).
    BOOL Hold(const std::string& folder);

    // Whether folder is held.
    bool Holds(const std::string& folder) const;

    // Whether every held folder is still a folder and no link, looked at
    // through the handles.
    bool StillWithoutLinks() const;
    // Whether every folder path runs through is held, down to path's own
    // folder, and that one still passes; LinkFolder names one that fails.
    bool StillWithoutLinks(const std::string& path);

    // The file at path (in the last folder held) opened for writing as
    // CREATE_ALWAYS would, but as itself: made new where nothing is there,
    // else opened without following a link and emptied only once it is
    // known to be a plain file with one name. A link of any kind, a file
    // with a second hard link, or held folders that no longer pass give no
    // handle (ERROR_CANT_ACCESS_FILE), and nothing at the link's end is
    // touched; a file made new for it is deleted again. The handle shares
    // what share says, and deletion (the file it holds stays its own).
    platform::Handle CreateFileAsItself(const std::string& path, DWORD share) const;

    const std::string& LinkFolder() const { return m_link; }
    // Lets folder go (to remove it), and every held folder below it.
    void LetGo(const std::string& folder);
    void Release();

private:
    struct Held {
        platform::Handle handle;
        std::wstring path;  // the folder's extended path
    };
    std::map<std::string, Held> m_held;  // by the folder's key
    std::string m_link;
};
