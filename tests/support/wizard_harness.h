#pragma once
// What the wizard's tests share: a scripted worker behind the pages' link,
// a driver that walks a modal run step by step, a sheet that records its
// button row around the slide, and the application set up for a run.

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <vector>

#include "app/SetupApp.h"
#include "platform/gdi.h"
#include "platform/prompt.h"
#include "platform/propsheet.h"
#include "platform/window.h"
#include "res/resource.h"
#include "tests/support/test_util.h"
#include "wizard/SetupSheet.h"
#include "wizard/WorkerLink.h"

namespace testsupport {

// The worker, as the pages see it through the link.
class ScriptedWorker : public CWorkerLink {
public:
    bool Start() override {
        ++starts;
        return startSucceeds;
    }
    bool Poll(PROGRESSSNAPSHOT& s) override {
        ++polls;
        if (pollsUntilEnd >= 0 && polls > pollsUntilEnd) running = false;
        if (!running) return false;
        s = snapshot;
        return true;
    }
    bool startSucceeds = true;
    bool running = true;
    int pollsUntilEnd = -1;  // ends by itself after that many polls
    int starts = 0;
    int polls = 0;
    PROGRESSSNAPSHOT snapshot;
};

// Runs steps from a thread timer while a modal loop runs: each step is
// retried on every tick until it returns true. A run that does not finish
// in time is ended with WM_QUIT.
class Driver {
public:
    using Step = std::function<bool()>;
    explicit Driver(std::vector<Step> steps) : m_steps(std::move(steps)) {
        s_current = this;
        m_timer = ::SetTimer(nullptr, 0, 15, &Driver::Tick);
    }
    ~Driver() {
        ::KillTimer(nullptr, m_timer);
        s_current = nullptr;
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;
    bool finished() const { return m_next == m_steps.size(); }
    bool timedOut() const { return m_timedOut; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (Driver* d = s_current) d->RunStep();
    }
    void RunStep() {
        if (m_next >= m_steps.size() || m_running) return;
        if (++m_ticks > 1000) {
            m_timedOut = true;
            m_next = m_steps.size();
            ::PostQuitMessage(1);
            return;
        }
        m_running = true;  // a step may pump messages (SendMessage)
        if (m_steps[m_next]()) ++m_next;
        m_running = false;
    }
    static Driver* s_current;
    std::vector<Step> m_steps;
    size_t m_next = 0;
    int m_ticks = 0;
    bool m_timedOut = false;
    bool m_running = false;
    UINT_PTR m_timer = 0;
};
inline Driver* Driver::s_current = nullptr;

// Button rectangles before and after the sheet's own arrangement.
struct ButtonRow {
    std::map<int, RECT> before, after;
};

class TestSheet : public CSetupSheet {
public:
    TestSheet() : CSetupSheet(IDS_SHEET_CAPTION, nullptr, 0) {}
    ButtonRow row;
    HWND mainWindowDuringRun = nullptr;

protected:
    INT_PTR OnInitDialog(INT_PTR result) override {
        mainWindowDuringRun = platform::GetMainWindow();
        for (int id : kButtons) row.before[id] = platform::GetRectInParent(GetDlgItem(id));
        INT_PTR r = CSetupSheet::OnInitDialog(result);
        for (int id : kButtons) row.after[id] = platform::GetRectInParent(GetDlgItem(id));
        return r;
    }

public:
    static constexpr int kButtons[] = {IDHELP, IDCANCEL, platform::kIdWizNext,
                                       platform::kIdWizBack, platform::kIdWizFinish};
};

// The application with a product name and version, and the scripted
// worker as the pages' link, for as long as the object lives.
struct WizardWorld {
    WizardWorld() {
        app.m_info.m_strProductName = "ゾミ７";
        app.m_info.m_strProductVersion = "7.5.2.0";
        SetAppForTest(&app);
        SetWorkerLink(&worker);
    }
    ~WizardWorld() {
        SetWorkerLink(nullptr);
        SetAppForTest(nullptr);
    }
    WizardWorld(const WizardWorld&) = delete;
    WizardWorld& operator=(const WizardWorld&) = delete;
    CSetupApp app;
    ScriptedWorker worker;
};

// The pixels of a bitmap or of a part of a window as it shows on screen,
// top row first, 0x00RRGGBB.
struct PIXELS {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;
    uint32_t at(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

inline BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

inline PIXELS ReadBitmap(HBITMAP bitmap) {
    PIXELS p;
    BITMAP bm = {};
    if (!bitmap || !::GetObjectA(bitmap, sizeof bm, &bm)) return p;
    BITMAPINFO bi = TopDown32(bm.bmWidth, bm.bmHeight);
    std::vector<uint32_t> rgb(static_cast<size_t>(bm.bmWidth) * bm.bmHeight);
    HDC dc = ::GetDC(nullptr);
    const int rows = ::GetDIBits(dc, bitmap, 0, bm.bmHeight, rgb.data(), &bi, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, dc);
    if (rows != bm.bmHeight) return p;
    p.width = bm.bmWidth;
    p.height = bm.bmHeight;
    for (auto& v : rgb) v &= 0xFFFFFF;
    p.rgb = std::move(rgb);
    return p;
}

// What window shows in r (its client coordinates), read back from its DC.
inline PIXELS ReadWindow(HWND window, const RECT& r) {
    PIXELS p;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return p;
    BITMAPINFO bi = TopDown32(w, h);
    void* bits = nullptr;
    platform::Bitmap dib(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    HDC src = ::GetDC(window);
    platform::MemoryDC mem(::CreateCompatibleDC(src));
    HGDIOBJ old = ::SelectObject(mem.get(), dib.get());
    const BOOL ok = dib && mem && ::BitBlt(mem.get(), 0, 0, w, h, src, r.left, r.top, SRCCOPY);
    ::GdiFlush();
    if (ok) {
        p.width = w;
        p.height = h;
        const auto* px = static_cast<const uint32_t*>(bits);
        p.rgb.assign(px, px + static_cast<size_t>(w) * h);
        for (auto& v : p.rgb) v &= 0xFFFFFF;
    }
    ::SelectObject(mem.get(), old);
    ::ReleaseDC(window, src);
    return p;
}

// How far shown is from the whole of picture drawn at shown's size: the
// mean difference per colour channel (0 to 255) between each pixel and the
// picture's pixel at the same relative place. A copy that is cut, shifted
// or squeezed differs by far more than one that is only resampled.
inline double DifferenceFromPicture(const PIXELS& shown, const PIXELS& picture) {
    if (shown.width <= 0 || shown.height <= 0 || picture.width <= 0) return 255.0;
    double sum = 0;
    for (int y = 0; y < shown.height; ++y) {
        const int sy = static_cast<int>((2LL * y + 1) * picture.height / (2LL * shown.height));
        for (int x = 0; x < shown.width; ++x) {
            const int sx = static_cast<int>((2LL * x + 1) * picture.width / (2LL * shown.width));
            const uint32_t a = shown.at(x, y), b = picture.at(sx, sy);
            for (int shift : {0, 8, 16})
                sum += std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                static_cast<int>((b >> shift) & 0xFF));
        }
    }
    return sum / (3.0 * shown.width * shown.height);
}

inline HWND CurrentPage(HWND sheet) {
    return reinterpret_cast<HWND>(::SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

}  // namespace testsupport
