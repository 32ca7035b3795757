#pragma once
// The install journal on disk: where it lies, writing it as a whole,
// reading it back and whether to trust what was read. Its text form is
// engine/install_journal.h.

#include <windows.h>

#include <string>

#include "engine/install_journal.h"
#include "platform/handle.h"

namespace install {

// The folder of the install journals: the product's folder below the
// machine's common application data (FOLDERID_ProgramData, as the shell
// gives it, never %ProgramData% from the environment, which an elevated
// run inherits from the user). "" when the shell cannot say. What makes a
// journal there trusted is the folder's owner and access list, checked on
// the handle used (JournalFolderHold), not where the folder lies.
std::string JournalFolder();

// The journal's path for an install folder: the one place that decides it.
// In JournalFolder(), named by the SHA-256 (hex) of the install folder's
// full path as paths are compared (names::Key), so that every spelling of
// one folder finds its one journal. "" when JournalFolder() is.
std::string JournalPath(const std::string& installFolder);

// A journal in the install folder itself (or its copy), where ordinary
// users may write: never acted on nor removed. Logs, once a run, that it
// is ignored.
void IgnoreJournalInInstallFolder(const std::string& installFolder);

// JournalFolder(), held open without delete sharing (so that it cannot be
// renamed or replaced while held) once it is known to be the program's own:
// not a link, with the owner and access list CPrivateFolder gives.
class JournalFolderHold {
public:
    enum class State {
        Absent,     // not there (and not to be made)
        Held,       // the program's own, held
        Untrusted,  // there, but not as the program made it: nothing in it is acted on
        Failed,     // a system error (last error set)
    };
    // Opens the folder, first making it when create and it is not there.
    // why says what is wrong unless Held or Absent.
    State Hold(bool create, std::string& why);
    bool held() const { return static_cast<bool>(m_folder); }

private:
    platform::Handle m_folder;
};

// Replaces the journal at path with j as a whole; 0 or the error.
DWORD WriteJournal(const std::string& path, const journal::Journal& j);

// Reads the journal at path (in a held JournalFolderHold) and judges
// whether it may be acted on (a plain file, not too large, in the text
// form). false with why set otherwise.
bool ReadJournal(const std::string& path, journal::Journal& j, std::string& why);

// The journal and a copy of it that a cut-short writing left.
void RemoveJournal(const std::string& path);
// Only such a copy (nothing at path: its first writing was cut short).
void RemoveJournalCopy(const std::string& path);

// The journal of one run of the installation: records added as the plan's
// steps come, written before each is acted on.
class JournalWriter {
public:
    explicit JournalWriter(std::string path) : m_path(std::move(path)) {}
    void Add(const journal::Record& r) { m_journal.records.push_back(r); }
    // Written, asking Retry/Cancel while it cannot be; false on Cancel. The
    // journals' folder is made or held first; one that is not as the
    // program made it stops the update with a box.
    bool WriteAsking();
    // What the journal on disk holds: records not yet written describe
    // nothing that was done.
    journal::Journal Written() const;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    JournalFolderHold m_folder;
    journal::Journal m_journal;
    std::size_t m_written = 0;
};

}  // namespace install
