#include "wizard/Banner.h"

#include "res/resource.h"

int BannerHeight(int bitmapWidth, int bitmapHeight, int clientWidth) {
    if (bitmapWidth <= 0) return -1;
    // 64-bit product: no overflow for any window or bitmap size.
    long long h = static_cast<long long>(bitmapHeight) * clientWidth / bitmapWidth;
    return static_cast<int>(h);
}

BANNERWINDOWS BuildBanner(HWND parent, HBITMAP bitmap) {
    BANNERWINDOWS banner;
    RECT client = {};
    ::GetClientRect(parent, &client);
    const int width = client.right;
    BITMAP bm = {};
    if (!bitmap || ::GetObjectA(bitmap, sizeof bm, &bm) == 0) return banner;
    const int h = BannerHeight(bm.bmWidth, bm.bmHeight, width);
    if (h < 0) return banner;

    auto picture = std::make_unique<platform::Window>();
    RECT pictureRect = {0, 0, width, h};
    if (picture->Create(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_BITMAP, pictureRect, parent,
                        IDC_BANNER)) {
        ::SendMessageA(picture->GetSafeHwnd(), STM_SETIMAGE, IMAGE_BITMAP,
                       reinterpret_cast<LPARAM>(bitmap));
        banner.pPicture = std::move(picture);
    }
    // Placed from h even without the picture.
    auto line = std::make_unique<platform::Window>();
    RECT lineRect = {0, h, width, h + 2};
    if (line->Create(WS_EX_STATICEDGE, "STATIC", "", WS_CHILD | WS_VISIBLE, lineRect, parent,
                     IDC_BANNER_LINE))
        banner.pLine = std::move(line);
    return banner;
}
