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

// Whether folder (a handle with READ_CONTROL) still has the owner and DACL
// that CPrivateFolder::Create gives: owned by Administrators or SYSTEM when
// the process is elevated, by the user otherwise; a protected DACL of
// exactly PrivateFolderAcl()'s entries. false with why otherwise.
//
// Wine keeps no security descriptors on its folders: it shows the Unix user
// as the owner and an ACL made from the Unix permissions (SYSTEM and that
// user, Everyone for what others may do), whatever was set. There the check
// asks for what those can say: owned by the process's user, full control
// for SYSTEM and that user and for nobody else. Owners and protected ACLs
// are checked on Windows alone.
bool IsPrivateFolder(HANDLE folder, std::string& why);

class CPrivateFolder {
public:
    CPrivateFolder() = default;
    CPrivateFolder(const CPrivateFolder&) = delete;
    CPrivateFolder& operator=(const CPrivateFolder&) = delete;

    // Creates the folder at path, which must not exist (anything standing
    // there gives FALSE with ERROR_ALREADY_EXISTS: never reused), with a
    // protected DACL: full control for SYSTEM and Administrators when the
    // process is elevated, for the current user otherwise, inherited by all
    // that is created below it, nothing inherited from above; owned by
    // Administrators when elevated (whatever a policy makes the default
    // owner, so that IsPrivateFolder knows it again). It is then
    // held open without delete sharing until Release. FALSE with the last
    // error of the failing call.
    BOOL Create(const std::string& path);
    // Lets the folder go (before it is removed).
    void Release() { m_folder.reset(); }

private:
    platform::Handle m_folder;
};
