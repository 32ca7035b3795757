#include "platform/thread.h"

namespace platform {

BOOL WorkerThread::CreateThread(int priority, unsigned stackSize) {
    HANDLE h = ::CreateThread(nullptr, stackSize, &WorkerThread::Entry, this, CREATE_SUSPENDED,
                              &m_nThreadID);
    if (!h) return FALSE;
    m_hThread.reset(h);
    ::SetThreadPriority(h, priority);
    if (::ResumeThread(h) == static_cast<DWORD>(-1)) {
        // Never started: nothing runs on this object; let the caller delete it.
        DWORD err = ::GetLastError();
        ::TerminateThread(h, 0);
        m_hThread.reset();
        ::SetLastError(err);
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI WorkerThread::Entry(LPVOID param) {
    auto* self = static_cast<WorkerThread*>(param);
    DWORD code = 0;
    // No exception may leave the thread's entry.
    try {
        code = self->InitInstance() ? self->Run() : 0;
    } catch (...) {
        code = static_cast<DWORD>(-1);
    }
    if (self->m_bAutoDelete) delete self;
    return code;
}

}  // namespace platform
