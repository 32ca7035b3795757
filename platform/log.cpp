#include "platform/log.h"

#include <windows.h>

#include <mutex>

#include "platform/handle.h"
#include "platform/last_error.h"
#include "platform/log_format.h"

namespace platform {

namespace {

std::mutex g_lock;
Handle g_file;  // guarded by g_lock

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace

bool OpenLog(Handle file) {
    if (!file) return false;
    if (!WriteAll(file.get(), logfmt::kByteOrderMark)) return false;
    std::lock_guard<std::mutex> hold(g_lock);
    g_file = std::move(file);
    return true;
}

void CloseLog() {
    std::lock_guard<std::mutex> hold(g_lock);
    g_file.reset();
}

bool LogIsOpen() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_file.valid();
}

void Log(const std::string& text) {
    // Logging never disturbs the caller's error code.
    LastErrorKeeper keep;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const logfmt::Stamp stamp{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                              now.wMilliseconds};
    {
        std::lock_guard<std::mutex> hold(g_lock);
        if (g_file) WriteAll(g_file.get(), logfmt::FormatLines(stamp, text));
    }
}

}  // namespace platform
