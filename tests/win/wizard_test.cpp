// The wizard as it runs: the sheet with its banner and button row, and the
// three pages driven by a scripted worker link. A thread timer walks each
// run step by step inside the sheet's own modal loop.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/SetupApp.h"
#include "platform/prompt.h"
#include "platform/window.h"
#include "res/resource.h"
#include "tests/support/test_util.h"
#include "tests/support/wizard_harness.h"
#include "wizard/Banner.h"
#include "wizard/SetupSheet.h"
#include "wizard/WorkerLink.h"

using namespace testsupport;

namespace {

// Counts the messages a control receives (WM_SETTEXT, PBM_SETRANGE, ...)
// and keeps the last arguments.
class MessageCounter {
public:
    explicit MessageCounter(HWND hwnd) : m_hwnd(hwnd) {
        ::SetPropA(hwnd, "test.counter", this);
        m_old = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
    }
    ~MessageCounter() {
        if (::IsWindow(m_hwnd)) {
            ::SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_old));
            ::RemovePropA(m_hwnd, "test.counter");
        }
    }
    MessageCounter(const MessageCounter&) = delete;
    MessageCounter& operator=(const MessageCounter&) = delete;
    int count(UINT msg) const {
        auto it = m_counts.find(msg);
        return it == m_counts.end() ? 0 : it->second;
    }
    LPARAM lastLParam(UINT msg) const { return m_lastLp.at(msg); }
    WPARAM lastWParam(UINT msg) const { return m_lastWp.at(msg); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = static_cast<MessageCounter*>(::GetPropA(hwnd, "test.counter"));
        ++self->m_counts[msg];
        self->m_lastWp[msg] = wp;
        self->m_lastLp[msg] = lp;
        return ::CallWindowProcW(self->m_old, hwnd, msg, wp, lp);
    }
    HWND m_hwnd;
    WNDPROC m_old = nullptr;
    std::map<UINT, int> m_counts;
    std::map<UINT, WPARAM> m_lastWp;
    std::map<UINT, LPARAM> m_lastLp;
};

// The application and the worker link for one test.
class WizardTest : public ::testing::Test {
protected:
    static bool Enabled(HWND sheet, int id) { return ::IsWindowEnabled(::GetDlgItem(sheet, id)); }
    static void Press(HWND sheet, int button) {
        ::SendMessageA(sheet, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0);
    }
    std::string Expanded(const char* utf8) {
        std::string s = utf8;
        app.ExpandMacros(s);
        return s;
    }

    WizardWorld world;
    CSetupApp& app = world.app;
    ScriptedWorker& worker = world.worker;
};

TEST(Banner, HeightFollowsTheWindowWidth) {
    const struct {
        int bw, bh, w, h;
    } cases[] = {
        {507, 65, 507, 65}, {507, 65, 400, 51}, {507, 65, 1014, 130}, {507, 65, 0, 0},
        {507, 65, 1, 0},    {1, 65, 40000, 2600000},  // no 32-bit overflow on the way
        {0, 65, 507, -1},   {-3, 65, 507, -1},        // no width: no banner
    };
    for (const auto& c : cases)
        EXPECT_EQ(BannerHeight(c.bw, c.bh, c.w), c.h) << c.bw << " " << c.bh << " " << c.w;
}

platform::Bitmap& BannerPicture() {
    static platform::Bitmap bmp;
    if (!bmp.get())
        bmp.reset(::LoadBitmapA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_BANNER)));
    return bmp;
}

TEST(Banner, ScaledCopyHoldsTheWholePicture) {
    const PIXELS picture = ReadBitmap(BannerPicture().get());
    ASSERT_EQ(picture.width, 507);
    ASSERT_EQ(picture.height, 65);
    for (SIZE size : {SIZE{433, 55}, SIZE{507, 65}, SIZE{866, 111}}) {
        SCOPED_TRACE(size.cx);
        platform::Bitmap scaled;
        scaled.reset(ScaleBitmap(BannerPicture().get(), size.cx, size.cy));
        const PIXELS shown = ReadBitmap(scaled.get());
        ASSERT_EQ(shown.width, size.cx);
        ASSERT_EQ(shown.height, size.cy);
        EXPECT_LT(DifferenceFromPicture(shown, picture), 12.0);
    }
    // What the picture control showed of a 507-pixel picture in a 433-pixel
    // window (its left part at its own size) is told apart.
    PIXELS cut;
    cut.width = 433;
    cut.height = 55;
    for (int y = 0; y < cut.height; ++y)
        for (int x = 0; x < cut.width; ++x) cut.rgb.push_back(picture.at(x, y));
    EXPECT_GT(DifferenceFromPicture(cut, picture), 12.0);
    // Nothing to draw into: no bitmap.
    EXPECT_EQ(ScaleBitmap(BannerPicture().get(), 0, 10), nullptr);
    EXPECT_EQ(ScaleBitmap(BannerPicture().get(), 10, 0), nullptr);
    EXPECT_EQ(ScaleBitmap(nullptr, 10, 10), nullptr);
}

