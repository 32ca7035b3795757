#pragma once
// The product this update is for, in one record that SETUP.EXE and updpkg
// read alike: its files, how it is found and recognised, the version from
// which no update is needed (the message for that case is texts::kUpToDate),
// and the names this update gives what it makes. Portable, so that updpkg
// predicts what SETUP.EXE will do from the same facts.

#include <cstdint>

#include "res/texts.h"

namespace product {

struct Identity {
    const char* exeName;      // the product's executable, in its install folder
    const char* processName;  // found in upper-cased process image names
    const char* libraryName;  // its CRC-32 is the package key
    const char* appPathsKey;  // below HKEY_LOCAL_MACHINE: where the executable is registered
    const char* defaultFolder;  // below "<drive of the system folder>\Program Files"
    const char* version;      // the version this update brings, as text
    uint32_t versionMS, versionLS;  // the same, as the fixed version block's two words
    const char* mutexName;    // one SETUP.EXE at a time, across sessions
    const char* workFolder;   // in the user's temporary folder
    const char* journalName;  // a journal's name in the install folder, where none is ever acted on
    const char* journalFolder;  // below the machine's common application data: the install journals
    const char* journalSuffix;  // of each journal's name there (the rest: a hash of its install folder)
};

inline constexpr Identity kZomi7{
    "Zomi7.EXE",
    "ZOMI7.EXE",
    "kvp2lib.dll",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zomi7.EXE",
    texts::kDefaultFolderName,
    "7.5.2.0",
    0x00070005,  // 7.5
    0x00020000,  // 2.0
    "Global\\Zomi7.UpdateWizard.SETUP",
    "KVUPDATE",
    "KVUPDATE.JNL",
    "KVUPDATE",
    ".JNL",
};

// Whether a file version (the fixed version block's two words) is older
// than the version this update brings: versions from it on need no update.
constexpr bool NeedsUpdate(uint32_t versionMS, uint32_t versionLS) {
    return versionMS < kZomi7.versionMS || (versionMS == kZomi7.versionMS && versionLS < kZomi7.versionLS);
}

}  // namespace product
