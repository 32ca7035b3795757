#include "platform/system_library.h"

#include <vector>

namespace platform {

SystemLibrary::SystemLibrary(const char* name) {
    char folder[MAX_PATH];
    const UINT n = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        if (n) ::SetLastError(ERROR_BUFFER_OVERFLOW);
        return;
    }
    const std::string path = std::string(folder, n) + "\\" + name;
    // The altered search makes the DLL's own imports come from its folder.
    m_module.reset(::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

std::string GetModulePath(HMODULE module, DWORD initialSize) {
    std::vector<char> buf(initialSize ? initialSize : 1);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buf.size());
        ::SetLastError(ERROR_SUCCESS);
        const DWORD n = ::GetModuleFileNameA(module, buf.data(), size);
        if (n == 0) return std::string();
        // A cut path fills the buffer (XP leaves ERROR_SUCCESS, later
        // systems ERROR_INSUFFICIENT_BUFFER).
        if (n < size) return std::string(buf.data(), n);
        if (size >= (1u << 20)) {  // no real path is that long
            ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return std::string();
        }
        buf.assign(static_cast<size_t>(size) * 2, '\0');
    }
}

}  // namespace platform
