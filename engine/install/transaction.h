#pragma once
// Stage 4 as one transaction: the plan (engine/plan/plan.h) carried out.
// Room first, every file staged beside its destination, then committed
// with the old file kept aside, undone on Cancel, failure or exception; a
// journal lets the next run undo a run that was killed.

#include <windows.h>

#include <string>
#include <vector>

#include "engine/install/journal_file.h"
#include "engine/install/progress_sink.h"
#include "engine/install/undo.h"
#include "engine/install/volume.h"
#include "engine/plan/plan.h"

class CMediumTrust;
class CPlacedFiles;

namespace install {

// Tests: called at fixed points ("staged" after file index is staged,
// "committed" after commit index), e.g. to end the process there as a crash
// would. nullptr removes it; returns the previous.
using StepHook = void (*)(const char* point, unsigned index);
StepHook SetStepHook(StepHook hook);

// The checks every source passes on the handle it is staged from.
struct SourceChecks {
    const CPlacedFiles& placed;                // what extraction placed (when in use)
    const CMediumTrust* signedFiles = nullptr;  // without a package: the signed list of FILES
};

// Installs the components' files as one transaction, with the journal of
// product.installFolder. TRUE when every file is in place; FALSE after a
// box (the product is then as it was, or, if putting it back failed, the
// journal is kept for the next run). Exceptions are passed on after the
// roll-back.
BOOL InstallAll(const std::vector<plan::Component>& components, const plan::Product& product,
                ProgressSink& progress, const SourceChecks& checks);

}  // namespace install
