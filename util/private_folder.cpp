#include "util/private_folder.h"

#include <aclapi.h>

#include <cstring>
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

Bytes SidBytes(PSID sid) {
    const BYTE* first = static_cast<const BYTE*>(sid);
    return Bytes(first, first + ::GetLengthSid(sid));
}

// The process's user, as a SID's bytes; empty on failure.
Bytes UserSid() {
    Bytes user = TokenInfo(TokenUser);
    if (user.empty()) return {};
    return SidBytes(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid);
}

// Wine's ntdll names itself; its file systems keep no security descriptors.
bool SystemKeepsNoAcls() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

// The principals that get the folder: SYSTEM and Administrators for an
// elevated process (its files then belong to no single user), else the
// user alone.
std::vector<Bytes> Owners() {
    if (IsProcessElevated()) return {WellKnownSid(WinLocalSystemSid), WellKnownSid(WinBuiltinAdministratorsSid)};
    Bytes user = UserSid();
    if (user.empty()) return {};
    return {user};
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

// Whether two ACLs hold the same entries in the same order (their sizes may
// differ: a stored ACL need not keep the room it was made with).
bool SameEntries(const ACL* a, const ACL* b) {
    if (!a || !b || a->AceCount != b->AceCount) return false;
    for (WORD i = 0; i < a->AceCount; ++i) {
        void* x = nullptr;
        void* y = nullptr;
        if (!::GetAce(const_cast<PACL>(a), i, &x) || !::GetAce(const_cast<PACL>(b), i, &y)) return false;
        const WORD size = static_cast<const ACE_HEADER*>(x)->AceSize;
        if (size != static_cast<const ACE_HEADER*>(y)->AceSize || std::memcmp(x, y, size) != 0) return false;
    }
    return true;
}

}  // namespace

bool IsProcessElevated() {
    Bytes info = TokenInfo(TokenElevation);
    return info.size() >= sizeof(TOKEN_ELEVATION) &&
           reinterpret_cast<TOKEN_ELEVATION*>(info.data())->TokenIsElevated != 0;
}

std::vector<unsigned char> PrivateFolderAcl() { return FullControlAcl(Owners()); }

bool IsPrivateFolder(HANDLE folder, std::string& why) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    platform::LocalMemory<void> sd;  // owner and dacl point into it
    const DWORD error = ::GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                          &owner, nullptr, &dacl, nullptr, sd.out());
    if (error != ERROR_SUCCESS) {
        ::SetLastError(error);
        why = "its owner and access list cannot be read";
        return false;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!::GetSecurityDescriptorControl(sd.get(), &control, &revision)) control = 0;
    const bool wine = SystemKeepsNoAcls();
    const Bytes user = UserSid();
    bool ownerIsOurs = false;
    Bytes expected;
    if (wine) {
        ownerIsOurs = owner && !user.empty() && ::EqualSid(owner, const_cast<BYTE*>(user.data()));
        expected = FullControlAcl({WellKnownSid(WinLocalSystemSid), user});
    } else {
        ownerIsOurs = owner && (IsProcessElevated() ? ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                                                          ::IsWellKnownSid(owner, WinLocalSystemSid)
                                                    : !user.empty() && ::EqualSid(owner, const_cast<BYTE*>(user.data())));
        expected = PrivateFolderAcl();
    }
    if (!ownerIsOurs) {
        why = "it has another owner";
        return false;
    }
    if (expected.empty() || !SameEntries(dacl, reinterpret_cast<const ACL*>(expected.data())) ||
        (!wine && !(control & SE_DACL_PROTECTED))) {
        why = "its access list is not the one it was made with";
        return false;
    }
    return true;
}

BOOL CPrivateFolder::Create(const std::string& path) {
    m_folder.reset();
    Bytes acl = PrivateFolderAcl();
    if (acl.empty()) {
        if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_INVALID_SID);
        return FALSE;
    }
    Bytes administrators = WellKnownSid(WinBuiltinAdministratorsSid);
    SECURITY_DESCRIPTOR sd;
    if (!::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&sd, TRUE, reinterpret_cast<PACL>(acl.data()), FALSE) ||
        !::SetSecurityDescriptorControl(&sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED) ||
        (IsProcessElevated() && !::SetSecurityDescriptorOwner(&sd, administrators.data(), FALSE)))
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
