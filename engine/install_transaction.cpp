// Stage 4 as one transaction over every file of every component.
//
// Order of work, each step recorded in the journal before it is done:
//   1. room: the bytes to write per volume against its free space;
//   2. plan: staged names beside each destination, folders to create;
//      journal written (folders, staged files);
//   3. stage: folders created, each source copied to its staged name and
//      checked against the source's size and time;
//   4. plan the commit: a backup name for every destination that exists;
//      journal written again (commits);
//   5. commit: old file to its backup, staged file into place, the product's
//      executable last; the new files flushed to disk; journal marked
//      committed;
//   6. finish: backups deleted (or at restart), journal removed.
// A Cancel, a failure or an exception before 6 undoes everything from the
// journal's records in reverse; a killed run is undone from the journal on
// disk by the next run (RecoverInterrupted).
#include "engine/install_transaction.h"

#include <aclapi.h>

#include <map>
#include <set>

#include "app/SetupApp.h"
#include "checks/product_facts.h"
#include "engine/CopyThread.h"
#include "engine/folder_names.h"
#include "engine/install_journal.h"
#include "res/texts.h"
#include "engine/stage_file.h"
#include "platform/file.h"
#include "platform/handle.h"
#include "platform/log.h"
#include "platform/prompt.h"
#include "platform/timing.h"
#include "platform/wide.h"
#include "util/fs.h"
#include "util/long_path.h"
#include "util/name_key.h"
#include "util/path.h"
#include "util/syserr.h"