// A plain top-level window with the given client width to hang a banner on.
class HostWindow {
public:
    explicit HostWindow(int clientWidth) {
        RECT r = {0, 0, clientWidth, 300};
        ::AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
        m_hwnd.reset(::CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, r.right - r.left,
                                       r.bottom - r.top, nullptr, nullptr, nullptr, nullptr));
    }
    HWND hwnd() const { return m_hwnd.get(); }
    void SetClientWidth(int width) {
        RECT r = {0, 0, width, 300};
        ::AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
        ::SetWindowPos(m_hwnd.get(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

private:
    platform::WindowHandle m_hwnd;
};

// The picture control spans (0, 0, width, h) and shows a width x h copy
// of the picture; the line covers rows h and h + 1.
void ExpectBannerAt(HWND host, int width, int h, const platform::Bitmap& shown) {
    HWND picture = ::GetDlgItem(host, IDC_BANNER);
    HWND line = ::GetDlgItem(host, IDC_BANNER_LINE);
    RECT pr = platform::GetRectInParent(picture);
    RECT lr = platform::GetRectInParent(line);
    const RECT wantPicture = {0, 0, width, h}, wantLine = {0, h, width, h + 2};
    EXPECT_TRUE(::EqualRect(&pr, &wantPicture))
        << pr.left << "," << pr.top << "," << pr.right << "," << pr.bottom;
    EXPECT_TRUE(::EqualRect(&lr, &wantLine))
        << lr.left << "," << lr.top << "," << lr.right << "," << lr.bottom;
    auto image = reinterpret_cast<HBITMAP>(::SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
    EXPECT_EQ(image, shown.get());
    const PIXELS pixels = ReadBitmap(image);
    EXPECT_EQ(pixels.width, width);
    EXPECT_EQ(pixels.height, h);
    EXPECT_LT(DifferenceFromPicture(pixels, ReadBitmap(BannerPicture().get())), 12.0);
}

TEST(Banner, PictureAndLineAcrossTheTop) {
    ASSERT_NE(BannerPicture().get(), nullptr);
    for (int width : {507, 400, 433}) {
        SCOPED_TRACE(width);
        HostWindow host(width);
        RECT client;
        ::GetClientRect(host.hwnd(), &client);
        ASSERT_EQ(client.right, width);
        platform::Bitmap shown;
        BANNERWINDOWS b = BuildBanner(host.hwnd(), BannerPicture().get(), shown);
        ASSERT_TRUE(b.pPicture && b.pLine);
        HWND picture = ::GetDlgItem(host.hwnd(), IDC_BANNER);
        HWND line = ::GetDlgItem(host.hwnd(), IDC_BANNER_LINE);
        ASSERT_EQ(picture, b.pPicture->GetSafeHwnd());
        ASSERT_EQ(line, b.pLine->GetSafeHwnd());
        ExpectBannerAt(host.hwnd(), width, BannerHeight(507, 65, width), shown);
        EXPECT_EQ(static_cast<DWORD>(::GetWindowLongA(picture, GWL_STYLE)) & 0xFFFF00FF,
                  0x5000000Eu);
        EXPECT_EQ(static_cast<DWORD>(::GetWindowLongA(line, GWL_STYLE)) & 0xFFFF0000,
                  0x50000000u);
        EXPECT_TRUE(::GetWindowLongA(line, GWL_EXSTYLE) & WS_EX_STATICEDGE);

        // The window grows (a display of a larger scale) and shrinks back:
        // the banner follows, with a new copy of the picture each time.
        for (int next : {width * 3 / 2, width}) {
            SCOPED_TRACE(next);
            host.SetClientWidth(next);
            FitBanner(host.hwnd(), BannerPicture().get(), picture, line, shown);
            ExpectBannerAt(host.hwnd(), next, BannerHeight(507, 65, next), shown);
        }

        // The banner windows go with their objects.
        b.pPicture.reset();
        b.pLine.reset();
        EXPECT_FALSE(::IsWindow(picture));
        EXPECT_FALSE(::IsWindow(line));
    }
}

TEST(Banner, NoBitmapNoBannerNoDivision) {
    HostWindow host(507);
    // A missing bitmap (the load failed) and a handle that is no bitmap.
    for (HBITMAP bitmap : {static_cast<HBITMAP>(nullptr), reinterpret_cast<HBITMAP>(0x1234)}) {
        platform::Bitmap shown;
        BANNERWINDOWS b = BuildBanner(host.hwnd(), bitmap, shown);
        EXPECT_FALSE(b.pPicture);
        EXPECT_FALSE(b.pLine);
        EXPECT_EQ(shown.get(), nullptr);
        EXPECT_EQ(::GetDlgItem(host.hwnd(), IDC_BANNER), nullptr);
    }
}

TEST_F(WizardTest, WelcomePageBannerButtonsAndCancel) {
    TestSheet sheet;
    HWND hwnd = nullptr;
    std::string welcome;
    bool nextEnabled = false, backEnabled = true, helpVisible = true;
    RECT picture = {}, line = {};
    HWND pictureParent = nullptr;
    Driver driver({
        [&] {
            hwnd = sheet.GetSafeHwnd();
            if (!hwnd || CurrentPage(hwnd) != sheet.m_pageWelcome.GetSafeHwnd()) return false;
            welcome = platform::GetWindowString(
                ::GetWindow(sheet.m_pageWelcome.GetSafeHwnd(), GW_CHILD));
            nextEnabled = Enabled(hwnd, platform::kIdWizNext);
            backEnabled = Enabled(hwnd, platform::kIdWizBack);
            helpVisible = ::IsWindowVisible(::GetDlgItem(hwnd, IDHELP));
            HWND p = ::GetDlgItem(hwnd, IDC_BANNER);
            pictureParent = ::GetParent(p);
            picture = platform::GetRectInParent(p);
            line = platform::GetRectInParent(::GetDlgItem(hwnd, IDC_BANNER_LINE));
            return true;
        },
        [&] {
            Press(hwnd, PSBTN_CANCEL);
            return true;
        },
    });
    sheet.DoModal();
    ASSERT_TRUE(driver.finished());
    ASSERT_FALSE(driver.timedOut());

    // Product name twice, version once, the space after the comma kept.
    EXPECT_EQ(welcome, std::string("ゾミ７ アップデートウィザードにようこそ !!\n\n"
                            "このプログラムは、コンピュータにインストールされている\n"
                            "ゾミ７ のバージョンを、 7.5.2.0 に更新します。\n\n"
                            "[次へ]をクリックすると、インストールが開始されます。"));
    EXPECT_NE(welcome.find("、 7.5.2.0"), std::string::npos);
    EXPECT_TRUE(nextEnabled);
    EXPECT_FALSE(backEnabled);
    EXPECT_FALSE(helpVisible);

    // Banner: children of the sheet; the line spans the client width the
    // sheet had when it was created, at the height derived from it.
    EXPECT_EQ(pictureParent, hwnd);
    EXPECT_EQ(picture.left, 0);
    EXPECT_EQ(picture.top, 0);
    EXPECT_EQ(line.left, 0);
    const int h = BannerHeight(507, 65, line.right);
    EXPECT_GT(h, 0);
    EXPECT_EQ(line.top, h);
    EXPECT_EQ(line.bottom, h + 2);

    // Cancel took Help's place; the row kept its spacing and its line.
    const ButtonRow& row = sheet.row;
    const int dx = row.before.at(IDHELP).left - row.before.at(IDCANCEL).left;
    EXPECT_EQ(row.after.at(IDCANCEL).left, row.before.at(IDHELP).left);
    for (int id : {IDCANCEL, platform::kIdWizNext, platform::kIdWizBack, platform::kIdWizFinish}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(row.after.at(id).left, row.before.at(id).left + dx);
        EXPECT_EQ(row.after.at(id).top, row.before.at(id).top);
        EXPECT_EQ(row.after.at(id).right - row.after.at(id).left,
                  row.before.at(id).right - row.before.at(id).left);
        EXPECT_EQ(row.after.at(id).bottom, row.before.at(id).bottom);
    }

    // Main window while the sheet lived, none after; no worker was started.
    EXPECT_EQ(sheet.mainWindowDuringRun, hwnd);
    EXPECT_EQ(platform::GetMainWindow(), nullptr);
    EXPECT_EQ(sheet.m_pBanner, nullptr);
    EXPECT_EQ(sheet.m_pBannerLine, nullptr);
    EXPECT_EQ(worker.starts, 0);
}

TEST_F(WizardTest, ProgressPageFollowsTheWorker) {
    TestSheet sheet;
    HWND hwnd = nullptr, page = nullptr;
    std::unique_ptr<MessageCounter> upper, lower, bar;
    struct Tick {
        LONG stage, pos, max;
        const char* file;
        const char* lower;  // UTF-8
        int barMax;         // -1: the bar is not touched
    };
    const char* prep = "セットアップの準備中...";
    const char* rollingBack = "元の状態に戻しています...";
    const std::vector<Tick> ticks = {
        {0, 0, 0, "", prep, -1},
        {1, 0, 0, "", prep, -1},
        {2, 3, 70000, "", prep, 4464},  // only the low 16 bits of the maximum
        {2, 0, 0, "", prep, 0},         // no package: range 0 to 0
        {2, 5, 65535, "", prep, 65535},
        {3, 0, 7, "", prep, -1},        // the bar keeps stage 2's values
        {4, 1, 3, "C:\\Target\\file.dat", "ファイルをコピーしています...\nC:\\Target\\file.dat", 3},
        {4, 1, 3, "C:\\Target\\file.dat", "ファイルをコピーしています...\nC:\\Target\\file.dat", 3},
        {4, 2, 3, "C:\\Target\\二.dat", "ファイルをコピーしています...\nC:\\Target\\二.dat", 3},
        {4, 3, 3, "C:\\Target\\二.dat", rollingBack, 3},  // a failure is being undone
    };
    size_t next = 0;
    int expectedLowerWrites = 0;
    std::string lastLower;
    bool cancelEnabled = true, nextEnabled = true, backEnabled = true;
    std::string upperAtStart, lowerAtStart;
    HWND afterCancel = nullptr;
    std::string finishText;
    bool finishEnabled = false, backOnFinish = true;
    int pollsAtFinish = 0;
    HWND bannerAtWelcome = nullptr, bannerAtFinish = nullptr;
    RECT bannerRectAtWelcome = {}, bannerRectAtFinish = {};

    Driver driver({
        [&] {
            hwnd = sheet.GetSafeHwnd();
            if (!hwnd || CurrentPage(hwnd) != sheet.m_pageWelcome.GetSafeHwnd()) return false;
            bannerAtWelcome = ::GetDlgItem(hwnd, IDC_BANNER);
            bannerRectAtWelcome = platform::GetRectInParent(bannerAtWelcome);
            // Stop the worker from moving the page on until the table is done.
            worker.snapshot = PROGRESSSNAPSHOT{};
            Press(hwnd, PSBTN_NEXT);
            return true;
        },
        [&] {
            page = sheet.m_pageMoving.GetSafeHwnd();
            if (CurrentPage(hwnd) != page) return false;
            cancelEnabled = Enabled(hwnd, IDCANCEL);
            nextEnabled = Enabled(hwnd, platform::kIdWizNext);
            backEnabled = Enabled(hwnd, platform::kIdWizBack);
            upperAtStart = platform::GetWindowString(::GetDlgItem(page, IDC_TEXT1));
            lowerAtStart = platform::GetWindowString(::GetDlgItem(page, IDC_TEXT2));
            lastLower = lowerAtStart;
            upper = std::make_unique<MessageCounter>(::GetDlgItem(page, IDC_TEXT1));
            lower = std::make_unique<MessageCounter>(::GetDlgItem(page, IDC_TEXT2));
            bar = std::make_unique<MessageCounter>(::GetDlgItem(page, IDC_PROGRESS1));
            return true;
        },
        [&] {
            // One row of the table per step; the page's own timer ticks in
            // between with the same values, which must change nothing.
            if (next == ticks.size()) return true;
            const Tick& t = ticks[next];
            SCOPED_TRACE("tick " + std::to_string(next));
            worker.snapshot.nStage = t.stage;
            worker.snapshot.nPos = t.pos;
            worker.snapshot.nMax = t.max;
            worker.snapshot.strFile = t.file;
            worker.snapshot.bRollingBack = t.lower == rollingBack;
            const int rangesBefore = bar->count(PBM_SETRANGE);
            sheet.m_pageMoving.OnTimer(CSetupMovingPage::kTimerId);
            std::string want = t.lower;
            if (want != lastLower) ++expectedLowerWrites;
            lastLower = want;
            EXPECT_EQ(platform::GetWindowString(::GetDlgItem(page, IDC_TEXT2)), want);
            EXPECT_EQ(platform::GetWindowString(::GetDlgItem(page, IDC_TEXT1)), "");
            EXPECT_EQ(lower->count(WM_SETTEXT), expectedLowerWrites);
            EXPECT_EQ(upper->count(WM_SETTEXT), 0);
            HWND b = ::GetDlgItem(page, IDC_PROGRESS1);
            if (t.barMax >= 0) {
                EXPECT_GT(bar->count(PBM_SETRANGE), rangesBefore);
                EXPECT_EQ(bar->lastLParam(PBM_SETRANGE), MAKELPARAM(0, t.barMax));
                EXPECT_EQ(::SendMessageA(b, PBM_GETRANGE, FALSE, 0), t.barMax);
                EXPECT_EQ(::SendMessageA(b, PBM_GETPOS, 0, 0), t.pos);
            } else {
                EXPECT_EQ(bar->count(PBM_SETRANGE), rangesBefore);
            }
            ++next;
            return false;
        },
        [&] {
            // The cancel query is refused: button, close box and Escape.
            Press(hwnd, PSBTN_CANCEL);
            ::SendMessageA(hwnd, WM_CLOSE, 0, 0);
            ::SendMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
            afterCancel = CurrentPage(hwnd);
            return true;
        },
        [&] {
            worker.running = false;  // the worker ends
            return true;
        },
        [&] {
            HWND finish = sheet.m_pageFinish.GetSafeHwnd();
            if (!finish || CurrentPage(hwnd) != finish) return false;
            finishText = platform::GetWindowString(::GetDlgItem(finish, IDC_TEXT1));
            pollsAtFinish = worker.polls;
            bannerAtFinish = ::GetDlgItem(hwnd, IDC_BANNER);
            bannerRectAtFinish = platform::GetRectInParent(bannerAtFinish);
            return true;
        },
        [&] {
            // Posted button states have arrived; the page's timer is gone.
            finishEnabled = Enabled(hwnd, platform::kIdWizFinish);
            backOnFinish = Enabled(hwnd, platform::kIdWizBack);
            EXPECT_EQ(worker.polls, pollsAtFinish);
            upper.reset();
            lower.reset();
            bar.reset();
            Press(hwnd, PSBTN_FINISH);
            return true;
        },
    });
    sheet.DoModal();
    ASSERT_FALSE(driver.timedOut());
    ASSERT_TRUE(driver.finished());
    EXPECT_EQ(next, ticks.size());
    EXPECT_EQ(worker.starts, 1);
    EXPECT_FALSE(cancelEnabled);
    EXPECT_FALSE(nextEnabled);
    EXPECT_FALSE(backEnabled);
    EXPECT_EQ(upperAtStart, "");
    // Cleared at activation; the first tick may already have filled it.
    EXPECT_TRUE(lowerAtStart.empty() || lowerAtStart == prep) << lowerAtStart;
    EXPECT_EQ(afterCancel, page);
    EXPECT_EQ(finishText, Expanded("<PRODUCT_NAME> のアップデートは正常に終了しました。"));
    EXPECT_TRUE(finishEnabled);
    EXPECT_FALSE(backOnFinish);
    // One banner for every page, neither rebuilt nor moved.
    EXPECT_NE(bannerAtWelcome, nullptr);
    EXPECT_EQ(bannerAtFinish, bannerAtWelcome);
    EXPECT_TRUE(::EqualRect(&bannerRectAtWelcome, &bannerRectAtFinish));
}

// Runs the whole wizard with a worker that has already ended; returns the
// finish page's text.
std::string RunToFinish(CSetupSheet& sheet, bool* timedOut) {
    HWND hwnd = nullptr;
    std::string text;
    Driver driver({
        [&] {
            hwnd = sheet.GetSafeHwnd();
            if (!hwnd ||
                ::SendMessageA(hwnd, PSM_GETCURRENTPAGEHWND, 0, 0) !=
                    reinterpret_cast<LRESULT>(sheet.m_pageWelcome.GetSafeHwnd()))
                return false;
            ::SendMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
            return true;
        },
        [&] {
            HWND finish = sheet.m_pageFinish.GetSafeHwnd();
            if (!finish || ::SendMessageA(hwnd, PSM_GETCURRENTPAGEHWND, 0, 0) !=
                               reinterpret_cast<LRESULT>(finish))
                return false;
            text = platform::GetWindowString(::GetDlgItem(finish, IDC_TEXT1));
            ::SendMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
            return true;
        },
    });
    sheet.DoModal();
    *timedOut = driver.timedOut() || !driver.finished();
    return text;
}

TEST_F(WizardTest, BannerFollowsAScaleChange) {
    CSetupSheet sheet(IDS_SHEET_CAPTION, nullptr, 0);
    HWND hwnd = nullptr;
    int widthBefore = 0, widthAfter = 0;
    Driver driver({
        [&] {
            hwnd = sheet.GetSafeHwnd();
            if (!hwnd || CurrentPage(hwnd) != sheet.m_pageWelcome.GetSafeHwnd()) return false;
            RECT client, frame;
            ::GetClientRect(hwnd, &client);
            widthBefore = client.right;
            // The system resizes the sheet for the new scale, then tells it.
            ::GetWindowRect(hwnd, &frame);
            frame.right += widthBefore / 2;
            ::SetWindowPos(hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            ::SendMessageA(hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&frame));
            ::GetClientRect(hwnd, &client);
            widthAfter = client.right;
            {
                SCOPED_TRACE("after the change");
                ExpectBannerAt(hwnd, widthAfter, BannerHeight(507, 65, widthAfter),
                               sheet.m_bmpBannerShown);
            }
            Press(hwnd, PSBTN_CANCEL);
            return true;
        },
    });
    sheet.DoModal();
    ASSERT_TRUE(driver.finished());
    EXPECT_GT(widthAfter, widthBefore);
}

// A key pressed and released, as the system queues it for the window
// with the focus; the sheet's modal loop does the rest.
void PressKey(UINT vk) {
    HWND focus = ::GetFocus();
    const UINT scan = ::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    ::PostMessageA(focus, WM_KEYDOWN, vk, static_cast<LPARAM>(1 | (scan << 16)));
    ::PostMessageA(focus, WM_KEYUP, vk, static_cast<LPARAM>(1 | (scan << 16) | (3u << 30)));
}

TEST_F(WizardTest, EnterAndEscape) {
    worker.running = false;
    app.m_nExitCode = 0;
    // Escape on the welcome page cancels; Enter there is Next, and Enter on
    // the finish page is Finish.
    for (bool escape : {true, false}) {
        SCOPED_TRACE(escape ? "escape" : "enter");
        CSetupSheet sheet(IDS_SHEET_CAPTION, nullptr, 0);
        HWND hwnd = nullptr, focusOnWelcome = nullptr, focusOnFinish = nullptr;
        HWND next = nullptr, finishButton = nullptr;
        bool sawFinish = false;
        std::vector<Driver::Step> steps = {
            [&] {
                hwnd = sheet.GetSafeHwnd();
                if (!hwnd || CurrentPage(hwnd) != sheet.m_pageWelcome.GetSafeHwnd()) return false;
                next = ::GetDlgItem(hwnd, platform::kIdWizNext);
                finishButton = ::GetDlgItem(hwnd, platform::kIdWizFinish);
                focusOnWelcome = ::GetFocus();
                PressKey(escape ? VK_ESCAPE : VK_RETURN);
                return true;
            },
            [&] {
                HWND finish = sheet.m_pageFinish.GetSafeHwnd();
                if (!finish || CurrentPage(hwnd) != finish) return false;
                // The finish page's buttons are posted: wait for Finish.
                if (!::IsWindowVisible(finishButton)) return false;
                sawFinish = true;
                focusOnFinish = ::GetFocus();
                PressKey(VK_RETURN);
                return true;
            },
            [&] { return false; },  // the key has to end the run
        };
        if (escape) steps.erase(steps.begin() + 1);
        Driver driver(std::move(steps));
        const INT_PTR result = sheet.DoModal();
        EXPECT_FALSE(driver.timedOut());
        EXPECT_FALSE(::IsWindow(hwnd));
        EXPECT_EQ(focusOnWelcome, next);
        EXPECT_EQ(sawFinish, !escape);
        if (!escape) {
            EXPECT_EQ(focusOnFinish, finishButton);
        }
        // Cancel and Finish end the sheet with different results.
        EXPECT_EQ(result > 0, !escape) << result;
    }
    EXPECT_EQ(worker.starts, 1);
}

TEST_F(WizardTest, FinishTextByExitCode) {
    const char* ok = "<PRODUCT_NAME> のアップデートは正常に終了しました。";
    const char* failed =
        "<PRODUCT_NAME> のアップデートは正常に終了しませんでした。\n"
        "改めてセットアップを実行する必要があります。";
    const char* skipped = "<PRODUCT_NAME> のアップデートは行われませんでした。";
    const struct {
        DWORD code;
        const char* text;
    } cases[] = {
        {0, ok},       {16, skipped}, {static_cast<DWORD>(-1), failed},
        {1, failed},   {2, failed},   {15, failed},
        {17, failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.code));
        worker.running = false;
        app.m_nExitCode = c.code;
        CSetupSheet sheet(IDS_SHEET_CAPTION, nullptr, 0);
        bool timedOut = false;
        std::string text = RunToFinish(sheet, &timedOut);
        ASSERT_FALSE(timedOut);
        EXPECT_EQ(text, Expanded(c.text));
    }
}

TEST_F(WizardTest, WorkerThatCannotStartEndsInTheFailureText) {
    worker.startSucceeds = false;
    worker.running = false;
    app.m_nExitCode = 0;  // nothing has run: not a success
    CSetupSheet sheet(IDS_SHEET_CAPTION, nullptr, 0);
    bool timedOut = false;
    std::string text = RunToFinish(sheet, &timedOut);
    ASSERT_FALSE(timedOut);
    EXPECT_EQ(text, Expanded("<PRODUCT_NAME> のアップデートは正常に終了しませんでした。\n"
                             "改めてセットアップを実行する必要があります。"));
}

// The progress page when the system has no timer to give.
class NoTimerMovingPage : public CSetupMovingPage {
public:
    UINT_PTR SetTimer(UINT_PTR, UINT) override {
        ++timerRequests;
        return 0;
    }
    int timerRequests = 0;
};

class NoTimerSheet : public platform::PropertySheet {
public:
    NoTimerSheet() : platform::PropertySheet(IDS_SHEET_CAPTION, nullptr, 0) {
        Flags() |= PSH_WIZARD;
        AddPage(&moving);
        AddPage(&finish);
    }
    NoTimerMovingPage moving;
    CSetupFinishPage finish;
};

TEST_F(WizardTest, ProgressPageMovesOnWithoutItsTimer) {
    worker.pollsUntilEnd = 5;
    worker.snapshot.nStage = 1;
    app.m_nExitCode = 16;
    NoTimerSheet sheet;
    std::string text;
    Driver driver({
        [&] {
            HWND hwnd = sheet.GetSafeHwnd();
            HWND finish = sheet.finish.GetSafeHwnd();
            if (!hwnd || !finish ||
                ::SendMessageA(hwnd, PSM_GETCURRENTPAGEHWND, 0, 0) !=
                    reinterpret_cast<LRESULT>(finish))
                return false;
            text = platform::GetWindowString(::GetDlgItem(finish, IDC_TEXT1));
            ::SendMessageA(hwnd, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
            return true;
        },
    });
    sheet.DoModal();
    ASSERT_FALSE(driver.timedOut());
    EXPECT_TRUE(driver.finished());
    EXPECT_EQ(worker.polls, 6);
    EXPECT_GE(sheet.moving.timerRequests, 2) << "the timer is asked for again";
    EXPECT_EQ(text, Expanded("<PRODUCT_NAME> のアップデートは行われませんでした。"));
}

}  // namespace
