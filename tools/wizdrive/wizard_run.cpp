#include "tools/wizdrive/wizard_run.h"

#include "platform/wide.h"

#include <cstdio>
#include <vector>

#include "platform/gdi.h"

namespace driver {

namespace {

constexpr int kBack = 0x3023, kNext = 0x3024, kFinish = 0x3025, kHelp = 9;

ButtonState StateOf(const Window& sheet, int id) {
    ButtonState s;
    for (auto& c : sheet.controls) {
        if (c.id == id && c.parent == sheet.hwnd) {
            s.present = true;
            s.visible = c.visible;
            s.enabled = c.enabled;
            s.rect = c.rect;
        }
    }
    return s;
}

// The sheet is the dialog that holds the wizard's Next button.
bool IsSheet(const Window& w) {
    for (auto& c : w.controls)
        if (c.id == kNext && c.parent == w.hwnd) return true;
    return false;
}

// The visible page: a child dialog of the sheet.
HWND VisiblePage(const Window& sheet) {
    for (auto& c : sheet.controls)
        if (c.parent == sheet.hwnd && c.cls == "#32770" && c.visible) return c.hwnd;
    return nullptr;
}

// Which page a page window is, by its template's controls alone: the
// progress page holds the progress bar, the welcome page's one text has no
// id, the finish page's has 1000. Visibility is not used here: while the
// sheet switches pages, a page's children may already be hidden.
std::string PageName(const Window& sheet, HWND page) {
    bool text1000 = false;
    for (auto& c : sheet.controls) {
        if (c.parent != page) continue;
        if (c.id == 1002) return "progress";
        if (c.id == 1000) text1000 = true;
    }
    return text1000 ? "finish" : "welcome";
}

std::vector<std::string> PageTexts(const Window& sheet, HWND page) {
    std::vector<std::string> out;
    for (auto& c : sheet.controls)
        if (c.parent == page && c.cls == "Static") out.push_back(c.text);
    return out;
}

std::string PageText(const Window& sheet, HWND page, int id) {
    for (auto& c : sheet.controls)
        if (c.parent == page && c.id == id) return c.text;
    return std::string();
}

}  // namespace

bool SaveWindowShot(HWND hwnd, const std::string& path) {
    RECT r;
    if (!::GetWindowRect(hwnd, &r)) return false;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;
    HDC screen = ::GetDC(nullptr);
    platform::MemoryDC mem(::CreateCompatibleDC(screen));
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;  // bottom-up
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    platform::Bitmap dib(::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    bool ok = false;
    if (dib && mem) {
        HGDIOBJ old = ::SelectObject(mem.get(), dib.get());
        ok = ::BitBlt(mem.get(), 0, 0, w, h, screen, r.left, r.top, SRCCOPY) != FALSE;
        ::GdiFlush();
        ::SelectObject(mem.get(), old);
        if (ok) {
            const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
            const DWORD imageSize = stride * static_cast<DWORD>(h);
            BITMAPFILEHEADER fh{};
            fh.bfType = 0x4D42;
            fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
            fh.bfSize = fh.bfOffBits + imageSize;
            bi.bmiHeader.biSizeImage = imageSize;
            FILE* f = ::_wfopen(platform::Wide(path).c_str(), L"wb");
            ok = f && std::fwrite(&fh, sizeof fh, 1, f) == 1 &&
                 std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
                 std::fwrite(bits, 1, imageSize, f) == imageSize;
            if (f) std::fclose(f);
        }
    }
    ::ReleaseDC(nullptr, screen);
    return ok;
}

RunReport RunWizard(const RunOptions& options) {
    Process p;
    if (!p.Start(options.setupExe)) {
        RunReport report;
        report.problems.push_back("SETUP.EXE could not be started");
        return report;
    }
    return DriveWizard(p, options);
}

RunReport DriveWizard(Process& p, const RunOptions& options) {
    RunReport report;
    report.started = true;
    size_t nextAnswer = 0;
    std::string lastPage;
    HWND answeredBox = nullptr;
    const DWORD start = ::GetTickCount();

    while (::GetTickCount() - start < options.timeoutMs) {
        if (!p.Running()) break;
        for (const Window& w : p.Windows()) {
            if (w.IsMessageBox()) {
                if (w.hwnd == answeredBox) continue;  // still closing
                BoxSeen box;
                box.caption = w.caption;
                box.text = w.MessageText();
                for (auto& c : w.controls)
                    if (c.parent == w.hwnd && c.cls == "Button") box.buttons.push_back(c.id);
                int answer = IDOK;
                if (nextAnswer < options.boxAnswers.size()) {
                    answer = options.boxAnswers[nextAnswer++];
                } else if (!w.Find(IDOK)) {
                    answer = IDCANCEL;
                }
                box.answered = answer;
                report.boxes.push_back(box);
                answeredBox = w.hwnd;
                // Let the box be drawn completely before it is answered.
                ::Sleep(200);
                Press(w.hwnd, answer);
                continue;
            }
            if (!IsSheet(w)) continue;
            HWND page = VisiblePage(w);
            if (!page) continue;
            const std::string name = PageName(w, page);
            if (name == "progress" && !report.pages.empty() && report.pages.back().name == "progress") {
                std::string t = PageText(w, page, 1001);
                auto& seen = report.pages.back().progressTexts;
                if (!t.empty() && (seen.empty() || seen.back() != t)) seen.push_back(t);
            }
            if (name == lastPage) continue;
            // A page newly shown: give it a moment to finish its activation.
            ::Sleep(name == "progress" ? 50 : 300);
            Window now = Read(w.hwnd);
            PageSeen ps;
            ps.name = name;
            ps.caption = now.caption;
            ps.texts = PageTexts(now, page);
            ps.back = StateOf(now, kBack);
            ps.next = StateOf(now, kNext);
            ps.finish = StateOf(now, kFinish);
            ps.cancel = StateOf(now, IDCANCEL);
            ps.help = StateOf(now, kHelp);
            ::GetClientRect(w.hwnd, &ps.client);
            if (!options.shotDir.empty()) {
                ps.shot = options.shotDir + "\\" + std::to_string(report.pages.size() + 1) + "-" + name + ".bmp";
                if (!SaveWindowShot(w.hwnd, ps.shot)) report.problems.push_back("no screenshot of " + name);
            }
            report.pages.push_back(ps);
            lastPage = name;
            if (name == "welcome") Press(w.hwnd, kNext);
            if (name == "finish") Press(w.hwnd, kFinish);
        }
        ::Sleep(20);
    }
    report.ended = p.WaitExit(5000);
    if (report.ended) {
        report.exitCode = p.ExitCode();
    } else {
        report.problems.push_back("SETUP.EXE did not end");
    }
    return report;
}

}  // namespace driver
