#include "platform/system_library.h"

#include <vector>

#include "platform/wide.h"

namespace platform {

std::string SystemFolder() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        const UINT n = ::GetSystemDirectoryW(buf.data(), static_cast<UINT>(buf.size()));
        if (n == 0) return std::string();
        if (n < buf.size()) return Narrow(std::wstring_view(buf.data(), n));
        buf.assign(n + 1, L'\0');  // n is the size it needs
    }
}

SystemLibrary::SystemLibrary(const char* name) {
    const std::string folder = SystemFolder();
    if (folder.empty()) return;
    const std::wstring path = Wide(folder + "\\" + name);
    // The altered search makes the DLL's own imports come from its folder.
    m_module.reset(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

std::string GetModulePath(HMODULE module, DWORD initialSize) {
    std::vector<wchar_t> buf(initialSize ? initialSize : 1);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buf.size());
        ::SetLastError(ERROR_SUCCESS);
        const DWORD n = ::GetModuleFileNameW(module, buf.data(), size);
        if (n == 0) return std::string();
        // A cut path fills the buffer (XP leaves ERROR_SUCCESS, later
        // systems ERROR_INSUFFICIENT_BUFFER).
        if (n < size) return Narrow(std::wstring_view(buf.data(), n));
        if (size >= (1u << 20)) {  // no real path is that long
            ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return std::string();
        }
        buf.assign(static_cast<size_t>(size) * 2, L'\0');
    }
}

}  // namespace platform
