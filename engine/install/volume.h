#pragma once
// The destination volumes: room for the staged files before anything is
// written, and the committed files on disk before the journal says so.

#include <windows.h>

#include <string>

#include "engine/install/progress_sink.h"
#include "engine/plan/plan.h"

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

// Room first: every volume must hold the plan's staged copies (the old
// files stay until the end). false after the box that says how much more a
// volume needs.
bool CheckRoom(const plan::Plan& p, plan::DestinationView& view);

// Each destination volume of the committed files flushed at once where the
// system allows it, else each file, asking Retry/Cancel. false on Cancel.
bool FlushCommitted(const plan::Plan& p, ProgressSink& progress);

}  // namespace install
