#pragma once
// Owning wrappers for GDI objects: a bitmap and a memory device context.

#include <windows.h>

#include "platform/handle.h"

namespace platform {

struct BitmapTraits : NullIsNone<HBITMAP> {
    static void Close(HBITMAP h) { ::DeleteObject(h); }
};
using Bitmap = Owned<BitmapTraits>;

// A device context of CreateCompatibleDC, deleted with DeleteDC.
struct MemoryDCTraits : NullIsNone<HDC> {
    static void Close(HDC h) { ::DeleteDC(h); }
};
using MemoryDC = Owned<MemoryDCTraits>;

}  // namespace platform
