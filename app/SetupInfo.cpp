#include "app/SetupInfo.h"

#include <windows.h>

#include <vector>

#include "platform/prompt.h"
#include "platform/strings.h"
#include "res/resource.h"
#include "util/path.h"

namespace {

// A profile value read whole. The reader cuts what does not fit and then
// returns size - 1 (size - 2 for the list of a section's key names), so the
// buffer grows until the result shows the text was not cut; a value cut at
// 1023 bytes would install files in the wrong place while reporting success.
std::string ReadProfile(const char* section, const char* key, const std::string& path) {
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

}  // namespace

int CSetupInfo::Load(const std::string& path) {
    std::string errors;

    m_strProductName = ReadProfile("PRODUCT", "PRODUCT_NAME", path);
    if (m_strProductName.empty()) errors += "[PRODUCT] PRODUCT_NAME\r\n";

    m_strProductVersion = ReadProfile("PRODUCT", "PRODUCT_VERSION", path);
    if (m_strProductVersion.empty()) errors += "[PRODUCT] PRODUCT_VERSION\r\n";

    m_strPackage = ReadProfile("PRODUCT", "PACKAGE", path);

    char sysDir[MAX_PATH] = {};
    UINT n = ::GetSystemDirectoryA(sysDir, MAX_PATH);
    m_strSystemDir.assign(sysDir, n < MAX_PATH ? n : 0);
    m_strTargetDir.clear();

    std::list<std::string> names;
    SplitString(ReadProfile("COMPONENTS", nullptr, path), '\0', names);

    for (const std::string& name : names) {
        std::list<std::string> parts;
        if (SplitString(ReadProfile("COMPONENTS", name.c_str(), path), ',', parts) == 3) {
            auto c = std::make_unique<SETUPCOMPONENT>();
            auto it = parts.begin();
            c->pszSource = *it++;
            c->pszDest = *it++;
            c->nValue = ParseLeadingInt(*it);
            m_components.push_back(std::move(c));
        } else {
            errors += "[COMPONENTS] " + name + "\r\n";
        }
    }

    if (!errors.empty()) {
        platform::AppMessageBox(
            platform::FormatOneString(platform::LoadResString(IDS_BAD_SETUP_INI), errors),
            MB_ICONEXCLAMATION | MB_OK);
        return FALSE;
    }
    return TRUE;
}
