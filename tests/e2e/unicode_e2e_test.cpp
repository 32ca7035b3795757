// SETUP.EXE holds UTF-8 and meets Windows in UTF-16: its texts and the
// names it reads and writes are the same on a system of any code page, and
// no name turns into another. Every case runs with code page 932; the
// CodePage cases run with code page 1252 as well (a test entry of their own).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <atomic>
#include <thread>

#include "platform/dialog_font.h"
#include "platform/prompt.h"
#include "platform/window.h"
#include "tests/support/e2e_world.h"

using namespace testsupport;

namespace {

constexpr auto npos = std::string::npos;

// SETUP.EXE with arguments (its wide command line) and nobody to answer.
DWORD RunQuiet(const std::string& exe, const std::string& args) {
    driver::Process p;
    if (!p.Start(exe, args)) return 0xFFFFFFFF;
    return p.WaitExit(60000) ? p.ExitCode() : STILL_ACTIVE;
}

// TEMP and TMP of the programs this test starts, for as long as it lives.
class TempScope {
public:
    explicit TempScope(const std::string& folder) {
        for (const wchar_t* name : {L"TEMP", L"TMP"}) {
            wchar_t old[32768] = {};
            m_old.emplace_back(name, std::wstring(old, ::GetEnvironmentVariableW(name, old, 32768)));
            ::SetEnvironmentVariableW(name, Wide(folder).c_str());
        }
    }
    ~TempScope() {
        for (const auto& [name, value] : m_old) ::SetEnvironmentVariableW(name, value.c_str());
    }

private:
    std::vector<std::pair<const wchar_t*, std::wstring>> m_old;
};

BOOL CALLBACK TakeDialogWithATree(HWND h, LPARAM out) {
    const HWND control = ::FindWindowExW(h, nullptr, L"SHBrowseForFolder ShellNameSpace Control", nullptr);
    if (!::FindWindowExW(h, nullptr, L"SysTreeView32", nullptr) &&
        !(control && ::FindWindowExW(control, nullptr, L"SysTreeView32", nullptr)))
        return TRUE;
    *reinterpret_cast<HWND*>(out) = h;
    return FALSE;
}

// The top-level dialog of a thread of this process, once it shows a tree.
HWND FindFolderDialog(DWORD thread) {
    for (int i = 0; i < 400; ++i) {
        HWND found = nullptr;
        ::EnumThreadWindows(thread, TakeDialogWithATree, reinterpret_cast<LPARAM>(&found));
        if (found) return found;
        ::Sleep(25);
    }
    return nullptr;
}

}  // namespace

TEST(CodePage, PagesAndBoxesInTheirTextsAndTheFilesUnderTheirNames) {
    E2eWorld w;
    w.PutPackage();
    const driver::RunReport r = w.Run();
    ASSERT_EQ(r.pages.size(), 3u);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.pages[0].caption, "アップデートウィザード");
    ASSERT_FALSE(r.pages[0].texts.empty());
    EXPECT_EQ(r.pages[0].texts[0], kProduct + " アップデートウィザードにようこそ !!\n\nこのプログラムは、コンピュータに"
                                              "インストールされている\n" + kProduct +
                                       " のバージョンを、 7.5.2.0 に更新します。\n\n[次へ]をクリックすると、インストールが"
                                       "開始されます。");
    ASSERT_FALSE(r.pages[2].texts.empty());
    EXPECT_EQ(r.pages[2].texts[0], kProduct + " のアップデートは正常に終了しました。");
    EXPECT_TRUE(w.Installed());  // BIN\表示.dll among them, under its own name

    E2eWorld current("update\\Zomi7.EXE");
    current.PutPackage();
    const driver::RunReport again = current.Run();
    ASSERT_EQ(again.boxes.size(), 1u);
    EXPECT_EQ(again.boxes[0].caption, "アップデートウィザード");
    EXPECT_EQ(again.boxes[0].text, "最新バージョンがインストールされています。");
}

TEST(CodePage, TheLogHoldsTheRealNames) {
    E2eWorld w("installed\\Zomi7.EXE", "upd_e2e_médium", "upd_e2e_product_é表");
    w.PutPackage();
    const std::string log = w.medium / "journal_ü.log";
    EXPECT_EQ(RunQuiet(w.medium / "SETUP.EXE", "/quiet /log \"" + log + "\""), 0u);
    EXPECT_TRUE(w.Installed());
    const std::string text = ReadFileBytes(log);
    EXPECT_NE(text.find("command line: \"" + w.medium / "SETUP.EXE\" /quiet /log \"" + log + "\""), npos) << text;
    EXPECT_NE(text.find("SETUP.INI: PRODUCT_NAME=" + kProduct + ","), npos) << text;
    EXPECT_NE(text.find("check: install folder (App Paths): " + w.product.path() + "\r\n"), npos) << text;
    EXPECT_NE(text.find("placed: APP\\BIN\\表示.dll (3 bytes)"), npos) << text;
}

