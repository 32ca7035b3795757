#pragma once
// How the progress page starts the update worker and follows it. The real
// link goes through the application object (StartCopyThread,
// PollCopyThread); tests put in a scripted one.

#include <windows.h>

#include <string>

// What one poll saw of a running worker: a copy, so that nothing of the
// worker is touched after the poll.
struct PROGRESSSNAPSHOT {
    LONG nPos = 0;
    LONG nMax = 0;
    LONG nStage = 0;
    bool bRollingBack = false;
    std::string strFile;  // filled in stage 4 only
};

class CWorkerLink {
public:
    virtual ~CWorkerLink() = default;
    // Starts the worker; false when it could not be started.
    virtual bool Start() = 0;
    // Polls once: true with the snapshot while the worker runs, false once
    // it has ended (the application then holds its exit code) or when none
    // runs.
    virtual bool Poll(PROGRESSSNAPSHOT& snapshot) = 0;
};

// The link in use (the application's unless replaced). SetWorkerLink
// returns the previous one; nullptr restores the application's.
CWorkerLink& GetWorkerLink();
CWorkerLink* SetWorkerLink(CWorkerLink* link);
