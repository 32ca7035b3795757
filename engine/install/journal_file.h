#pragma once
// The install journal on disk: where it lies, writing it as a whole,
// reading it back and whether to trust what was read. Its text form is
// engine/install_journal.h.

#include <windows.h>

#include <string>

#include "engine/install_journal.h"

namespace install {

// The journal's path for an install folder: the one place that decides it.
std::string JournalPath(const std::string& installFolder);

// Replaces the journal at path with j as a whole; 0 or the error.
DWORD WriteJournal(const std::string& path, const journal::Journal& j);

// Reads the journal at path and judges whether an elevated run may act on
// it (a plain file, not too large, written by an elevated run, in the text
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
    // Written, asking Retry/Cancel while it cannot be; false on Cancel.
    bool WriteAsking();
    // What the journal on disk holds: records not yet written describe
    // nothing that was done.
    journal::Journal Written() const;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    journal::Journal m_journal;
    std::size_t m_written = 0;
};

}  // namespace install
