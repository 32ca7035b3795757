#pragma once
// A folder the elevated program makes its own inside a folder it does not
// own (the user's temporary folder): nobody else may add, change or remove
// anything in it, and it cannot be renamed or replaced while it is held.

#include <windows.h>

#include <string>
#include <vector>

#include "platform/handle.h"

// Whether the process runs with an elevated (administrator) token.
bool IsProcessElevated();

// The folder's ACL as Create gives it (see there); empty on failure.
std::vector<unsigned char> PrivateFolderAcl();

class CPrivateFolder {
public:
    CPrivateFolder() = default;
    CPrivateFolder(const CPrivateFolder&) = delete;
    CPrivateFolder& operator=(const CPrivateFolder&) = delete;

    // Creates the folder at path, which must not exist (anything standing
    // there gives FALSE with ERROR_ALREADY_EXISTS: never reused), with a
    // protected DACL: full control for SYSTEM and Administrators when the
    // process is elevated, for the current user otherwise, inherited by all
    // that is created below it, nothing inherited from above. It is then
    // held open without delete sharing until Release. FALSE with the last
    // error of the failing call.
    BOOL Create(const std::string& path);
    // Lets the folder go (before it is removed).
    void Release() { m_folder.reset(); }

private:
    platform::Handle m_folder;
};
