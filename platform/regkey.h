#pragma once
// Owning wrapper for an open registry key (closed with RegCloseKey).

#include <windows.h>

#include "platform/handle.h"

namespace platform {

struct RegKeyTraits : NullIsNone<HKEY> {
    static void Close(HKEY key) { ::RegCloseKey(key); }
};
// out() gives RegOpenKeyExW / RegCreateKeyExW the slot to fill.
using RegKey = Owned<RegKeyTraits>;

}  // namespace platform
