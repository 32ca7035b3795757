#include "engine/install/journal_file.h"

#include <aclapi.h>

#include "engine/install/retry.h"
#include "platform/handle.h"
#include "platform/wide.h"
#include "product/identity.h"
#include "util/path.h"
#include "util/syserr.h"

namespace install {

namespace {

constexpr char kJournalCopySuffix[] = ".new";
// A journal is a few hundred bytes per file; anything near this is not ours.
constexpr ULONGLONG kJournalLimit = journal::kMaxBytes;

// An elevated run trusts a journal only when an elevated run made it. With
// Windows' default settings an elevated process gives what it creates to the
// administrators, while a file planted by the user's unelevated programs
// belongs to the user. Where elevated files do not get that owner (a policy
// that makes the creator the owner; Wine, which gives every file the user),
// the owner cannot tell the two apart and the user is accepted too: the
// journal's paths are still checked before anything in it is acted on.
bool OwnerIsTrusted(const std::string& path) {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    platform::Handle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size))
        return false;
    if (!elevation.TokenIsElevated) return true;  // nothing to gain by planting one
    unsigned char ownerBuffer[sizeof(TOKEN_OWNER) + SECURITY_MAX_SID_SIZE];
    unsigned char userBuffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    if (!::GetTokenInformation(token.get(), TokenOwner, ownerBuffer, sizeof ownerBuffer, &size) ||
        !::GetTokenInformation(token.get(), TokenUser, userBuffer, sizeof userBuffer, &size))
        return false;
    const PSID defaultOwner = reinterpret_cast<TOKEN_OWNER*>(ownerBuffer)->Owner;
    const PSID user = reinterpret_cast<TOKEN_USER*>(userBuffer)->User.Sid;
    const bool ownerSetApart = ::IsWellKnownSid(defaultOwner, WinBuiltinAdministratorsSid) ||
                               ::IsWellKnownSid(defaultOwner, WinLocalSystemSid);

    PSID owner = nullptr;
    platform::LocalMemory<void> sd;  // owner points into it
    if (::GetNamedSecurityInfoW(platform::Wide(path).c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                nullptr, nullptr, nullptr, sd.out()) != ERROR_SUCCESS)
        return false;
    const bool trusted = owner && (::EqualSid(owner, defaultOwner) ||
                                   ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                                   ::IsWellKnownSid(owner, WinLocalSystemSid) ||
                                   (!ownerSetApart && ::EqualSid(owner, user)));
    return trusted;
}

}  // namespace

std::string JournalPath(const std::string& installFolder) {
    return JoinPath(installFolder, product::kZomi7.journalName);
}

// The journal, replaced as a whole: written and flushed beside itself, then
// renamed over the old one. A crash leaves the old journal or the new one,
// never a part. The copy is made new (never opened through whatever stands
// at its name).
DWORD WriteJournal(const std::string& path, const journal::Journal& j) {
    const std::string copy = path + kJournalCopySuffix;
    if (!::DeleteFileW(platform::Wide(copy).c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return ::GetLastError();
    const std::string text = journal::Serialize(j);
    {
        platform::Handle h(::CreateFileW(platform::Wide(copy).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
        if (!h) return ::GetLastError();
        DWORD written = 0;
        if (!::WriteFile(h.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
            return ::GetLastError();
        if (written != text.size()) return ERROR_DISK_FULL;
        if (!::FlushFileBuffers(h.get())) return ::GetLastError();
    }
    if (!::MoveFileExW(platform::Wide(copy).c_str(), platform::Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return ::GetLastError();
    return 0;
}

// Reads the journal. Its own reason in why on failure.
bool ReadJournal(const std::string& path, journal::Journal& j, std::string& why) {
    platform::Handle h(::CreateFileW(platform::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h) {
        why = GetSystemErrorText(::GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(h.get(), &info)) {
        why = GetSystemErrorText(::GetLastError());
        return false;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        (::GetFileAttributesW(platform::Wide(path).c_str()) & FILE_ATTRIBUTE_REPARSE_POINT)) {
        why = "a link, not a journal";
        return false;
    }
    const ULONGLONG size = (ULONGLONG{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    if (size > kJournalLimit) {
        why = "too large for a journal";
        return false;
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    DWORD read = 0;
    if (size && (!::ReadFile(h.get(), text.data(), static_cast<DWORD>(size), &read, nullptr) ||
                 read != size)) {
        why = GetSystemErrorText(::GetLastError());
        return false;
    }
    if (!OwnerIsTrusted(path)) {
        why = "not written by an elevated run";
        return false;
    }
    return journal::Parse(text, j, why);
}

void RemoveJournal(const std::string& path) {
    ::DeleteFileW(platform::Wide(path).c_str());
    RemoveJournalCopy(path);
}

void RemoveJournalCopy(const std::string& path) {
    ::DeleteFileW(platform::Wide(path + kJournalCopySuffix).c_str());
}

bool JournalWriter::WriteAsking() {
    if (!RetryingSystem([&] { return WriteJournal(m_path, m_journal); })) return false;
    m_written = m_journal.records.size();
    return true;
}

journal::Journal JournalWriter::Written() const {
    journal::Journal done = m_journal;
    done.records.resize(m_written);
    return done;
}

}  // namespace install
