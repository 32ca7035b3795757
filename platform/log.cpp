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

// Code page 932 as the program's texts are written, whatever the system's
// own code page; characters it cannot convert become U+FFFD.
std::string ToUtf8(const std::string& text) {
    if (text.empty()) return text;
    const int n = static_cast<int>(text.size());
    const int wn = ::MultiByteToWideChar(932, 0, text.data(), n, nullptr, 0);
    if (wn <= 0) return text;
    std::wstring wide(static_cast<size_t>(wn), L'\0');
    ::MultiByteToWideChar(932, 0, text.data(), n, wide.data(), wn);
    const int un = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wn, nullptr, 0, nullptr, nullptr);
    if (un <= 0) return text;
    std::string utf8(static_cast<size_t>(un), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wn, utf8.data(), un, nullptr, nullptr);
    return utf8;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace

bool OpenLog(const std::string& path) {
    // Readable by others while it grows, so a watcher can follow it.
    Handle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
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
        if (g_file) WriteAll(g_file.get(), logfmt::FormatLines(stamp, ToUtf8(text)));
    }
}

}  // namespace platform
