#pragma once
// Small helpers for Windows tests: scratch folders and files named in UTF-8
// (through the W functions, as the programs do), code page 932 for the
// data that is code page 932 (SETUP.INI's bytes, package entry names).

#include <windows.h>

#include <string>

#include "platform/handle.h"
#include "platform/wide.h"

namespace testsupport {

// Wine's ntdll exports its version; Windows' does not.
inline bool RunningUnderWine() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

using platform::Wide;

// A UTF-8 text as code page 932 bytes.
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
    platform::Handle h(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return ok && written == bytes.size();
}

inline std::string ReadFileBytes(const std::string& path) {
    platform::Handle h(::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return std::string("<missing>");
    std::string out;
    char buf[65536];
    DWORD n = 0;
    while (::ReadFile(h.get(), buf, sizeof buf, &n, nullptr) && n) out.append(buf, n);
    return out;
}

inline bool Exists(const std::string& path) {
    return ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Deletes a folder tree (test clean-up), never what a link in it leads to.
inline void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAW fd;
    platform::FindHandle h(::FindFirstFileW(Wide(dir + "\\*").c_str(), &fd));
    if (h) {
        do {
            const std::string name = platform::Narrow(fd.cFileName);
            if (name == "." || name == "..") continue;
            const std::wstring p = Wide(dir + "\\" + name);
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveTree(dir + "\\" + name);
            } else {
                ::SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(p.c_str());
            }
        } while (::FindNextFileW(h.get(), &fd));
        h.reset();  // an open search holds the folder
    }
    ::RemoveDirectoryW(Wide(dir).c_str());
}

// The temporary folder, with its trailing backslash.
inline std::string TempPath() {
    wchar_t tmp[MAX_PATH + 1] = {};
    return platform::Narrow(std::wstring_view(tmp, ::GetTempPathW(MAX_PATH + 1, tmp)));
}

inline bool CopyTo(const std::string& from, const std::string& to) {
    return ::CopyFileW(Wide(from).c_str(), Wide(to).c_str(), FALSE) != FALSE;
}

inline bool MakeDir(const std::string& path) { return ::CreateDirectoryW(Wide(path).c_str(), nullptr) != FALSE; }

// A fresh, empty folder below the temporary folder, removed on destruction.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name) {
        m_path = TempPath() + name;
        RemoveTree(m_path);
        ::CreateDirectoryW(Wide(m_path).c_str(), nullptr);
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
