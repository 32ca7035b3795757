#pragma once
// What SETUP.EXE knows of the product it updates: its file names, the
// version from which no update is needed, and the message for that case.
// Portable, so that updpkg can predict what SETUP.EXE will do.

#include <cstdint>

namespace product {

inline constexpr char kExeName[] = "Zomi7.EXE";
inline constexpr char kLibraryName[] = "kvp2lib.dll";

// Versions from 7.5.2.0 on need no update.
inline constexpr uint32_t kThresholdMS = 0x00070005;  // 7.5
inline constexpr uint32_t kThresholdLS = 0x00020000;  // 2.0

// Whether a file version (the fixed version block's two words) is older
// than the version this update brings.
constexpr bool NeedsUpdate(uint32_t versionMS, uint32_t versionLS) {
    return versionMS < kThresholdMS || (versionMS == kThresholdMS && versionLS < kThresholdLS);
}

// "最新バージョンがインストールされています。" (code page 932)
inline constexpr char kUpToDateText[] =
    "\x8D\xC5\x90\x56\x83\x6F\x81\x5B\x83\x57\x83\x87\x83\x93\x82\xAA\x83\x43\x83\x93\x83\x58\x83"
    "\x67\x81\x5B\x83\x8B\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81\x42";

}  // namespace product
