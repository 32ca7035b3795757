#include "platform/dll_search.h"

#include <windows.h>

namespace platform {

void RestrictDllSearch() {
    // Looked up at run time: Windows 7 without update KB2533623 lacks it.
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    FARPROC found = kernel ? ::GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
    if (found) {
        // Through void(*)(): the one cast between function types that is
        // not suspicious to the compiler.
        auto set = reinterpret_cast<SetDirectories>(reinterpret_cast<void (*)()>(found));
        if (set(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    }
    // At least the current folder leaves the search.
    ::SetDllDirectoryW(L"");
}

}  // namespace platform
