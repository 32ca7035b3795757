// The whole program as a user runs it under Wine: SETUP.EXE on a medium laid
// out by the test, a fake installed product, the wizard driven from outside.
#include <gtest/gtest.h>

#include "tests/support/e2e_world.h"

using namespace testsupport;

namespace {

std::string Finish(const std::string& text) { return kProduct + text; }

// What every run must show: three pages in order, Back never enabled, Help
// never visible, Cancel where Help is and disabled from the progress page on.
void ExpectWizardShape(const driver::RunReport& r) {
    EXPECT_TRUE(r.problems.empty()) << (r.problems.empty() ? "" : r.problems[0]);
    EXPECT_TRUE(r.ended);
    ASSERT_EQ(r.pages.size(), 3u);
    const char* names[] = {"welcome", "progress", "finish"};
    for (size_t i = 0; i < 3; ++i) {
        const auto& p = r.pages[i];
        SCOPED_TRACE(p.name);
        EXPECT_EQ(p.name, names[i]);
        EXPECT_TRUE(p.back.visible);
        EXPECT_FALSE(p.back.enabled);
        EXPECT_FALSE(p.help.visible);
        EXPECT_TRUE(p.cancel.visible);
        EXPECT_EQ(p.cancel.enabled, i == 0);
        // Cancel takes Help's column; the row keeps one line (the hidden
        // Help button is not moved again when the sheet lays out its row).
        EXPECT_EQ(p.cancel.rect.left, p.help.rect.left);
        EXPECT_EQ(p.cancel.rect.top, p.next.rect.top);
        EXPECT_EQ(p.back.rect.top, p.next.rect.top);
        EXPECT_LT(p.next.rect.right, p.cancel.rect.left);
        // No button is cut off at the sheet's edge.
        for (const driver::ButtonState* b : {&p.back, &p.next, &p.finish, &p.cancel}) {
            if (!b->visible) continue;
            EXPECT_GE(b->rect.left, 0);
            EXPECT_LE(b->rect.right, p.client.right);
            EXPECT_LE(b->rect.bottom, p.client.bottom);
        }
    }
    EXPECT_TRUE(r.pages[0].next.enabled);
    EXPECT_FALSE(r.pages[1].next.enabled);
    EXPECT_TRUE(r.pages[2].finish.visible);
    EXPECT_TRUE(r.pages[2].finish.enabled);
}

}  // namespace

TEST(WizardEndToEnd, SuccessfulUpdate) {
    E2eWorld w;
    w.PutPackage();
    auto r = w.Run();
    ExpectWizardShape(r);
    EXPECT_TRUE(r.boxes.empty());
    ASSERT_EQ(r.pages.size(), 3u);
    ASSERT_EQ(r.pages[0].texts.size(), 1u);
    EXPECT_EQ(r.pages[0].texts[0],
              kProduct + " アップデートウィザードにようこそ !!\n\nこのプログラムは、コンピュータにインストールされている\n" +
                  kProduct + " のバージョンを、 7.5.2.0 に更新します。\n\n[次へ]をクリックすると、インストールが開始されます。");
    // The progress page's upper text stays empty; the lower text follows the
    // worker up to the copying of the files.
    ASSERT_EQ(r.pages[1].texts.size(), 2u);
    EXPECT_EQ(r.pages[1].texts[0], "");
    bool copying = false;
    for (auto& t : r.pages[1].progressTexts)
        copying |= t.rfind("ファイルをコピーしています...\n" + w.product.path(), 0) == 0;
    EXPECT_TRUE(copying);
    ASSERT_EQ(r.pages[2].texts.size(), 1u) << ::testing::PrintToString(r.pages[2].texts);
    EXPECT_EQ(r.pages[2].texts[0], Finish(" のアップデートは正常に終了しました。"));
    EXPECT_TRUE(w.Installed());
    EXPECT_FALSE(Exists(E2eWorld::WorkFolder()));
    EXPECT_EQ(r.exitCode, 0u);  // ERROR_SUCCESS
}

