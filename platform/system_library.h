#pragma once
// A DLL taken from the system folder by its full path, never by search.

#include <windows.h>

#include <string>

namespace platform {

// Owns one loaded module; FreeLibrary on destruction.
class SystemLibrary {
public:
    // Loads GetSystemDirectory\name. Not loaded (IsLoaded false, last error
    // set) when the file is not there or cannot be loaded.
    explicit SystemLibrary(const char* name);
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;
    ~SystemLibrary();

    bool IsLoaded() const { return m_module != nullptr; }
    // An exported function as type F, or nullptr.
    template <class F>
    F Find(const char* function) const {
        FARPROC p = m_module ? ::GetProcAddress(m_module, function) : nullptr;
        return reinterpret_cast<F>(reinterpret_cast<void (*)()>(p));
    }

private:
    HMODULE m_module = nullptr;
};

// The full path of a module's file (nullptr: the program's own), read with
// a buffer that grows from initialSize until the path fits. "" on failure.
std::string GetModulePath(HMODULE module, DWORD initialSize = MAX_PATH);

}  // namespace platform
