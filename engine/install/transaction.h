#pragma once
// Stage 4 as one transaction: room first, every file staged beside its
// destination, then committed with the old file kept aside, undone on
// Cancel, failure or exception; a journal in the install folder lets the
// next run undo a run that was killed.

#include <windows.h>

#include <string>
#include <vector>

class CCopyThread;

namespace install {

// Free space on the volume that holds an existing folder.
struct VolumeSpace {
    std::string root;           // the volume's root, e.g. "C:\"
    ULONGLONG freeBytes = 0;    // free to this user
    ULONGLONG clusterBytes = 0; // allocation unit; 0 when unknown
};
using VolumeSpaceQuery = bool (*)(const std::string& folder, VolumeSpace& space);

// Tests replace the system's query; nullptr restores it. Returns the previous.
VolumeSpaceQuery SetVolumeSpaceQuery(VolumeSpaceQuery query);

// Tests: called at fixed points ("staged" after file index is staged,
// "committed" after commit index), e.g. to end the process there as a crash
// would. nullptr removes it; returns the previous.
using StepHook = void (*)(const char* point, unsigned index);
StepHook SetStepHook(StepHook hook);

// The journal's path in an install folder.
std::string JournalPath(const std::string& installFolder);

// Installs worker.m_files as one transaction, with the journal in
// installFolder. TRUE when every file is in place; FALSE after a box (the
// product is then as it was, or, if putting it back failed, the journal is
// kept for the next run). Exceptions are passed on after the roll-back.
BOOL InstallAll(CCopyThread& worker, const std::string& installFolder);

enum class Recovery {
    None,       // no journal: nothing was interrupted
    Restored,   // an interrupted run was undone (the information box was shown)
    Completed,  // an interrupted run had committed everything; its backups were removed
    Failed,     // the journal was unreadable or not every file could be put back (box shown)
};

// Looks for the journal of an interrupted run in installFolder and undoes
// that run. roots are the folders the update may write to (every expanded
// destination and the install folder): a journal naming anything else is
// refused as unreadable.
Recovery RecoverInterrupted(const std::string& installFolder, const std::vector<std::string>& roots);

}  // namespace install
