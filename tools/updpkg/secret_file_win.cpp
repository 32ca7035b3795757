#include <windows.h>

#include <vector>

#include "platform/handle.h"
#include "platform/wide.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/secret_file.h"

namespace updpkg {

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, DWORD error) {
    throw FileError("cannot " + what + " '" + path + "': system error " + std::to_string(error));
}

// The current user's SID, from the process token.
std::vector<BYTE> UserSid() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
    platform::Handle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> info(size);
    if (size == 0 || !::GetTokenInformation(token.get(), TokenUser, info.data(), size, &size)) return {};
    PSID sid = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
    const BYTE* first = static_cast<const BYTE*>(sid);
    return std::vector<BYTE>(first, first + ::GetLengthSid(sid));
}

}  // namespace

void WriteNewSecretFile(const std::string& path, const std::string& bytes) {
    std::vector<BYTE> sid = UserSid();
    if (sid.empty()) Fail("find the current user to own", path, ::GetLastError());
    const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + static_cast<DWORD>(sid.size());
    std::vector<BYTE> acl(aclSize);
    auto* p = reinterpret_cast<PACL>(acl.data());
    SECURITY_DESCRIPTOR sd;
    // Protected: nothing the folder hands down reaches the key.
    if (!::InitializeAcl(p, aclSize, ACL_REVISION) || !::AddAccessAllowedAce(p, ACL_REVISION, FILE_ALL_ACCESS, sid.data()) ||
        !::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) || !::SetSecurityDescriptorDacl(&sd, TRUE, p, FALSE) ||
        !::SetSecurityDescriptorControl(&sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        Fail("make the access list of", path, ::GetLastError());
    SECURITY_ATTRIBUTES sa{sizeof sa, &sd, FALSE};
    platform::Handle h(::CreateFileW(platform::Wide(path).c_str(), GENERIC_WRITE, 0, &sa, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h) Fail("create", path, ::GetLastError());
    DWORD written = 0;
    if (!::WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size() || !::FlushFileBuffers(h.get())) {
        const DWORD error = ::GetLastError();
        h.reset();
        ::DeleteFileW(platform::Wide(path).c_str());
        Fail("write", path, error);
    }
}

}  // namespace updpkg
