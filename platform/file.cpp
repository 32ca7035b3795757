#include "platform/file.h"

#include "platform/wide.h"

namespace platform {

namespace {

[[noreturn]] void ThrowLastError() { throw FileException(::GetLastError()); }

DWORD AccessFor(UINT flags) { return (flags & File::modeWrite) ? GENERIC_WRITE : GENERIC_READ; }

DWORD SharingFor(UINT flags) { return (flags & File::shareDenyWrite) ? FILE_SHARE_READ : 0; }

DWORD DispositionFor(UINT flags) { return (flags & File::modeCreate) ? CREATE_ALWAYS : OPEN_EXISTING; }

// FILETIME counts 100 ns steps since 1601; the status wants whole seconds
// since 1970.
long long UnixSeconds(const FILETIME& ft) {
    const unsigned long long ticks =
        (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<long long>(ticks / 10000000ULL) - 11644473600LL;
}

}  // namespace

HANDLE File::CheckedHandle() const {
    if (!m_handle.valid()) throw FileException(ERROR_INVALID_HANDLE);
    return m_handle.get();
}

void File::Open(const std::string& path, UINT flags) {
    if (m_handle.valid()) throw FileException(ERROR_ALREADY_ASSIGNED);
    HANDLE h = ::CreateFileW(Wide(path).c_str(), AccessFor(flags), SharingFor(flags), nullptr,
                             DispositionFor(flags), FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) ThrowLastError();
    m_handle.reset(h);
    m_path = path;
}

UINT File::Read(void* buffer, UINT count) {
    HANDLE h = CheckedHandle();
    DWORD got = 0;
    if (count == 0) return 0;
    if (!::ReadFile(h, buffer, count, &got, nullptr)) ThrowLastError();
    return got;
}

void File::Write(const void* buffer, UINT count) {
    HANDLE h = CheckedHandle();
    if (count == 0) return;
    DWORD written = 0;
    if (!::WriteFile(h, buffer, count, &written, nullptr)) ThrowLastError();
    if (written != count) throw FileException(ERROR_DISK_FULL);
}

void File::GetInformation(BY_HANDLE_FILE_INFORMATION& info) const {
    if (!::GetFileInformationByHandle(CheckedHandle(), &info)) throw FileException(::GetLastError());
}

ULONGLONG File::GetLength() const {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(CheckedHandle(), &size)) ThrowLastError();
    return static_cast<ULONGLONG>(size.QuadPart);
}

void File::Close() {
    if (!m_handle.valid()) return;
    // Closing is where a buffered write may finally fail: report it.
    HANDLE h = m_handle.release();
    m_path.clear();
    if (!::CloseHandle(h)) ThrowLastError();
}

bool File::GetStatus(const std::string& path, FileStatus& status) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return false;
    status.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    status.mtime = UnixSeconds(data.ftLastWriteTime);
    status.attributes = data.dwFileAttributes;
    return true;
}

}  // namespace platform
