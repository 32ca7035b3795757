#include "engine/install/journal_file.h"

#include <shlobj.h>

#include "engine/install/retry.h"
#include "platform/log.h"
#include "platform/prompt.h"
#include "platform/wide.h"
#include "product/identity.h"
#include "res/texts.h"
#include "util/crypto.h"
#include "util/link_at_win.h"
#include "util/long_path.h"
#include "util/name_key.h"
#include "util/path.h"
#include "util/private_folder.h"
#include "util/syserr.h"

namespace install {

namespace {

constexpr char kJournalCopySuffix[] = ".new";
// A journal is a few hundred bytes per file; anything near this is not ours.
constexpr ULONGLONG kJournalLimit = journal::kMaxBytes;

// FOLDERID_ProgramData ({62AB5D82-FDC1-4DC3-A9DD-070D1D495D97}), spelt out
// here so that no GUID library is linked for one value.
constexpr KNOWNFOLDERID kProgramData = {0x62AB5D82, 0xFDC1, 0x4DC3, {0xA9, 0xDD, 0x07, 0x0D, 0x1D, 0x49, 0x5D, 0x97}};

// Whether JournalFolder() is there and the program's own (a journal is
// removed only from there: never through a link or a folder someone else
// made).
bool JournalFolderIsOurs() {
    JournalFolderHold folder;
    std::string why;
    return folder.Hold(false, why) == JournalFolderHold::State::Held;
}

}  // namespace

std::string JournalFolder() {
    PWSTR raw = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(kProgramData, 0, nullptr, &raw);
    const std::string common = SUCCEEDED(result) && raw ? platform::Narrow(raw) : std::string();
    ::CoTaskMemFree(raw);
    if (common.empty()) return {};
    return JoinPath(common, product::kZomi7.journalFolder);
}

std::string JournalPath(const std::string& installFolder) {
    const std::string folder = JournalFolder();
    if (folder.empty()) return {};
    std::string full = FullPath(installFolder);
    while (full.size() > 3 && full.back() == '\\') full.pop_back();  // "C:\x\" is "C:\x"
    const std::string key = names::Key(full);
    try {
        return JoinPath(folder, crypto::ToHex(crypto::Sha256Of(key.data(), key.size())) + product::kZomi7.journalSuffix);
    } catch (const crypto::Error&) {
        return {};
    }
}

void IgnoreJournalInInstallFolder(const std::string& installFolder) {
    static bool logged = false;
    if (logged) return;
    const std::string old = JoinPath(installFolder, product::kZomi7.journalName);
    for (const std::string& path : {old, old + kJournalCopySuffix}) {
        if (::GetFileAttributesW(platform::Wide(path).c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        platform::Log("journal in the install folder ignored: " + path +
                      " (only a journal in the program's own folder is acted on)");
        logged = true;
        return;
    }
}

// The folder is made with the work folder's protected access list, and
// trusted as long as it keeps it. One that is there but is not as the
// program made it (a user may make the folder first: the common
// application data folder lets users create folders) is neither used nor
// removed nor made again: removing or emptying a folder that someone else
// owns would itself be an action of the elevated run decided by that user,
// and what is in it may be theirs. An administrator removes it.
JournalFolderHold::State JournalFolderHold::Hold(bool create, std::string& why) {
    m_folder.reset();
    const std::string folder = JournalFolder();
    if (folder.empty()) {
        why = "the common application data folder is unknown";
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return State::Failed;
    }
    if (create) {
        CPrivateFolder made;
        if (made.Create(folder)) {
            made.Release();
        } else if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            const DWORD error = ::GetLastError();
            why = GetSystemErrorText(error);
            ::SetLastError(error);
            return State::Failed;
        }
    }
    const std::wstring wide = ExtendedPath(folder);
    platform::Handle h(::CreateFileW(wide.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                     nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!h || !::GetFileInformationByHandle(h.get(), &info)) {
        const DWORD error = ::GetLastError();
        if (!create && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) return State::Absent;
        why = GetSystemErrorText(error);
        ::SetLastError(error);
        return State::Failed;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || linkat::NameShowsLink(wide)) {
        why = folder + ": a link, not the program's folder";
        return State::Untrusted;
    }
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        why = folder + ": not a folder";
        return State::Untrusted;
    }
    std::string wrong;
    if (!IsPrivateFolder(h.get(), wrong)) {
        why = folder + ": " + wrong;
        return State::Untrusted;
    }
    m_folder = std::move(h);
    return State::Held;
}

// The journal, replaced as a whole: written and flushed beside itself, then
// renamed over the old one. A crash leaves the old journal or the new one,
// never a part. The copy is made new (never opened through whatever stands
// at its name).
DWORD WriteJournal(const std::string& path, const journal::Journal& j) {
    if (path.empty()) return ERROR_PATH_NOT_FOUND;
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
    const std::wstring wide = platform::Wide(path);
    platform::Handle h(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
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
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || linkat::NameShowsLink(wide)) {
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
    return journal::Parse(text, j, why);
}

void RemoveJournal(const std::string& path) {
    if (path.empty() || !JournalFolderIsOurs()) return;
    ::DeleteFileW(platform::Wide(path).c_str());
    ::DeleteFileW(platform::Wide(path + kJournalCopySuffix).c_str());
}

void RemoveJournalCopy(const std::string& path) {
    if (path.empty() || !JournalFolderIsOurs()) return;
    ::DeleteFileW(platform::Wide(path + kJournalCopySuffix).c_str());
}

bool JournalWriter::WriteAsking() {
    if (!m_folder.held()) {
        const bool held = Retrying([&](std::string& why) {
            switch (m_folder.Hold(true, why)) {
            case JournalFolderHold::State::Held:
                return Try::Done;
            case JournalFolderHold::State::Untrusted:
                platform::AppMessageBox(std::string(texts::kJournalFolderUntrusted) + why, MB_ICONSTOP | MB_OK);
                return Try::Stop;
            default:
                return Try::Failed;  // the system's reason, in why
            }
        });
        if (!held) return false;
    }
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
