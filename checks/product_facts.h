#pragma once
// What SETUP.EXE knows of the product it updates: its file names and the
// version from which no update is needed (the message for that case is
// texts::kUpToDate, res/texts.h).
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

}  // namespace product