TEST(WizardEndToEnd, OutcomesOtherThanSuccess) {
    struct Case {
        const char* name;
        std::string installed;
        bool damaged;
        bool running;
        bool lockReadme;
        std::string box;
        std::string finish;
        DWORD status;  // the process exit status
    } cases[] = {
        {"already current", "update\\Zomi7.EXE", false, false, false,
         "最新バージョンがインストールされています。", Finish(" のアップデートは行われませんでした。"), 1638},
        {"product running", "installed\\Zomi7.EXE", false, true, false,
         kProduct + " が実行中です。\n" + kProduct + " を閉じてから、セットアップを起動してください。",
         Finish(" のアップデートは正常に終了しませんでした。\n改めてセットアップを実行する必要があります。"), 1603},
        {"damaged package", "installed\\Zomi7.EXE", true, false, false,
         "更新するファイルの取得に失敗しました。\nアップデートプログラムが壊れているか、アップデート対象製品が正しくない可能性があります。",
         Finish(" のアップデートは正常に終了しませんでした。\n改めてセットアップを実行する必要があります。"), 1603},
        {"locked destination, cancelled", "installed\\Zomi7.EXE", false, false, true, "",
         Finish(" のアップデートは正常に終了しませんでした。\n改めてセットアップを実行する必要があります。"), 1602},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        E2eWorld w(c.installed);
        w.PutPackage(c.damaged);
        PROCESS_INFORMATION pi{};
        HANDLE stop = nullptr;
        if (c.running) {
            // A stand-in program running under a name that holds "zomi7.exe".
            std::string copy = w.product / "myzomi7.exe";
            testsupport::CopyTo((BinDir() + "fixture_app.exe"), copy);
            stop = CreateEventA(nullptr, TRUE, FALSE, "upd_e2e_running_stop");
            STARTUPINFOW si{};
            si.cb = sizeof si;
            std::wstring cmd = platform::Wide("\"" + copy + "\" upd_e2e_running_stop");
            ASSERT_TRUE(CreateProcessW(platform::Wide(copy).c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                       nullptr, &si, &pi));
        }
        HANDLE locked = INVALID_HANDLE_VALUE;
        if (c.lockReadme)
            locked = CreateFileW(platform::Wide(w.product / "readme.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);

        auto r = w.Run();  // OK where there is one; the Retry/Cancel box gets Cancel
        if (locked != INVALID_HANDLE_VALUE) CloseHandle(locked);
        if (stop) {
            SetEvent(stop);
            WaitForSingleObject(pi.hProcess, 10000);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
            CloseHandle(stop);
        }

        ExpectWizardShape(r);
        ASSERT_EQ(r.boxes.size(), 1u);
        EXPECT_EQ(r.boxes[0].caption, "アップデートウィザード");
        if (!c.box.empty()) {
            EXPECT_EQ(r.boxes[0].text, c.box);
        }
        if (c.lockReadme) {
            EXPECT_EQ(r.boxes[0].buttons.size(), 2u);  // Retry and Cancel
            EXPECT_EQ(r.boxes[0].answered, IDCANCEL);
        }
        ASSERT_EQ(r.pages.size(), 3u);
        ASSERT_EQ(r.pages[2].texts.size(), 1u) << ::testing::PrintToString(r.pages[2].texts);
        EXPECT_EQ(r.pages[2].texts[0], c.finish);
        EXPECT_FALSE(w.Installed());
        EXPECT_FALSE(Exists(E2eWorld::WorkFolder()));
        EXPECT_EQ(r.exitCode, c.status);
    }
}

namespace {
const std::string kAlreadyRunning = "アップデートウィザードはすでに実行中です。";
}

TEST(WizardEndToEnd, TwoInstancesStartedTogether) {
    E2eWorld w;
    w.PutPackage();
    driver::Process a, b;
    ASSERT_TRUE(a.Start(w.medium / "SETUP.EXE"));
    ASSERT_TRUE(b.Start(w.medium / "SETUP.EXE"));
    // One of them says that the other runs, and nothing else.
    driver::Process* boxed = nullptr;
    driver::Window box;
    const DWORD start = GetTickCount();
    while (!boxed && GetTickCount() - start < 30000) {
        for (driver::Process* p : {&a, &b}) {
            for (auto& win : p->Windows())
                if (win.IsMessageBox()) {
                    boxed = p;
                    box = win;
                }
        }
        Sleep(30);
    }
    ASSERT_NE(boxed, nullptr);
    driver::Process& other = boxed == &a ? b : a;
    EXPECT_EQ(box.caption, "アップデートウィザード");
    EXPECT_EQ(box.MessageText(), kAlreadyRunning);
    EXPECT_NE(box.Find(IDOK), nullptr);
    EXPECT_EQ(box.Find(IDCANCEL), nullptr);
    EXPECT_EQ(boxed->Windows().size(), 1u);  // no wizard of its own
    driver::Press(box.hwnd, IDOK);
    EXPECT_TRUE(boxed->WaitExit(10000));
    EXPECT_EQ(boxed->ExitCode(), 1618u);  // ERROR_INSTALL_ALREADY_RUNNING
    // The other one updates as if it were alone.
    driver::RunOptions o;
    o.timeoutMs = 60000;
    auto r = driver::DriveWizard(other, o);
    ExpectWizardShape(r);
    EXPECT_TRUE(r.boxes.empty());
    ASSERT_EQ(r.pages.size(), 3u);
    ASSERT_EQ(r.pages[2].texts.size(), 1u);
    EXPECT_EQ(r.pages[2].texts[0], Finish(" のアップデートは正常に終了しました。"));
    EXPECT_TRUE(w.Installed());
    EXPECT_FALSE(Exists(E2eWorld::WorkFolder()));
    EXPECT_EQ(r.exitCode, 0u);
}

TEST(WizardEndToEnd, PlantedVersionDllIsNeverLoaded) {
    // Under Wine the test runs with WINEDLLOVERRIDES=version=n,b (see the
    // test's properties): Wine's own order prefers its built-in DLL, native
    // first is the order of Windows, where a DLL beside the program wins.
    E2eWorld w("update\\Zomi7.EXE");  // current already: the version is read, then the run ends
    w.PutPackage();
    const std::string marker = w.medium / "planted_dll_loaded.txt";
    ASSERT_TRUE(testsupport::CopyTo((BinDir() + "planted\\version.dll"), (w.medium / "version.dll")));
    // The plant works: a program that imports version.dll loads it.
    const std::string user = w.medium / "fixture_version_user.exe";
    ASSERT_TRUE(testsupport::CopyTo((BinDir() + "fixture_version_user.exe"), user));
    {
        driver::Process p;
        ASSERT_TRUE(p.Start(user));
        EXPECT_TRUE(p.WaitExit(20000));
    }
    ASSERT_TRUE(Exists(marker));
    DeleteFileW(platform::Wide(marker).c_str());

    auto r = w.Run();
    ExpectWizardShape(r);
    ASSERT_EQ(r.boxes.size(), 1u);  // the version was read through the system's version.dll
    EXPECT_EQ(r.boxes[0].text, "最新バージョンがインストールされています。");
    // Nor does any system DLL take it: Wine's own user32 imports version.dll,
    // which an ordinary import of user32 would resolve from beside the
    // program before its first line.
    EXPECT_FALSE(Exists(marker));
}
