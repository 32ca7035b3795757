#pragma once
// A worker thread object standing in for the framework's CWinThread: created
// from its class and started at once; the object outlives its thread, so
// that its owner reads the exit code and then deletes it.

#include <windows.h>

#include "platform/handle.h"
#include "platform/last_error.h"

namespace platform {

class WorkerThread {
public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    virtual ~WorkerThread() = default;

    // Runs on the new thread: InitInstance, then (if it returned TRUE) Run;
    // the value Run returns is the thread's exit code. The entry returns it
    // only after Run has returned, so every local of Run is destroyed first.
    virtual BOOL InitInstance() { return TRUE; }
    virtual DWORD Run() = 0;

    HANDLE ThreadHandle() const { return m_hThread.get(); }

    // Creates the thread (suspended, then resumed). FALSE on failure, with
    // the system's last error intact.
    BOOL CreateThread();

private:
    static DWORD WINAPI Entry(LPVOID param);
    Handle m_hThread;
};

// Creates an object of class T (default constructor) and starts its thread;
// returns nullptr (object deleted, last error kept) when the thread cannot
// be created.
template <class T>
T* BeginThread() {
    T* t = new T();
    if (!t->CreateThread()) {
        LastErrorKeeper keep;
        delete t;
        return nullptr;
    }
    return t;
}

}  // namespace platform
