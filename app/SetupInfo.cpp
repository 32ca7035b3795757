#include "app/SetupInfo.h"

#include <windows.h>

#include "app/MediumTrust.h"
#include "app/profile.h"
#include "app/setup_description.h"
#include "platform/prompt.h"
#include "platform/strings.h"
#include "platform/system_library.h"
#include "res/resource.h"

int CSetupInfo::Load(const std::string& path) {
    std::string bytes;
    ReadWholeFile(path, kMaxBytes, bytes);
    return LoadFrom(bytes);
}

int CSetupInfo::LoadFrom(const std::string& bytes) {
    setupini::Description d = setupini::ReadDescriptionFrom(bytes);
    m_strProductName = d.productName;
    m_strProductVersion = d.productVersion;
    m_strPackage = d.package;

    m_strSystemDir = platform::SystemFolder();
    m_strTargetDir.clear();

    for (setupini::Component& c : d.components) {
        auto record = std::make_unique<SETUPCOMPONENT>();
        record->pszSource = std::move(c.source);
        record->pszDest = std::move(c.dest);
        record->nValue = c.value;
        m_components.push_back(std::move(record));
    }

    if (!d.faults.empty()) {
        platform::AppMessageBox(
            platform::FormatOneString(platform::LoadResString(IDS_BAD_SETUP_INI), d.faults),
            MB_ICONEXCLAMATION | MB_OK);
        return FALSE;
    }
    return TRUE;
}
