#pragma once
// The banner across the top of the wizard: the picture, drawn at the
// window's width into a bitmap of its own so that the picture control
// (which shows a bitmap at its own size) holds the whole of it, and a
// two-pixel sunken line right under it.

#include <windows.h>

#include <memory>

#include "platform/gdi.h"
#include "platform/window.h"

// Height of the picture for a client width: bitmapHeight * clientWidth /
// bitmapWidth, truncated toward zero; -1 when the bitmap has no width
// (missing or unreadable), in which case no banner is built.
int BannerHeight(int bitmapWidth, int bitmapHeight, int clientWidth);

// A new bitmap holding picture resampled to width x height (smoothly, so
// that a picture enlarged for a high display scale is not blocky); null
// for an empty size or when the system refuses.
HBITMAP ScaleBitmap(HBITMAP picture, int width, int height);

struct BANNERWINDOWS {
    std::unique_ptr<platform::Window> pPicture;  // control 10
    std::unique_ptr<platform::Window> pLine;     // control 11
};

// Makes the two controls across the top of parent's client area for
// picture (at its own size): the copy drawn at the client width goes into
// shown, which the picture control displays. A control the system refuses
// is left out (null).
BANNERWINDOWS BuildBanner(HWND parent, HBITMAP picture, platform::Bitmap& shown);

// Fits the banner's controls (either may be null) to parent's present
// client width, with a new copy of picture in shown: the sheet grows or
// shrinks when the display scale changes.
void FitBanner(HWND parent, HBITMAP picture, HWND pictureControl, HWND line,
               platform::Bitmap& shown);
