#include "util/version.h"

#include <cstring>
#include <vector>

#include "platform/system_library.h"
#include "platform/wide.h"

static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "the fixed version block is 52 bytes");

namespace {

// version.dll is not one of the DLLs that Windows always takes from the
// system folder: imported, it would be looked for beside the program first.
// Its three functions are therefore taken from the system folder's copy,
// once, at the first use.
struct VersionFunctions {
    using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

    platform::SystemLibrary dll{"version.dll"};
    SizeFn size = dll.Find<SizeFn>("GetFileVersionInfoSizeW");
    InfoFn info = dll.Find<InfoFn>("GetFileVersionInfoW");
    QueryFn query = dll.Find<QueryFn>("VerQueryValueW");

    bool Complete() const { return size && info && query; }
};

const VersionFunctions& Version() {
    static const VersionFunctions functions;  // thread-safe first use
    return functions;
}

}  // namespace

BOOL ReadFileVersion(const std::string& path, VS_FIXEDFILEINFO* info) {
    std::memset(info, 0, sizeof(*info));
    const VersionFunctions& api = Version();
    if (!api.Complete()) {
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    DWORD ignored = 0;
    const std::wstring wide = platform::Wide(path);
    const DWORD size = api.size(wide.c_str(), &ignored);
    if (size == 0) return FALSE;
    std::vector<unsigned char> data(size);
    if (!api.info(wide.c_str(), 0, size, data.data())) return FALSE;
    void* block = nullptr;
    UINT length = 0;
    if (!api.query(data.data(), L"\\", &block, &length) || !block) {
        ::SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return FALSE;
    }
    if (length != sizeof(VS_FIXEDFILEINFO)) {
        ::SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    std::memcpy(info, block, sizeof(*info));
    return TRUE;
}
