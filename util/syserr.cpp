#include "util/syserr.h"

#include "platform/handle.h"

std::string GetSystemErrorText(DWORD code) {
    // Callers format the text of the error they are about to report; looking
    // it up must not replace that error for whoever reads it next.
    platform::LastErrorKeeper keep;
    platform::LocalMemory<char> buffer;  // FormatMessageA allocates it
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                        FORMAT_MESSAGE_ALLOCATE_BUFFER;  // 0x1300
    const DWORD len = ::FormatMessageA(flags, nullptr, code, 0x0400, reinterpret_cast<LPSTR>(buffer.out()),
                                       0, nullptr);
    std::string text;
    if (len && buffer) text.assign(buffer.get(), len);
    return text;
}
