#include "util/syserr.h"

#include "platform/handle.h"
#include "platform/wide.h"

std::string GetSystemErrorText(DWORD code) {
    // Callers format the text of the error they are about to report; looking
    // it up must not replace that error for whoever reads it next.
    platform::LastErrorKeeper keep;
    platform::LocalMemory<wchar_t> buffer;  // FormatMessageW allocates it
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                        FORMAT_MESSAGE_ALLOCATE_BUFFER;  // 0x1300
    const DWORD len = ::FormatMessageW(flags, nullptr, code, 0x0400, reinterpret_cast<LPWSTR>(buffer.out()), 0,
                                       nullptr);
    return len && buffer ? platform::Narrow(std::wstring_view(buffer.get(), len)) : std::string();
}
