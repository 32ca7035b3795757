#include "util/version.h"

#include <cstring>
#include <vector>

#include "platform/system_library.h"

static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "the fixed version block is 52 bytes");

namespace {

// version.dll is not one of the DLLs that Windows always takes from the
// system folder: imported, it would be looked for beside the program first.
// Its three functions are therefore taken from the system folder's copy,
// once, at the first use.
struct VersionFunctions {
    using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

    platform::SystemLibrary dll{"version.dll"};
    SizeFn size = dll.Find<SizeFn>("GetFileVersionInfoSizeA");
    InfoFn info = dll.Find<InfoFn>("GetFileVersionInfoA");
    QueryFn query = dll.Find<QueryFn>("VerQueryValueA");

    bool Complete() const { return size && info && query; }
};

const VersionFunctions& Version() {
    static const VersionFunctions functions;  // thread-safe first use
    return functions;
}

}  // namespace

BOOL ReadFileVersion(const std::string& path, VS_FIXEDFILEINFO* info) {
    std::memset(info, 0, sizeof(*info));
    if (path.size() >= MAX_PATH) {
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    const VersionFunctions& api = Version();
    if (!api.Complete()) {
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    DWORD ignored = 0;
    const DWORD size = api.size(path.c_str(), &ignored);
    if (size == 0) return FALSE;
    std::vector<unsigned char> data(size);
    if (!api.info(path.c_str(), 0, size, data.data())) return FALSE;
    void* block = nullptr;
    UINT length = 0;
    if (!api.query(data.data(), "\\", &block, &length) || !block) {
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
