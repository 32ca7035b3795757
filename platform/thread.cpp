#include "platform/thread.h"

namespace platform {

BOOL WorkerThread::CreateThread() {
    HANDLE h = ::CreateThread(nullptr, 0, &WorkerThread::Entry, this, CREATE_SUSPENDED, nullptr);
    if (!h) return FALSE;
    m_hThread.reset(h);
    if (::ResumeThread(h) == static_cast<DWORD>(-1)) {
        // Never started: nothing runs on this object; let the caller delete it.
        LastErrorKeeper keep;
        ::TerminateThread(h, 0);
        m_hThread.reset();
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI WorkerThread::Entry(LPVOID param) {
    auto* self = static_cast<WorkerThread*>(param);
    // No exception may leave the thread's entry.
    try {
        return self->InitInstance() ? self->Run() : 0;
    } catch (...) {
        return static_cast<DWORD>(-1);
    }
}

}  // namespace platform
