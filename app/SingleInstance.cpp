#include "app/SingleInstance.h"

#include <windows.h>

#include "platform/wide.h"
#include "product/identity.h"

bool CSingleInstance::Acquire() {
    HANDLE h = ::CreateMutexW(nullptr, FALSE, platform::Wide(product::kZomi7.mutexName).c_str());
    const DWORD error = ::GetLastError();
    if (!h) {
        // Another instance's mutex, under a security another user set.
        // Any other failure only costs the guard: the update still runs.
        return error != ERROR_ACCESS_DENIED;
    }
    m_mutex.reset(h);
    return error != ERROR_ALREADY_EXISTS;
}
