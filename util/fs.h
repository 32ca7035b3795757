#pragma once
// Folder and file helpers of the update. BOOL results: TRUE on success; on
// FALSE the last error is the failing system call's, unless noted.

#include <windows.h>

#include <string>

// The user's temporary folder, with its trailing backslash; "" with the
// last error set on failure.
std::string TempFolder();

// The root of the volume that holds path ("C:\\", a mount point's folder);
// "" with the last error set when the system cannot tell.
std::string VolumeRootOf(const std::string& path);

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

// Renames the file open as h (opened with DELETE access) to destination
// through the handle, so the very file that was opened moves, whatever
// stands at its old name by now. replace: a file at destination is replaced
// (otherwise ERROR_ALREADY_EXISTS). Another volume gives
// ERROR_NOT_SAME_DEVICE. FALSE with the last error set.
BOOL RenameOpenFile(HANDLE h, const std::string& destination, bool replace);
