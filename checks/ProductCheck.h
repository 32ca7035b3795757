#pragma once
// Checks of the installed product: not running, where installed, whether its
// version needs the update, and the checksum of its library (the package key).
// All run on the worker thread.

#include <cstdint>
#include <string>

class CProductCheck {
public:
    CProductCheck() = default;
    CProductCheck(const CProductCheck&) = delete;
    CProductCheck& operator=(const CProductCheck&) = delete;
    virtual ~CProductCheck() = default;

    // 1 when no running process's upper-cased image name contains
    // "ZOMI7.EXE"; 0 (after the running message) when one does.
    int CheckNotRunning();
    // 1 when targetDir names a folder with a "Zomi7.EXE" that has a readable
    // version block (App Paths, the default folder, then the folder dialog);
    // 0 with targetDir empty when the user cancelled.
    int FindInstallFolder(std::string& targetDir);
    // The folder dialog: 1 with the chosen folder, 0 with targetDir emptied.
    int BrowseInstallFolder(std::string& targetDir);
    // 1 when the installed version is below 7.5.2.0; 0 when at or above it
    // (message shown) or unreadable (no message).
    int CheckVersion();
    // CRC-32 of the library in the install folder; 0 on any file error.
    uint32_t GetLibraryCrc();
};
