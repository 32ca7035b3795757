#pragma once
// The banner across the top of the wizard: the picture, scaled to the
// window's width by the static control that shows it, and a two-pixel
// sunken line under it.

#include <windows.h>

#include <memory>

#include "platform/window.h"

// Height of the picture for a client width: bitmapHeight * clientWidth /
// bitmapWidth, truncated toward zero; -1 when the bitmap has no width
// (missing or unreadable), in which case no banner is built.
int BannerHeight(int bitmapWidth, int bitmapHeight, int clientWidth);

struct BANNERWINDOWS {
    std::unique_ptr<platform::Window> pPicture;  // control 10
    std::unique_ptr<platform::Window> pLine;     // control 11
};

// Makes the two controls across the top of parent's client area, showing
// bitmap; a control the system refuses is left out (null).
BANNERWINDOWS BuildBanner(HWND parent, HBITMAP bitmap);
