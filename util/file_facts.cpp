#include "util/file_facts.h"

namespace {

// The file's number is asked of ntdll directly: the documented query
// (GetFileInformationByHandle) asks the volume for its serial number too,
// which costs more than everything else here together. ntdll is in every
// process, so nothing is loaded for it.
constexpr int kFileInternalInformation = 6;
struct IoStatus {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};
using QueryInformationFile = LONG(WINAPI*)(HANDLE, IoStatus*, void*, ULONG, int);

QueryInformationFile NtQuery() {
    static const QueryInformationFile query = [] {
        HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        return ntdll ? reinterpret_cast<QueryInformationFile>(
                           reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQueryInformationFile")))
                     : nullptr;
    }();
    return query;
}

bool ReadIndex(HANDLE h, ULONGLONG& index) {
    if (const QueryInformationFile query = NtQuery()) {
        IoStatus io{};
        LARGE_INTEGER number{};
        if (query(h, &io, &number, sizeof number, kFileInternalInformation) >= 0) {
            index = static_cast<ULONGLONG>(number.QuadPart);
            return true;
        }
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(h, &info)) return false;
    index = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

}  // namespace

bool ReadFileFacts(HANDLE h, FileFacts& facts) {
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
    if (!::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) ||
        !::GetFileInformationByHandleEx(h, FileStandardInfo, &standard, sizeof standard) ||
        !ReadIndex(h, facts.index))
        return false;
    facts.size = static_cast<ULONGLONG>(standard.EndOfFile.QuadPart);
    facts.written.dwLowDateTime = basic.LastWriteTime.LowPart;
    facts.written.dwHighDateTime = static_cast<DWORD>(basic.LastWriteTime.HighPart);
    facts.attributes = basic.FileAttributes;
    facts.links = standard.NumberOfLinks;
    return true;
}
