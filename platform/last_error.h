#pragma once
// Keeps the calling thread's last error across a scope: what runs inside
// (closing a handle, logging, looking up an error's text) leaves the error
// that the caller is about to report as it was.

#include <windows.h>

namespace platform {

class LastErrorKeeper {
public:
    LastErrorKeeper() = default;
    LastErrorKeeper(const LastErrorKeeper&) = delete;
    LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;
    ~LastErrorKeeper() { ::SetLastError(m_error); }

    // The error as it was when the scope began.
    DWORD error() const { return m_error; }

private:
    DWORD m_error = ::GetLastError();
};

}  // namespace platform
