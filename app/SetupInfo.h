#pragma once
// The update description, read from SETUP.INI.

#include <cstddef>
#include <list>
#include <memory>
#include <string>

// One component: which folder below FILES goes to which destination folder.
struct SETUPCOMPONENT {
    std::string pszSource;  // part 1: subfolder of the update's FILES folder
    std::string pszDest;    // part 2: destination folder, usually with a macro
    int nValue = 0;         // part 3: carried along, used by no step
};

class CSetupInfo {
public:
    CSetupInfo() = default;
    CSetupInfo(const CSetupInfo&) = delete;
    CSetupInfo& operator=(const CSetupInfo&) = delete;
    virtual ~CSetupInfo() = default;

    // Reads the description from the file at path (one read; a missing or
    // unreadable file reads as empty) with the profile reader that follows
    // the system's. TRUE when complete; otherwise shows one message that
    // lists every fault and returns FALSE.
    int Load(const std::string& path);
    // The same from the file's bytes, read once by the caller (who checked
    // them against the medium's signature).
    int LoadFrom(const std::string& bytes);
    // A larger SETUP.INI is read as missing.
    static constexpr std::size_t kMaxBytes = 16u << 20;

    std::string m_strProductVersion;
    std::string m_strProductName;
    std::list<std::unique_ptr<SETUPCOMPONENT>> m_components;  // file order
    std::string m_strTargetDir;  // install folder; see CSetupApp for its lock
    std::string m_strSystemDir;  // without a trailing backslash
    std::string m_strPackage;
};
