#include "util/version.h"

#include <cstring>
#include <vector>

static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "the fixed version block is 52 bytes");

BOOL ReadFileVersion(const std::string& path, VS_FIXEDFILEINFO* info) {
    std::memset(info, 0, sizeof(*info));
    if (path.size() >= MAX_PATH) {
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return FALSE;
    std::vector<unsigned char> data(size);
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return FALSE;
    void* block = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(data.data(), "\\", &block, &length) || !block) {
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
