#pragma once
// Putting the product back from a journal's records: after a Cancel or a
// failure of this run, and at start-up for a run that was killed.

#include <string>
#include <vector>

#include "engine/install/destinations.h"
#include "engine/install_journal.h"

namespace install {

// Undoes the journal's records, last first, asking Retry/Cancel for a file
// that cannot be put back. Safe to run again after a partial run: every
// step looks at what is on disk. A committed journal only loses its
// backups. true when everything was put back.
bool UndoAsking(Destinations& at, const journal::Journal& j);

enum class Recovery {
    None,       // no journal: nothing was interrupted
    Restored,   // an interrupted run was undone (the information box was shown)
    Completed,  // an interrupted run had committed everything; its backups were removed
    Failed,     // the journal was unreadable or not every file could be put back (box shown)
};

// Looks for the journal of an interrupted run of installFolder and undoes
// that run. roots are the folders the update may write to (every expanded
// destination and the install folder): a journal naming anything else is
// refused as unreadable.
Recovery RecoverInterrupted(const std::string& installFolder, const std::vector<std::string>& roots);

}  // namespace install
