#pragma once
// Folder and file helpers of the update. BOOL results: TRUE on success; on
// FALSE the last error is the failing system call's, unless noted.

#include <windows.h>

#include <list>
#include <string>

// Creates a unique empty file named "kvc....tmp" in the temporary folder and
// returns its path; "" on failure. The caller deletes the file.
std::string CreateTempFileName();
// The same in the given folder (the program's private work folder, where
// nobody else can swap the file between its writing and its copying).
std::string CreateTempFileNameIn(const std::string& folder);

// Deletes every file below folder and appends its folders to list deepest
// first (every folder after the folders below it, folder itself last).
// Stops at the first file that cannot be deleted (read-only files are not
// made writable). A link (junction, symbolic link, mount point) is never
// entered: it is listed like an empty folder, so that removing the listed
// folders removes the link and nothing it points to.
BOOL DeleteFilesRecursive(const std::string& folder, std::list<std::string>& list);

// Deletes a folder with everything in it, completely or not at all: names
// that end in a dot or a blank are removed too, a link is removed as a link
// and never entered, and each entry is deleted through a handle that shares
// no write access. Refuses paths under 4 bytes (a drive root); a file at
// path gives ERROR_DIRECTORY. A missing folder gives FALSE with
// ERROR_PATH_NOT_FOUND; any failure below it keeps its own error. Stops at
// the first entry that cannot be deleted (a read-only file: attributes are
// not changed first); what was deleted before stays deleted.
BOOL RemoveDirectoryTree(const std::string& path);

// Creates a folder (given without a trailing backslash) and every missing
// folder above it. A folder that already exists gives FALSE
// (ERROR_ALREADY_EXISTS); folders made before a failure stay.
BOOL CreateDirectoryPath(const std::string& path);

// CopyFileA; when the destination's folder is missing, creates it and tries
// once more. Only a failure of that second attempt is shown to the user (the
// system's text, exclamation box); the last error is still the copy's after
// the box.
BOOL CopyFileCreatingPath(const std::string& source, const std::string& destination,
                          BOOL failIfExists);

// Renames the file open as h (opened with DELETE access) to destination
// through the handle, so the very file that was opened moves, whatever
// stands at its old name by now. replace: a file at destination is replaced
// (otherwise ERROR_ALREADY_EXISTS). Another volume gives
// ERROR_NOT_SAME_DEVICE. FALSE with the last error set.
BOOL RenameOpenFile(HANDLE h, const std::string& destination, bool replace);
