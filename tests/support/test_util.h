#pragma once
// Small helpers for Windows tests: code page 932 texts, scratch folders,
// files.

#include <windows.h>

#include <string>

#include "platform/handle.h"

namespace testsupport {

// Wine's ntdll exports its version; Windows' does not.
inline bool RunningUnderWine() {
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

// A UTF-8 literal in code page 932 (the system code page under our runner).
inline std::string Sjis(const std::string& utf8) {
    int wn = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(wn), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), wn);
    int n = ::WideCharToMultiByte(932, 0, w.data(), wn, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(932, 0, w.data(), wn, out.data(), n, nullptr, nullptr);
    return out;
}

inline bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    platform::Handle h(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return ok && written == bytes.size();
}

inline std::string ReadFileBytes(const std::string& path) {
    platform::Handle h(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return std::string("<missing>");
    std::string out;
    char buf[65536];
    DWORD n = 0;
    while (::ReadFile(h.get(), buf, sizeof buf, &n, nullptr) && n) out.append(buf, n);
    return out;
}

inline bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Deletes a folder tree (test clean-up; no link handling needed here).
inline void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA fd;
    platform::FindHandle h(::FindFirstFileA((dir + "\\*").c_str(), &fd));
    if (h) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..") continue;
            std::string p = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(p);
            } else {
                ::SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(p.c_str());
            }
        } while (::FindNextFileA(h.get(), &fd));
        h.reset();  // an open search holds the folder
    }
    ::RemoveDirectoryA(dir.c_str());
}

// A fresh, empty folder below the temporary folder, removed on destruction.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name) {
        char tmp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, tmp);
        m_path = std::string(tmp) + name;
        RemoveTree(m_path);
        ::CreateDirectoryA(m_path.c_str(), nullptr);
    }
    ~ScratchDir() { RemoveTree(m_path); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

}  // namespace testsupport