namespace install {
namespace {

constexpr char kJournalName[] = "KVUPDATE.JNL";
constexpr char kJournalCopySuffix[] = ".new";
constexpr unsigned kClosingPauseMs = 1000;
// A journal is a few hundred bytes per file; anything near this is not ours.
constexpr ULONGLONG kJournalLimit = journal::kMaxBytes;
constexpr DWORD kClearedAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr UINT kRetryStyle = MB_ICONEXCLAMATION | MB_RETRYCANCEL;
constexpr unsigned kNameTries = 1000;

bool SystemVolumeSpace(const std::string& folder, VolumeSpace& space) {
    std::string path = folder;
    if (!EndsWithBackslash(path)) path += '\\';
    const std::string root = VolumeRootOf(path);
    if (root.empty()) return false;
    ULARGE_INTEGER available, total, totalFree;
    if (!::GetDiskFreeSpaceExW(platform::Wide(path).c_str(), &available, &total, &totalFree)) return false;
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    space.clusterBytes = ::GetDiskFreeSpaceW(platform::Wide(root).c_str(), &sectorsPerCluster, &bytesPerSector,
                                             &freeClusters, &clusters)
                             ? ULONGLONG{sectorsPerCluster} * bytesPerSector
                             : 0;
    space.root = root;
    space.freeBytes = available.QuadPart;
    return true;
}

VolumeSpaceQuery g_spaceQuery = SystemVolumeSpace;
StepHook g_stepHook = nullptr;

void Step(const char* point, unsigned index) {
    if (g_stepHook) g_stepHook(point, index);
}

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(platform::Wide(path).c_str()); }
bool Exists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }
bool IsFolder(const std::string& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
// No attribute at all is spelled FILE_ATTRIBUTE_NORMAL.
bool SetAttributes(const std::string& path, DWORD attributes) {
    return ::SetFileAttributesW(platform::Wide(path).c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL) != FALSE;
}
// Names as Windows compares them: two destinations with one key are one file.
std::string NameKey(const std::string& s) { return names::Key(s); }

// Deletes a file whatever its attributes; false with the last error set.
bool DeleteAnyFile(const std::string& path) {
    const DWORD a = Attributes(path);
    if (a != INVALID_FILE_ATTRIBUTES && (a & kClearedAttributes)) SetAttributes(path, a & ~kClearedAttributes);
    return ::DeleteFileW(platform::Wide(path).c_str()) != FALSE;
}

void DeleteIfThere(const std::string& path) {
    if (Exists(path)) DeleteAnyFile(path);
}

// Data of a file on disk.
DWORD FlushFile(const std::string& path) {
    platform::Handle h(::CreateFileW(platform::Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h) return ::GetLastError();
    if (!::FlushFileBuffers(h.get())) return ::GetLastError();
    return 0;
}

// Everything written to the volume with this root ("C:\") on disk, in one
// call (an elevated process may flush a whole volume).
enum class VolumeFlush { Done, Unsupported, NotPossible };
VolumeFlush FlushVolume(const std::string& root) {
    if (root.size() < 2 || root[1] != ':') return VolumeFlush::NotPossible;
    const std::string device = std::string("\\\\.\\") + root.substr(0, 2);
    platform::Handle h(::CreateFileW(platform::Wide(device).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    if (!h) return VolumeFlush::NotPossible;  // not elevated, a network drive
    if (::FlushFileBuffers(h.get())) return VolumeFlush::Done;
    const DWORD err = ::GetLastError();
    return err == ERROR_INVALID_FUNCTION || err == ERROR_NOT_SUPPORTED ? VolumeFlush::Unsupported
                                                                        : VolumeFlush::NotPossible;
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

void RemoveJournal(const std::string& path) {
    ::DeleteFileW(platform::Wide(path).c_str());
    ::DeleteFileW(platform::Wide(path + kJournalCopySuffix).c_str());
}

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
        (Attributes(path) & FILE_ATTRIBUTE_REPARSE_POINT)) {
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

struct UndoFailure {
    std::string path;
    DWORD error = 0;
};

// Undoes the journal's records, last first. Safe to run again after a
// partial run: every step looks at what is on disk. A committed journal only
// loses its backups.
bool Undo(const journal::Journal& j, UndoFailure& failure) {
    using journal::Record;
    auto fail = [&](const std::string& path) {
        failure.path = path;
        failure.error = ::GetLastError();
        return false;
    };
    if (j.IsCommitted()) {
        for (const Record& r : j.records) {
            if (r.kind == Record::Commit && !r.backup.empty() && Exists(r.backup) &&
                !DeleteAnyFile(r.backup))
                ::MoveFileExW(platform::Wide(r.backup).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
            if (r.kind == Record::Staged) DeleteIfThere(r.path);
        }
        return true;
    }
    for (auto it = j.records.rbegin(); it != j.records.rend(); ++it) {
        const Record& r = *it;
        if (r.kind != Record::Commit) continue;
        const bool staged = Exists(r.path);
        if (!r.backup.empty()) {
            const DWORD backup = Attributes(r.backup);
            if (backup != INVALID_FILE_ATTRIBUTES) {
                if (backup & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
                    ::SetLastError(ERROR_CANT_ACCESS_FILE);
                    return fail(r.backup);
                }
                // The old file is aside: put it back over whatever stands at
                // its place (the new file, once the staged one went there).
                if (!::MoveFileExW(platform::Wide(r.backup).c_str(), platform::Wide(r.dest).c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                    return fail(r.dest);
            } else if (!staged) {
                // Moved in, but its old file is gone: nothing to put back.
                ::SetLastError(ERROR_FILE_NOT_FOUND);
                return fail(r.backup);
            }
            // The old file's own attributes (cleared before it was moved).
            if (Exists(r.dest)) SetAttributes(r.dest, r.attributes);
        } else if (!staged && Exists(r.dest)) {
            // A file that did not exist before the run.
            if (!DeleteAnyFile(r.dest)) return fail(r.dest);
        }
        if (staged && !DeleteAnyFile(r.path)) return fail(r.path);
        platform::Log("rolled back: " + r.dest);
    }
    for (auto it = j.records.rbegin(); it != j.records.rend(); ++it) {
        if (it->kind == Record::Staged && Exists(it->path) && !DeleteAnyFile(it->path))
            return fail(it->path);
    }
    for (auto it = j.records.rbegin(); it != j.records.rend(); ++it) {
        // Only an empty folder goes: one that something else has filled
        // since stays, as does one that is not there.
        if (it->kind == Record::Folder) ::RemoveDirectoryW(platform::Wide(it->path).c_str());
    }
    return true;
}

// One pass of Undo after another while the user answers Retry. true when
// everything was put back.
bool UndoAsking(const journal::Journal& j) {
    for (;;) {
        UndoFailure failure;
        if (Undo(j, failure)) return true;
        const std::string text = std::string(texts::kRestoreFailed) + failure.path + "\n" +
                                 GetSystemErrorText(failure.error);
        if (platform::AppMessageBox(text, kRetryStyle) != IDRETRY) return false;
    }
}

class Transaction {
public:
    Transaction(CCopyThread& worker, const std::string& installFolder)
        : m_worker(worker), m_journalPath(JournalPath(installFolder)),
          m_productExe(NameKey(JoinPath(installFolder, product::kExeName))) {
        for (const auto& item : worker.m_files)
            m_items.push_back({item->m_strSource, item->m_strDest, {}, {}, false});
        // Files of the update's own work folder go away afterwards: each is
        // moved into place (where it lies on its destination's volume) for
        // its last use, and copied for every use before it, when components
        // share a source folder.
        if (worker.m_placed.Active()) {
            std::map<std::string, unsigned> lastUse;  // by the source's key
            for (unsigned i = 0; i < m_items.size(); ++i) lastUse[NameKey(m_items[i].source)] = i;
            for (const auto& use : lastUse) m_items[use.second].mayMove = true;
        }
    }

    BOOL Run() {
        if (m_items.empty()) {  // nothing to do, and no journal to leave behind
            platform::Pause(kClosingPauseMs);
            return TRUE;
        }
        if (!CheckRoom()) return FALSE;
        if (!PlanStaging()) return FALSE;
        if (!WriteJournalAsking()) return RollBack();
        if (!CreateFolders() || !StageAll()) return RollBack();
        PlanCommit();
        if (!WriteJournalAsking() || !CommitAll()) return RollBack();
        // The new files must be on disk before the journal says so: after
        // that mark a power loss is no longer undone from the backups.
        if (!FlushCommitted()) return RollBack();
        m_journal.records.push_back({journal::Record::Committed, {}, {}, {}, 0});
        if (!WriteJournalAsking()) return RollBack();
        Finish();
        platform::Pause(kClosingPauseMs);
        return TRUE;
    }

    // Puts everything back; FALSE always (the stage failed). The journal
    // stays when a file could not be put back, for the next run.
    BOOL RollBack() {
        m_worker.m_progress.nRollback = 1;
        for (Item& item : m_items) item.held.reset();  // the staged files go by name
        // Records not yet on disk describe nothing that was done.
        journal::Journal done = m_journal;
        done.records.resize(m_written);
        if (UndoAsking(done)) RemoveJournal(m_journalPath);
        return FALSE;
    }

private:
    struct Item {
        std::string source, dest, staged;
        platform::Handle held;  // the staged file, open from its staging to its commit
        bool mayMove;  // the source's last use: moved rather than copied where it can be
    };

    int Ask(const std::string& text) { return platform::AppMessageBox(text, kRetryStyle); }

    // Room first: every volume must hold the staged copies (the old files
    // stay until the end) before the first byte is written.
    bool CheckRoom() {
        struct Volume {
            VolumeSpace space;
            ULONGLONG need = 0;
        };
        std::map<std::string, Volume> volumes;  // by the root's key
        std::map<std::string, std::string> rootOf;  // folder -> the root's key
        // A file moved where it lies on the destination's volume takes no
        // room there; its copies for other components do.
        std::string movedFrom;  // the key of the work folder's root; "" when everything is copied
        if (m_worker.m_placed.Active()) {
            VolumeSpace space;
            if (g_spaceQuery(ParentFolder(m_items.front().source), space)) movedFrom = NameKey(space.root);
        }
        for (const Item& item : m_items) {
            std::string folder = ParentFolder(item.dest);
            while (!folder.empty() && !m_names.IsFolder(folder)) folder = ParentFolder(folder);
            if (folder.empty()) continue;
            auto known = rootOf.find(folder);
            if (known == rootOf.end()) {
                VolumeSpace space;
                if (!g_spaceQuery(folder, space)) continue;  // unknown: the copy will tell
                const std::string key = NameKey(space.root);
                volumes.emplace(key, Volume{space, 0});
                known = rootOf.emplace(folder, key).first;
            }
            if (item.mayMove && known->second == movedFrom) continue;
            platform::FileStatus status;
            if (!platform::File::GetStatus(item.source, status)) continue;  // staging will say why
            Volume& volume = volumes[known->second];
            const ULONGLONG cluster = volume.space.clusterBytes ? volume.space.clusterBytes : 1;
            volume.need += (status.size + cluster - 1) / cluster * cluster;
        }
        for (const auto& entry : volumes) {
            const Volume& v = entry.second;
            if (v.need <= v.space.freeBytes) continue;
            const ULONGLONG missingMiB = (v.need - v.space.freeBytes + (1ull << 20) - 1) >> 20;
            std::string text = texts::kNoRoomFormat;
            text.replace(text.find("%s"), 2, v.space.root);
            text.replace(text.find("%s"), 2, std::to_string(missingMiB));
            platform::AppMessageBox(text, MB_ICONEXCLAMATION | MB_OK);
            return false;
        }
        return true;
    }

    // A number for name(dest, n) that names nothing yet.
    bool FreeNumber(std::string (*name)(const std::string&, unsigned), const std::string& dest, unsigned first,
                    unsigned step, std::string& out) {
        unsigned n = first;
        for (unsigned tries = 0; tries < kNameTries; ++tries, n += step) {
            out = name(dest, n);
            if (!m_names.Exists(out)) return true;
        }
        ::SetLastError(ERROR_FILE_EXISTS);
        return false;
    }

    bool PlanStaging() {
        std::set<std::string> planned;
        const unsigned step = static_cast<unsigned>(m_items.size());
        for (unsigned i = 0; i < m_items.size(); ++i) {
            Item& item = m_items[i];
            while (!FreeNumber(journal::StagedName, item.dest, i, step, item.staged)) {
                if (Ask(GetSystemErrorText(::GetLastError())) != IDRETRY) return false;
                m_names = FolderNames();  // look again
            }
            m_names.Add(item.staged, FILE_ATTRIBUTE_NORMAL);
            m_journal.records.push_back({journal::Record::Staged, item.staged, item.dest, {}, 0});
            // Missing folders above the destination, outermost first; a
            // missing root is no folder to make (the staging will say so).
            std::vector<std::string> missing;
            for (std::string f = ParentFolder(item.dest); !f.empty() && !journal::IsRoot(f) && !m_names.IsFolder(f);
                 f = ParentFolder(f)) {
                if (!planned.insert(NameKey(f)).second) break;
                missing.push_back(f);
            }
            for (auto it = missing.rbegin(); it != missing.rend(); ++it)
                m_journal.records.push_back({journal::Record::Folder, *it, {}, {}, 0});
        }
        return true;
    }

    bool WriteJournalAsking() {
        for (;;) {
            const DWORD err = WriteJournal(m_journalPath, m_journal);
            if (!err) {
                m_written = m_journal.records.size();
                return true;
            }
            if (Ask(GetSystemErrorText(err)) != IDRETRY) return false;
        }
    }

    bool CreateFolders() {
        for (const journal::Record& r : m_journal.records) {
            if (r.kind != journal::Record::Folder) continue;
            while (!::CreateDirectoryW(platform::Wide(r.path).c_str(), nullptr) && !IsFolder(r.path)) {
                if (Ask(GetSystemErrorText(::GetLastError())) != IDRETRY) return false;
            }
        }
        return true;
    }

    bool StageAll() {
        for (unsigned i = 0; i < m_items.size(); ++i) {
            Item& item = m_items[i];
            for (;;) {
                m_worker.SetCurrentFile(item.dest);
                std::string why;
                const StageResult result =
                    StageFile(item.source, item.staged, m_worker.m_placed, item.mayMove, item.held, why,
                              m_worker.m_signedFiles);
                if (result == StageResult::Done) break;
                DeleteIfThere(item.staged);  // a part-made copy goes before the next try
                if (result == StageResult::Refused) {
                    platform::AppMessageBox(texts::kPackageFormatError, MB_ICONEXCLAMATION | MB_OK);
                    return false;
                }
                if (result == StageResult::NotSigned) {
                    RefuseUnsigned(why);
                    return false;
                }
                if (Ask(why) != IDRETRY) return false;
            }
            ++m_worker.m_progress.nPos;
            if (platform::LogIsOpen()) platform::Log("staged: " + item.dest + " (" + item.staged + ")");
            Step("staged", i);
        }
        return true;
    }

    // One commit per destination: when two components bring the same file,
    // the later one is what the product gets, and the earlier staged copy
    // goes now. The product's executable comes last, so that until every
    // other file is in place the product still reads as needing the update.
    void PlanCommit() {
        std::map<std::string, unsigned> last;
        for (unsigned i = 0; i < m_items.size(); ++i) last[NameKey(m_items[i].dest)] = i;
        std::vector<unsigned> order, product;
        const unsigned step = static_cast<unsigned>(m_items.size());
        for (unsigned i = 0; i < m_items.size(); ++i) {
            const std::string key = NameKey(m_items[i].dest);
            if (last[key] != i) {
                m_items[i].held.reset();
                DeleteIfThere(m_items[i].staged);
                continue;
            }
            (key == m_productExe ? product : order).push_back(i);
        }
        order.insert(order.end(), product.begin(), product.end());
        for (unsigned i : order) {
            const Item& item = m_items[i];
            journal::Record r{journal::Record::Commit, item.staged, item.dest, {}, 0};
            const DWORD a = m_names.Attributes(item.dest);
            if (a != INVALID_FILE_ATTRIBUTES) {
                // With no free name the commit's move reports the clash.
                FreeNumber(journal::BackupName, item.dest, i, step, r.backup);
                r.attributes = a;
            }
            m_journal.records.push_back(r);
            m_committedItem.push_back(i);
        }
    }

    // 0, or the error that stopped this commit. The first try goes by the
    // plan; a later one looks at what is on disk, so that a file already
    // moved aside is not moved again. The staged file moves through the
    // handle that has held it since its staging.
    static DWORD CommitOne(const journal::Record& r, platform::Handle& staged, bool first) {
        if (!r.backup.empty() && (first || !(Exists(r.backup) && !Exists(r.dest)))) {
            const DWORD a = first ? r.attributes : Attributes(r.dest);
            if (a == INVALID_FILE_ATTRIBUTES) return ::GetLastError();
            if (a & FILE_ATTRIBUTE_DIRECTORY) return ERROR_ACCESS_DENIED;
            if ((a & kClearedAttributes) && !SetAttributes(r.dest, a & ~kClearedAttributes))
                return ::GetLastError();
            if (!::MoveFileExW(platform::Wide(r.dest).c_str(), platform::Wide(r.backup).c_str(), MOVEFILE_WRITE_THROUGH)) {
                const DWORD err = ::GetLastError();
                SetAttributes(r.dest, a);
                return err;
            }
        }
        if (!RenameOpenFile(staged.get(), r.dest, false)) return ::GetLastError();
        staged.reset();
        return 0;
    }

    bool CommitAll() {
        unsigned index = 0;
        for (const journal::Record& r : m_journal.records) {
            if (r.kind != journal::Record::Commit) continue;
            platform::Handle& staged = m_items[m_committedItem[index]].held;
            for (bool first = true;; first = false) {
                m_worker.SetCurrentFile(r.dest);
                const DWORD err = CommitOne(r, staged, first);
                if (!err) break;
                if (Ask(GetSystemErrorText(err)) != IDRETRY) return false;
            }
            if (platform::LogIsOpen()) platform::Log("committed: " + r.dest);
            Step("committed", index++);
        }
        return true;
    }

    // Each destination volume flushed at once where the system allows it,
    // else each new file. A system that has no volume flush at all (Wine,
    // whose Linux file systems write a file's data before a rename that
    // replaces it) is left to itself: a flush per file there costs more than
    // the copy.
    bool FlushCommitted() {
        std::map<std::string, bool> flushed;  // volume root's key -> nothing more to do
        std::map<std::string, std::string> rootOf;  // folder -> volume root ("" unknown)
        for (const journal::Record& r : m_journal.records) {
            if (r.kind != journal::Record::Commit) continue;
            const std::string folder = ParentFolder(r.dest);
            auto root = rootOf.find(folder);
            if (root == rootOf.end()) {
                root = rootOf.emplace(folder, VolumeRootOf(r.dest)).first;
            }
            const std::string key = NameKey(root->second);
            auto volume = flushed.find(key);
            if (volume == flushed.end())
                volume = flushed
                             .emplace(key, !key.empty() && FlushVolume(root->second) != VolumeFlush::NotPossible)
                             .first;
            if (volume->second) continue;
            for (;;) {
                m_worker.SetCurrentFile(r.dest);
                const DWORD err = FlushFile(r.dest);
                if (!err) break;
                if (Ask(GetSystemErrorText(err)) != IDRETRY) return false;
            }
        }
        return true;
    }

    // The backups go; one that is held open goes at the next restart and
    // does not fail the update.
    void Finish() {
        for (const journal::Record& r : m_journal.records) {
            if (r.kind != journal::Record::Commit || r.backup.empty()) continue;
            if (!DeleteAnyFile(r.backup))
                ::MoveFileExW(platform::Wide(r.backup).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        }
        RemoveJournal(m_journalPath);
    }

    CCopyThread& m_worker;
    const std::string m_journalPath;
    const std::string m_productExe;  // as a key
    std::vector<Item> m_items;
    journal::Journal m_journal;
    std::size_t m_written = 0;  // records in the journal on disk
    FolderNames m_names;  // the destination folders as planning found them
    std::vector<unsigned> m_committedItem;  // the item of each commit record, in their order
};

}  // namespace

VolumeSpaceQuery SetVolumeSpaceQuery(VolumeSpaceQuery query) {
    VolumeSpaceQuery previous = g_spaceQuery;
    g_spaceQuery = query ? query : SystemVolumeSpace;
    return previous;
}

StepHook SetStepHook(StepHook hook) {
    StepHook previous = g_stepHook;
    g_stepHook = hook;
    return previous;
}

std::string JournalPath(const std::string& installFolder) { return JoinPath(installFolder, kJournalName); }

BOOL InstallAll(CCopyThread& worker, const std::string& installFolder) {
    Transaction transaction(worker, installFolder);
    try {
        return transaction.Run();
    } catch (...) {
        transaction.RollBack();
        throw;
    }
}

Recovery RecoverInterrupted(const std::string& installFolder, const std::vector<std::string>& roots) {
    const std::string path = JournalPath(installFolder);
    if (!Exists(path)) {
        // A copy alone is a journal whose first writing was cut short:
        // nothing had been made yet.
        ::DeleteFileW(platform::Wide(path + kJournalCopySuffix).c_str());
        return Recovery::None;
    }
    journal::Journal j;
    std::string why;
    if (!ReadJournal(path, j, why) || !journal::Validate(j, roots, FullPath, why)) {
        platform::AppMessageBox(std::string(texts::kJournalUnreadable) + path + "\n" + why,
                                MB_ICONSTOP | MB_OK);
        return Recovery::Failed;
    }
    if (!UndoAsking(j)) return Recovery::Failed;
    RemoveJournal(path);
    if (j.IsCommitted()) return Recovery::Completed;
    platform::AppMessageBox(texts::kRestoredInterrupted, MB_ICONINFORMATION | MB_OK);
    return Recovery::Restored;
}

}  // namespace install
