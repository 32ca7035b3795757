#pragma once
// A worker thread object in the manner of a framework thread class: created
// from its class, started at once, optionally kept after its thread ends so
// that its exit code can be read.

#include <windows.h>

#include "platform/handle.h"

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
    DWORD ThreadId() const { return m_nThreadID; }

    // Creates the thread (suspended, then resumed). FALSE on failure, with
    // the system's last error intact.
    BOOL CreateThread(int priority = THREAD_PRIORITY_NORMAL, unsigned stackSize = 0);

    // When TRUE the object deletes itself as its thread ends.
    BOOL m_bAutoDelete = TRUE;

private:
    static DWORD WINAPI Entry(LPVOID param);
    Handle m_hThread;
    DWORD m_nThreadID = 0;
};

// Creates an object of class T (default constructor) and starts its thread;
// returns nullptr (object deleted) when the thread cannot be created.
template <class T>
T* BeginThread(int priority = THREAD_PRIORITY_NORMAL, unsigned stackSize = 0) {
    T* t = new T();
    if (!t->CreateThread(priority, stackSize)) {
        DWORD err = ::GetLastError();
        delete t;
        ::SetLastError(err);
        return nullptr;
    }
    return t;
}

}  // namespace platform
