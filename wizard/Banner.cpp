#include "wizard/Banner.h"

#include "res/resource.h"

namespace {

// The banner's size for parent's present client width; false when there
// is no picture to show.
struct BANNERSIZE {
    int width = 0, height = 0;
};
bool MeasureBanner(HWND parent, HBITMAP picture, BANNERSIZE& size) {
    RECT client = {};
    ::GetClientRect(parent, &client);
    BITMAP bm = {};
    if (!picture || ::GetObjectW(picture, sizeof bm, &bm) == 0) return false;
    size.width = client.right;
    size.height = BannerHeight(bm.bmWidth, bm.bmHeight, size.width);
    return size.height >= 0;
}

void ShowPicture(HWND control, platform::Bitmap& shown, HBITMAP picture, const BANNERSIZE& size) {
    platform::Bitmap scaled;
    scaled.reset(ScaleBitmap(picture, size.width, size.height));
    ::SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled.get()));
    // The control no longer refers to the old copy: it may go now.
    shown.reset(scaled.release());
}

}  // namespace

int BannerHeight(int bitmapWidth, int bitmapHeight, int clientWidth) {
    if (bitmapWidth <= 0) return -1;
    // 64-bit product: no overflow for any window or bitmap size.
    long long h = static_cast<long long>(bitmapHeight) * clientWidth / bitmapWidth;
    return static_cast<int>(h);
}

HBITMAP ScaleBitmap(HBITMAP picture, int width, int height) {
    BITMAP bm = {};
    if (width <= 0 || height <= 0 || !picture || ::GetObjectW(picture, sizeof bm, &bm) == 0)
        return nullptr;
    // A 24-bit section: the scaled copy needs colours between the
    // picture's palette entries.
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    platform::Bitmap out;
    out.reset(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    platform::MemoryDC src(::CreateCompatibleDC(nullptr)), dst(::CreateCompatibleDC(nullptr));
    if (!out.get() || !src.get() || !dst.get()) return nullptr;
    HGDIOBJ oldSrc = ::SelectObject(src.get(), picture);
    HGDIOBJ oldDst = ::SelectObject(dst.get(), out.get());
    ::SetStretchBltMode(dst.get(), HALFTONE);
    ::SetBrushOrgEx(dst.get(), 0, 0, nullptr);
    const BOOL drawn =
        ::StretchBlt(dst.get(), 0, 0, width, height, src.get(), 0, 0, bm.bmWidth, bm.bmHeight,
                     SRCCOPY);
    ::SelectObject(dst.get(), oldDst);
    ::SelectObject(src.get(), oldSrc);
    return drawn ? out.release() : nullptr;
}

BANNERWINDOWS BuildBanner(HWND parent, HBITMAP picture, platform::Bitmap& shown) {
    BANNERWINDOWS banner;
    BANNERSIZE size;
    if (!MeasureBanner(parent, picture, size)) return banner;
    const int w = size.width, h = size.height;

    auto control = std::make_unique<platform::Window>();
    RECT pictureRect = {0, 0, w, h};
    if (control->Create(0, L"STATIC", "", WS_CHILD | WS_VISIBLE | SS_BITMAP, pictureRect, parent,
                        IDC_BANNER)) {
        ShowPicture(control->GetSafeHwnd(), shown, picture, size);
        banner.pPicture = std::move(control);
    }
    // Placed from h even without the picture.
    auto line = std::make_unique<platform::Window>();
    RECT lineRect = {0, h, w, h + 2};
    if (line->Create(WS_EX_STATICEDGE, L"STATIC", "", WS_CHILD | WS_VISIBLE, lineRect, parent,
                     IDC_BANNER_LINE))
        banner.pLine = std::move(line);
    return banner;
}

void FitBanner(HWND parent, HBITMAP picture, HWND pictureControl, HWND line,
               platform::Bitmap& shown) {
    BANNERSIZE size;
    if (!MeasureBanner(parent, picture, size)) return;
    const int w = size.width, h = size.height;
    if (pictureControl) {
        ShowPicture(pictureControl, shown, picture, size);
        ::MoveWindow(pictureControl, 0, 0, w, h, TRUE);
    }
    if (line) ::MoveWindow(line, 0, h, w, 2, TRUE);
}
