#include "util/syserr.h"

namespace {

// Frees the buffer that FormatMessageA allocates.
class LocalBuffer {
public:
    LocalBuffer() = default;
    LocalBuffer(const LocalBuffer&) = delete;
    LocalBuffer& operator=(const LocalBuffer&) = delete;
    ~LocalBuffer() {
        if (m_p) ::LocalFree(m_p);
    }
    char** out() { return &m_p; }
    const char* get() const { return m_p; }

private:
    char* m_p = nullptr;
};

}  // namespace

std::string GetSystemErrorText(DWORD code) {
    // Callers format the text of the error they are about to report; looking
    // it up must not replace that error for whoever reads it next.
    const DWORD saved = ::GetLastError();
    LocalBuffer buffer;
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                        FORMAT_MESSAGE_ALLOCATE_BUFFER;  // 0x1300
    const DWORD len = ::FormatMessageA(flags, nullptr, code, 0x0400, reinterpret_cast<LPSTR>(buffer.out()),
                                       0, nullptr);
    std::string text;
    if (len && buffer.get()) text.assign(buffer.get(), len);
    ::SetLastError(saved);
    return text;
}
