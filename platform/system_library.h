#pragma once
// A DLL taken from the system folder by its full path, never by search.

#include <windows.h>

#include <string>

#include "platform/handle.h"

namespace platform {

// An exported function of module as type F; nullptr when the module is not
// loaded or has no such function.
template <class F>
F FindFunction(HMODULE module, const char* name) {
    FARPROC p = module ? ::GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(p));
}

// The system folder (GetSystemDirectory), without a trailing backslash;
// "" on failure.
std::string SystemFolder();

class SystemLibrary {
public:
    // Loads GetSystemDirectory\name. Not loaded (IsLoaded false, last error
    // set) when the file is not there or cannot be loaded.
    explicit SystemLibrary(const char* name);

    bool IsLoaded() const { return m_module.valid(); }
    // An exported function as type F, or nullptr.
    template <class F>
    F Find(const char* function) const {
        return FindFunction<F>(m_module.get(), function);
    }

private:
    Module m_module;
};

// The full path of a module's file (nullptr: the program's own), read with
// a buffer that grows from initialSize until the path fits. "" on failure.
std::string GetModulePath(HMODULE module, DWORD initialSize = MAX_PATH);

}  // namespace platform
