#include "util/private_folder.h"

#include <vector>

#include "util/long_path.h"

namespace {

using Bytes = std::vector<BYTE>;

// A token information block of the process, or empty (last error set).
Bytes TokenInfo(TOKEN_INFORMATION_CLASS what) {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
    platform::Handle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), what, nullptr, 0, &size);
    if (size == 0) return {};
    Bytes info(size);
    if (!::GetTokenInformation(token.get(), what, info.data(), size, &size)) return {};
    return info;
}

Bytes WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    Bytes sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    if (!::CreateWellKnownSid(type, nullptr, sid.data(), &size)) return {};
    sid.resize(size);
    return sid;
}

// The principals that get the folder: SYSTEM and Administrators for an
// elevated process (its files then belong to no single user), else the
// user alone.
std::vector<Bytes> Owners() {
    if (IsProcessElevated()) return {WellKnownSid(WinLocalSystemSid), WellKnownSid(WinBuiltinAdministratorsSid)};
    Bytes user = TokenInfo(TokenUser);
    if (user.empty()) return {};
    PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    const BYTE* first = static_cast<const BYTE*>(sid);
    return {Bytes(first, first + ::GetLengthSid(sid))};
}

// An ACL that grants each SID full control, inherited by files and folders.
Bytes FullControlAcl(const std::vector<Bytes>& sids) {
    DWORD size = sizeof(ACL);
    for (const Bytes& sid : sids) {
        if (sid.empty()) return {};
        size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + static_cast<DWORD>(sid.size());
    }
    Bytes acl(size);
    auto* p = reinterpret_cast<PACL>(acl.data());
    if (!::InitializeAcl(p, size, ACL_REVISION)) return {};
    for (const Bytes& sid : sids) {
        if (!::AddAccessAllowedAceEx(p, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS,
                                     const_cast<BYTE*>(sid.data())))
            return {};
    }
    return acl;
}

}  // namespace

bool IsProcessElevated() {
    Bytes info = TokenInfo(TokenElevation);
    return info.size() >= sizeof(TOKEN_ELEVATION) &&
           reinterpret_cast<TOKEN_ELEVATION*>(info.data())->TokenIsElevated != 0;
}

std::vector<unsigned char> PrivateFolderAcl() { return FullControlAcl(Owners()); }

BOOL CPrivateFolder::Create(const std::string& path) {
    m_folder.reset();
    Bytes acl = PrivateFolderAcl();
    if (acl.empty()) {
        if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_INVALID_SID);
        return FALSE;
    }
    SECURITY_DESCRIPTOR sd;
    if (!::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&sd, TRUE, reinterpret_cast<PACL>(acl.data()), FALSE) ||
        !::SetSecurityDescriptorControl(&sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return FALSE;
    SECURITY_ATTRIBUTES sa{sizeof sa, &sd, FALSE};
    const std::wstring wide = ExtendedPath(path);
    if (!::CreateDirectoryW(wide.c_str(), &sa)) return FALSE;

    // Held as itself: read and write sharing only, so that nobody can open
    // it for deletion (to rename or remove it) while the update uses it.
    m_folder.reset(::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!m_folder) return FALSE;
    return TRUE;
}
