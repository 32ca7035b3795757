// Stage 4 as one transaction over the plan of every file of every
// component.
//
// Order of work, each step recorded in the journal before it is done:
//   1. plan: staged names beside each destination, folders to create, a
//      backup name for every destination that exists (engine/plan/plan.h);
//   2. room: the bytes to write per volume against its free space;
//   3. journal written (folders, staged files); folders created, each
//      source moved or copied to its staged name and checked;
//   4. journal written again (commits);
//   5. commit: old file to its backup, staged file into place, the product's
//      executable last; the new files flushed to disk; journal marked
//      committed;
//   6. finish: backups deleted (or at restart), journal removed.
// A Cancel, a failure or an exception before 6 undoes everything from the
// journal's records in reverse; a killed run is undone from the journal on
// disk by the next run (RecoverInterrupted).
#include "engine/install/transaction.h"

#include <functional>

#include "app/MediumTrust.h"
#include "engine/install/destinations.h"
#include "engine/install/folder_names.h"
#include "engine/install/retry.h"
#include "engine/install/stage_file.h"
#include "platform/handle.h"
#include "platform/log.h"
#include "platform/prompt.h"
#include "platform/timing.h"
#include "res/texts.h"
#include "util/syserr.h"

namespace install {
namespace {

constexpr unsigned kClosingPauseMs = 1000;
constexpr DWORD kClearedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

StepHook g_stepHook = nullptr;

void Step(const char* point, unsigned index) {
    if (g_stepHook) g_stepHook(point, index);
}

class Transaction {
public:
    Transaction(const std::vector<plan::Component>& components, const plan::Product& product,
                ProgressSink& progress, const SourceChecks& checks)
        : m_components(components), m_product(product), m_progress(progress), m_checks(checks),
          m_journal(JournalPath(product.installFolder)) {}

    BOOL Run() {
        m_plan = plan::Build(m_components, m_product, m_names);
        if (m_plan.files.empty()) {  // nothing to do, and no journal to leave behind
            platform::Pause(kClosingPauseMs);
            return TRUE;
        }
        if (!CheckRoom(m_plan, m_names) || !Unblock() || !HoldDestinations()) return FALSE;
        m_held.resize(m_plan.files.size());
        for (const journal::Record& r : m_plan.stagingRecords) m_journal.Add(r);
        if (!m_journal.WriteAsking()) return RollBack();
        if (!CreateFolders() || !StageAll()) return RollBack();
        DropSuperseded();
        for (const journal::Record& r : m_plan.commitRecords) m_journal.Add(r);
        if (!m_journal.WriteAsking() || !CommitAll()) return RollBack();
        // The new files must be on disk before the journal says so: after
        // that mark a power loss is no longer undone from the backups.
        if (!FlushCommitted(m_plan, m_progress)) return RollBack();
        m_journal.Add({journal::Record::Committed, {}, {}, {}, 0});
        if (!m_journal.WriteAsking()) return RollBack();
        Finish();
        platform::Pause(kClosingPauseMs);
        return TRUE;
    }

    // Puts everything back; FALSE always (the stage failed). The journal
    // stays when a file could not be put back, for the next run.
    BOOL RollBack() {
        m_progress.RollingBack();
        for (platform::Handle& held : m_held) held.reset();  // the staged files go by name
        if (UndoAsking(m_at, m_journal.Written())) RemoveJournal(m_journal.path());
        return FALSE;
    }

private:
    // A destination with no free staged name: the folders are listed and
    // the plan made again on Retry.
    bool Unblock() {
        bool first = true;
        return Retrying([&](std::string& why) {
            if (!first) {
                m_names = FolderNames();
                m_plan = plan::Build(m_components, m_product, m_names);
            }
            first = false;
            if (m_plan.blocked.empty()) return Try::Done;
            why = GetSystemErrorText(ERROR_FILE_EXISTS);
            return Try::Failed;
        });
    }

    // A Retry/Cancel box for a failing step, but a link met in a
    // destination stops the update at once: trying again cannot help.
    bool RetryingAt(const std::function<DWORD()>& attempt) {
        return Retrying([&](std::string& why) {
            const DWORD err = attempt();
            if (!err) return Try::Done;
            if (err == ERROR_CANT_ACCESS_FILE && !m_at.Link().empty()) {
                RefuseLink(m_at.Link());
                return Try::Stop;
            }
            why = GetSystemErrorText(err);
            return Try::Failed;
        });
    }

    // Every folder the files go to, from its volume's root down, held as
    // itself until the transaction ends, and no destination file a link:
    // before anything is written.
    bool HoldDestinations() {
        return RetryingAt([&] {
            DWORD error = 0;
            plan::ForEachLinkCheck(m_plan, [&](const std::string& path, bool folder) {
                if (folder ? m_at.Holds(path) || m_at.Hold(path) : !m_at.IsLink(path)) return true;
                error = folder ? ::GetLastError() : DWORD{ERROR_CANT_ACCESS_FILE};
                return false;
            });
            return error;
        });
    }

