#include "app/setup_description_win.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace setupini {

// The reader cuts what does not fit and then returns size - 1 (size - 2 for
// the list of a section's key names), so the buffer grows until the result
// shows the text was not cut; a value cut at 1023 bytes would install files
// in the wrong place while reporting success.
std::string ReadSystemProfile(const char* section, const char* key, const std::string& path) {
    std::vector<char> buf(1024);
    for (;;) {
        DWORD size = static_cast<DWORD>(buf.size());
        DWORD n = ::GetPrivateProfileStringA(section, key, "", buf.data(), size, path.c_str());
        DWORD cut = key ? size - 1 : size - 2;
        if (n < cut || buf.size() >= (1u << 26)) {
            // A key list keeps its NUL separators and its final empty string.
            size_t len = key ? n : n + 1;
            return std::string(buf.data(), std::min<size_t>(len, buf.size()));
        }
        buf.assign(buf.size() * 2, '\0');
    }
}

}  // namespace setupini