TEST(CodePage, TheFolderDialogGivesTheChosenFolderAsItIsNamed) {
    ScratchDir chosen("upd_browse_é_한국_𠮷");
    std::string path;
    bool ok = false;
    std::atomic<DWORD> thread{0};
    std::thread asking([&] {
        thread = ::GetCurrentThreadId();
        platform::SystemPrompt prompt;
        ok = prompt.BrowseForFolder(nullptr, "ゾミ７ がインストールされているフォルダは?", BIF_RETURNONLYFSDIRS, path);
    });
    while (!thread) ::Sleep(5);
    const HWND dialog = FindFolderDialog(thread);
    if (dialog) {
        // The tree fills itself as it pleases: select until the folder is the
        // tree's selection.
        const std::wstring wide = Wide(chosen.path());
        const std::wstring leaf = wide.substr(wide.rfind(L'\\') + 1);
        HWND tree = ::FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr);
        if (!tree) tree = ::FindWindowExW(::FindWindowExW(dialog, nullptr, L"SHBrowseForFolder ShellNameSpace Control", nullptr),
                                          nullptr, L"SysTreeView32", nullptr);
        for (int i = 0; i < 100; ++i) {
            ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
            wchar_t text[MAX_PATH] = {};
            TVITEMW item{};
            item.mask = TVIF_TEXT;
            item.hItem = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
            item.pszText = text;
            item.cchTextMax = MAX_PATH;
            if (item.hItem && ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) && leaf == text)
                break;
            ::Sleep(50);
        }
        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
    asking.join();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(ok);
    EXPECT_EQ(path, chosen.path());
}

namespace {

INT_PTR CALLBACK NoDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

TEST(CodePage, APageWhoseFontLacksItsGlyphsIsShownInOneThatHasThem) {
    const HMODULE self = ::GetModuleHandleW(nullptr);
    const HRSRC found = ::FindResourceW(self, MAKEINTRESOURCEW(107), MAKEINTRESOURCEW(5));
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const BYTE*>(::LockResource(::LoadResource(self, found)));
    const std::vector<BYTE> designed(bytes, bytes + ::SizeofResource(self, found));
    platform::DialogTemplateFont font;
    ASSERT_TRUE(platform::ReadTemplateFont(designed, font));
    EXPECT_EQ(font.caption, L"アップデートウィザード");
    EXPECT_EQ(font.face, L"ＭＳ Ｐゴシック");

    // With code page 932 the designed face shows the caption; with 1252 it
    // maps to a Latin font and another face is chosen. Either way, the face
    // chosen shows every character of the caption.
    const std::wstring face = platform::FaceShowing(font.face, font.caption);
    if (::GetACP() == 932) EXPECT_EQ(face, font.face);
    else EXPECT_NE(face, font.face);
    {
        HDC dc = ::GetDC(nullptr);
        const HFONT chosen = ::CreateFontW(-12, 0, 0, 0, 0, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face.c_str());
        const HGDIOBJ old = ::SelectObject(dc, chosen);
        std::vector<WORD> glyphs(font.caption.size());
        ::GetGlyphIndicesW(dc, font.caption.c_str(), static_cast<int>(glyphs.size()), glyphs.data(),
                           GGI_MARK_NONEXISTING_GLYPHS);
        ::SelectObject(dc, old);
        ::DeleteObject(chosen);
        ::ReleaseDC(nullptr, dc);
        for (WORD g : glyphs) EXPECT_NE(g, 0xFFFF);
    }

    // The copy in that face is the same page: its controls and texts.
    const std::vector<BYTE> copy = platform::WithFace(designed, face);
    platform::DialogTemplateFont copied;
    ASSERT_TRUE(platform::ReadTemplateFont(copy, copied));
    EXPECT_EQ(copied.face, face);
    auto texts = [](const std::vector<BYTE>& t) {
        const HWND dialog = ::CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(t.data()),
                                                         ::GetDesktopWindow(), NoDialogProc, 0);
        std::vector<std::string> out;
        for (HWND c = ::GetWindow(dialog, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
            out.push_back(platform::GetWindowString(c));
        ::DestroyWindow(dialog);
        return out;
    };
    const std::vector<std::string> shown = texts(copy);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown, texts(designed));
    EXPECT_NE(shown[0].find("<PRODUCT_NAME> アップデートウィザードにようこそ !!"), std::string::npos);
}

TEST(Names, MediumTempAndProductInFoldersOutsideCodePage932) {
    const char* names[] = {"é", "한국", "𠮷"};
    for (int i = 0; i < 3; ++i) {
        const std::string medium = names[i], temp = names[(i + 1) % 3], product = names[(i + 2) % 3];
        SCOPED_TRACE("medium " + medium + ", temporary folder " + temp + ", product " + product);
        E2eWorld w("installed\\Zomi7.EXE", "upd_m_" + medium, "upd_p_" + product);
        w.PutPackage();
        ScratchDir tempFolder("upd_t_" + temp);
        TempScope scope(tempFolder.path());
        EXPECT_EQ(RunQuiet(w.medium / "SETUP.EXE", "/quiet"), 0u);
        EXPECT_TRUE(w.Installed());
        EXPECT_FALSE(Exists(tempFolder / "KVUPDATE"));
    }
}

TEST(Names, NoNameIsTakenForTheOneItBestFitsTo) {
    // "mé" and "José" would become "me" and "Jose" through a best fit: the
    // decoys there must stay untouched.
    E2eWorld w("installed\\Zomi7.EXE", "upd_mé", "upd_José");
    w.PutPackage();
    E2eWorld decoy("installed\\Zomi7.EXE", "upd_me", "upd_Jose");
    decoy.WritePackage(E2eWorld::Package(decoy.Key(), {{"APP\\decoy.txt", "decoy"}, {"HELP\\x.txt", "x"}}), "UPDATE.PKG");
    EXPECT_EQ(RunQuiet(w.medium / "SETUP.EXE", "/quiet /dir \"" + w.product.path() + "\""), 0u);
    EXPECT_TRUE(w.Installed());
    EXPECT_FALSE(Exists(w.product / "decoy.txt"));
    EXPECT_EQ(ReadFileBytes(decoy.product / "readme.txt"), "old readme");
}