    bool CreateFolders() {
        for (const std::string& folder : m_plan.folders)
            if (!RetryingAt([&] { return m_at.CreateFolder(folder) ? 0 : ::GetLastError(); })) return false;
        return true;
    }

    bool StageAll() {
        for (unsigned i = 0; i < m_plan.files.size(); ++i) {
            const plan::File& f = m_plan.files[i];
            const bool staged = Retrying([&](std::string& why) {
                m_progress.CurrentFile(f.dest);
                if (!m_at.MayChange(f.staged, true)) {
                    RefuseLink(m_at.Link());
                    return Try::Stop;
                }
                const StageResult result =
                    StageFile(f.source, f.staged, m_checks.placed, f.move, m_held[i], why, m_checks.signedFiles);
                if (result == StageResult::Done) return Try::Done;
                m_at.DeleteIfThere(f.staged);  // a part-made copy goes before the next try
                if (result == StageResult::Refused) {
                    platform::AppMessageBox(texts::kPackageFormatError, MB_ICONEXCLAMATION | MB_OK);
                    return Try::Stop;
                }
                if (result == StageResult::NotSigned) {
                    RefuseUnsigned(why);
                    return Try::Stop;
                }
                return Try::Failed;
            });
            if (!staged) return false;
            m_progress.FileStaged();
            if (platform::LogIsOpen()) platform::Log("staged: " + f.dest + " (" + f.staged + ")");
            Step("staged", i);
        }
        return true;
    }

    // The staged copies of files a later component replaces go now.
    void DropSuperseded() {
        for (std::size_t i = 0; i < m_plan.files.size(); ++i) {
            if (!m_plan.files[i].superseded) continue;
            m_held[i].reset();
            m_at.DeleteIfThere(m_plan.files[i].staged);
        }
    }

    // 0, or the error that stopped this commit. The first try goes by the
    // plan; a later one looks at what is on disk, so that a file already
    // moved aside is not moved again. The staged file moves through the
    // handle that has held it since its staging.
    DWORD CommitOne(const journal::Record& r, platform::Handle& staged, bool first) {
        if (!r.backup.empty() && (first || !(m_at.Exists(r.backup) && !m_at.Exists(r.dest)))) {
            const DWORD a = first ? r.attributes : m_at.Attributes(r.dest);
            if (a == INVALID_FILE_ATTRIBUTES) return ::GetLastError();
            if (a & FILE_ATTRIBUTE_DIRECTORY) return ERROR_ACCESS_DENIED;
            if ((a & kClearedAttributes) && !m_at.SetAttributes(r.dest, a & ~kClearedAttributes))
                return ::GetLastError();
            if (!m_at.Move(r.dest, r.backup, false)) {
                const DWORD err = ::GetLastError();
                m_at.SetAttributes(r.dest, a);
                return err;
            }
        }
        if (!m_at.MoveOpen(staged.get(), r.dest)) return ::GetLastError();
        staged.reset();
        return 0;
    }

    bool CommitAll() {
        for (unsigned k = 0; k < m_plan.commits.size(); ++k) {
            const journal::Record& r = m_plan.commitRecords[k];
            platform::Handle& staged = m_held[m_plan.commits[k]];
            bool first = true;
            const bool committed = RetryingAt([&] {
                m_progress.CurrentFile(r.dest);
                const DWORD err = CommitOne(r, staged, first);
                first = false;
                return err;
            });
            if (!committed) return false;
            if (platform::LogIsOpen()) platform::Log("committed: " + r.dest);
            Step("committed", k);
        }
        return true;
    }

    // The backups go; one that is held open goes at the next restart and
    // does not fail the update.
    void Finish() {
        for (const journal::Record& r : m_plan.commitRecords)
            if (!r.backup.empty()) m_at.DeleteNowOrAtRestart(r.backup);
        RemoveJournal(m_journal.path());
    }

    const std::vector<plan::Component>& m_components;
    const plan::Product& m_product;
    ProgressSink& m_progress;
    const SourceChecks& m_checks;
    Destinations m_at;
    FolderNames m_names;  // the destination folders as planning found them
    plan::Plan m_plan;
    JournalWriter m_journal;
    std::vector<platform::Handle> m_held;  // each staged file, open from its staging to its commit
};

}  // namespace

StepHook SetStepHook(StepHook hook) {
    StepHook previous = g_stepHook;
    g_stepHook = hook;
    return previous;
}

BOOL InstallAll(const std::vector<plan::Component>& components, const plan::Product& product,
                ProgressSink& progress, const SourceChecks& checks) {
    Transaction transaction(components, product, progress, checks);
    try {
        return transaction.Run();
    } catch (...) {
        transaction.RollBack();
        throw;
    }
}

}  // namespace install
