#include "app/SingleInstance.h"

#include <windows.h>

namespace {
constexpr wchar_t kMutexName[] = L"Global\\Zomi7.UpdateWizard.SETUP";
}

bool CSingleInstance::Acquire() {
    HANDLE h = ::CreateMutexW(nullptr, FALSE, kMutexName);
    const DWORD error = ::GetLastError();
    if (!h) {
        // Another instance's mutex, under a security another user set.
        // Any other failure only costs the guard: the update still runs.
        return error != ERROR_ACCESS_DENIED;
    }
    m_mutex.reset(h);
    return error != ERROR_ALREADY_EXISTS;
}
