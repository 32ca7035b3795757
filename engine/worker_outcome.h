#pragma once
// The update worker's stages, as the progress page shows them, and its
// outcomes, as its thread's exit code that the finish page and the
// process's exit status read. Portable: the exit status is decided in
// portable code.

#include <cstdint>

namespace worker {

// COPYPROGRESS::nStage: 0 before the worker starts.
enum Stage : long {
    kNotStarted = 0,
    kCheck = 1,    // the product: not running, where, which version (and an interrupted run undone)
    kExtract = 2,  // the package unpacked into the work folder (or FILES held to the signed list)
    kList = 3,     // the file list of the components
    kInstall = 4,  // the files installed as one transaction
};

// What stage 1 found (CCopyThread::CheckProduct).
enum class Check { Proceed, UpToDate, Stop };

// The thread's exit codes.
inline constexpr std::uint32_t kUpdated = 0;
inline constexpr std::uint32_t kUpToDate = 16;      // already current: nothing to do
inline constexpr std::uint32_t kFailed = 0xFFFFFFFF;  // -1: cancelled, failed or not found

}  // namespace worker
