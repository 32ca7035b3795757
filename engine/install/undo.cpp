// Undo and recovery: the journal's records undone, last first.
#include "engine/install/undo.h"

#include "engine/install/journal_file.h"
#include "engine/install/retry.h"
#include "engine/plan/plan.h"
#include "platform/log.h"
#include "platform/prompt.h"
#include "res/texts.h"
#include "util/long_path.h"
#include "util/syserr.h"

namespace install {

namespace {

struct UndoFailure {
    std::string path;
    DWORD error = 0;
};

// Undoes the journal's records, last first. Safe to run again after a
// partial run: every step looks at what is on disk. A committed journal only
// loses its backups.
bool Undo(Destinations& at, const journal::Journal& j, UndoFailure& failure) {
    using journal::Record;
    auto fail = [&](const std::string& path) {
        failure.path = path;
        failure.error = ::GetLastError();
        return false;
    };
    if (j.IsCommitted()) {
        for (const Record& r : j.records) {
            if (r.kind == Record::Commit && !r.backup.empty() && at.Exists(r.backup))
                at.DeleteNowOrAtRestart(r.backup);
            if (r.kind == Record::Staged) at.DeleteIfThere(r.path);
        }
        return true;
    }
    for (auto it = j.records.rbegin(); it != j.records.rend(); ++it) {
        const Record& r = *it;
        if (r.kind != Record::Commit) continue;
        const bool staged = at.Exists(r.path);
        if (!r.backup.empty()) {
            const DWORD backup = at.Attributes(r.backup);
            if (backup != INVALID_FILE_ATTRIBUTES) {
                if (backup & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
                    ::SetLastError(ERROR_CANT_ACCESS_FILE);
                    return fail(r.backup);
                }
                // The old file is aside: put it back over whatever stands at
                // its place (the new file, once the staged one went there).
                if (!at.Move(r.backup, r.dest, true))
                    return fail(r.dest);
            } else if (!staged) {
                // Moved in, but its old file is gone: nothing to put back.
                ::SetLastError(ERROR_FILE_NOT_FOUND);
                return fail(r.backup);
            }
            // The old file's own attributes (cleared before it was moved).
            if (at.Exists(r.dest)) at.SetAttributes(r.dest, r.attributes);
        } else if (!staged && at.Exists(r.dest)) {
            // A file that did not exist before the run.
            if (!at.Delete(r.dest)) return fail(r.dest);
        }
        if (staged && !at.Delete(r.path)) return fail(r.path);
        platform::Log("rolled back: " + r.dest);
    }
    for (auto it = j.records.rbegin(); it != j.records.rend(); ++it) {
        if (it->kind == Record::Staged && at.Exists(it->path) && !at.Delete(it->path))
            return fail(it->path);
    }
    for (auto it = j.records.rbegin(); it != j.records.rend(); ++it) {
        // Only an empty folder goes: one that something else has filled
        // since stays, as does one that is not there.
        if (it->kind == Record::Folder) at.RemoveEmptyFolder(it->path);
    }
    return true;
}

// The folders the records name, held as the transaction holds them (a
// recovery holds them here first; a roll-back holds them already).
bool HoldFolders(Destinations& at, const journal::Journal& j, UndoFailure& failure) {
    for (const journal::Record& r : j.records) {
        for (const std::string* path : {&r.path, &r.dest, &r.backup}) {
            if (path->empty()) continue;
            const std::string folder = plan::ParentFolder(*path);
            if (!at.Holds(folder) && !at.Hold(folder)) {
                failure.path = folder;
                failure.error = ::GetLastError();
                return false;
            }
        }
    }
    return true;
}

}  // namespace

bool UndoAsking(Destinations& at, const journal::Journal& j) {
    return Retrying([&](std::string& why) {
        UndoFailure failure;
        if (HoldFolders(at, j, failure) && Undo(at, j, failure)) return Try::Done;
        if (failure.error == ERROR_CANT_ACCESS_FILE && !at.Link().empty()) {
            // Nothing is put back through a link: the journal stays.
            RefuseLink(at.Link());
            return Try::Stop;
        }
        why = std::string(texts::kRestoreFailed) + failure.path + "\n" + GetSystemErrorText(failure.error);
        return Try::Failed;
    });
}

Recovery RecoverInterrupted(const std::string& installFolder, const std::vector<std::string>& roots) {
    IgnoreJournalInInstallFolder(installFolder);
    const std::string path = JournalPath(installFolder);
    Destinations at;
    // Held until the journal is removed, so that it stays the folder judged.
    JournalFolderHold folder;
    std::string why;
    const JournalFolderHold::State state = folder.Hold(false, why);
    if (state == JournalFolderHold::State::Absent) return Recovery::None;
    if (state != JournalFolderHold::State::Held) {
        // Nothing in a folder that is not the program's own is acted on.
        if (path.empty() || !at.Exists(path)) return Recovery::None;
        platform::AppMessageBox(std::string(texts::kJournalUnreadable) + path + "\n" + why, MB_ICONSTOP | MB_OK);
        return Recovery::Failed;
    }
    if (!at.Exists(path)) {
        // A copy alone is a journal whose first writing was cut short:
        // nothing had been made yet.
        RemoveJournalCopy(path);
        return Recovery::None;
    }
    journal::Journal j;
    if (!ReadJournal(path, j, why) || !journal::Validate(j, roots, FullPath, why)) {
        platform::AppMessageBox(std::string(texts::kJournalUnreadable) + path + "\n" + why,
                                MB_ICONSTOP | MB_OK);
        return Recovery::Failed;
    }
    if (!UndoAsking(at, j)) return Recovery::Failed;
    RemoveJournal(path);
    if (j.IsCommitted()) return Recovery::Completed;
    platform::AppMessageBox(texts::kRestoredInterrupted, MB_ICONINFORMATION | MB_OK);
    return Recovery::Restored;
}

}  // namespace install
