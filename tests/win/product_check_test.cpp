// The product checks against the real process list, registry, version
// resources and files, with the fixture programs of the build standing in
// for the product. The prompt is scripted.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <zlib.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/SetupApp.h"
#include "checks/ProductCheck.h"
#include "platform/handle.h"
#include "platform/prompt.h"
#include "platform/regkey.h"
#include "tests/support/app_paths.h"
#include "tests/support/fixture_paths.h"
#include "tests/support/scripted_prompt.h"
#include "tests/support/test_util.h"

using testsupport::AppPathsEntry;
using testsupport::ScratchDir;
using testsupport::ScriptedPrompt;
using testsupport::Sjis;

namespace {

// An application object of the test's own, with a product name and a system
// folder on drive C.
class ProductCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_app.m_info.m_strProductName = "ゾミ７";
        m_app.m_info.m_strSystemDir = "C:\\windows\\system32";
        SetAppForTest(&m_app);
        platform::SetMainWindow(::GetDesktopWindow());
    }
    void TearDown() override {
        platform::SetMainWindow(nullptr);
        SetAppForTest(nullptr);
    }

    static std::string RunningText() {
        return "ゾミ７ が実行中です。\nゾミ７ を閉じてから、セットアップを起動してください。";
    }
    static std::string FolderQuestion() { return "ゾミ７ がインストールされているフォルダは?"; }
    static std::string UpToDateText() { return "最新バージョンがインストールされています。"; }
    static std::string AppTitle() { return "アップデートウィザード"; }

    CSetupApp m_app;
    CProductCheck m_check;
};

// Puts a fixture program into folder as Zomi7.EXE.
void InstallExe(const std::string& folder, const std::string& fixture) {
    ASSERT_TRUE(::testsupport::CopyTo(testsupport::FixturePath(fixture), (folder + "\\Zomi7.EXE")))
        << folder << " " << fixture;
}


// The default install folder on drive C, made for the test and removed after.
class DefaultFolder {
public:
    DefaultFolder() : m_path("C:\\Program Files\\ゾミ７") { testsupport::RemoveTree(m_path); }
    ~DefaultFolder() { testsupport::RemoveTree(m_path); }
    DefaultFolder(const DefaultFolder&) = delete;
    DefaultFolder& operator=(const DefaultFolder&) = delete;
    void Make(const std::string& fixture) {
        ASSERT_TRUE(testsupport::MakeDir(m_path));
        InstallExe(m_path, fixture);
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// A copy of the fixture program running under a chosen name until the test
// ends.
class RunningProgram {
public:
    RunningProgram(const std::string& folder, const std::string& name) {
        const std::string eventName = "hB-product-check-stop-" + std::to_string(::GetCurrentProcessId());
        m_stop.reset(::CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
        const std::string exe = folder + "\\" + name;
        if (!testsupport::CopyTo(testsupport::FixturePath("fixture_app.exe"), exe)) return;
        std::string cmd = "\"" + exe + "\" " + eventName;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::wstring wideCmd = platform::Wide(cmd);
        if (!::CreateProcessW(platform::Wide(exe).c_str(), wideCmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &si, &pi))
            return;
        m_process.reset(pi.hProcess);
        ::CloseHandle(pi.hThread);
        m_id = pi.dwProcessId;
    }
    ~RunningProgram() { Stop(); }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // Started, and listed in the process list (which may lag the start).
    bool Listed() const {
        if (!m_process) return false;
        for (int i = 0; i < 200; ++i) {
            platform::Handle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
            PROCESSENTRY32 pe{};
            pe.dwSize = sizeof pe;
            for (BOOL ok = ::Process32First(snap.get(), &pe); ok; ok = ::Process32Next(snap.get(), &pe)) {
                if (pe.th32ProcessID == m_id) return true;
            }
            ::Sleep(25);
        }
        return false;
    }
    void Stop() {
        if (!m_process) return;
        ::SetEvent(m_stop.get());
        if (::WaitForSingleObject(m_process.get(), 10000) != WAIT_OBJECT_0) ::TerminateProcess(m_process.get(), 1);
        ::WaitForSingleObject(m_process.get(), 10000);
        m_process.reset();
    }

private:
    platform::Handle m_stop;
    platform::Handle m_process;
    DWORD m_id = 0;
};

}  // namespace

TEST_F(ProductCheckTest, CheckNotRunningFindsTheProductByASubstringOfItsImageName) {
    ScratchDir dir("hB_running");
    {
        ScriptedPrompt prompt;
        EXPECT_EQ(m_check.CheckNotRunning(), 1);
        EXPECT_TRUE(prompt.Seen().empty());
    }
    // Lower case, with more before the name: still the product.
    for (const std::string name : {"my_zomi7.exe", "表zomi7.exe"}) {
        RunningProgram running(dir.path(), name);
        ASSERT_TRUE(running.Listed()) << name;
        ScriptedPrompt prompt;
        EXPECT_EQ(m_check.CheckNotRunning(), 0) << name;
        auto boxes = prompt.Boxes();
        ASSERT_EQ(boxes.size(), 1u) << name;
        EXPECT_EQ(boxes[0].text, RunningText());
        EXPECT_EQ(boxes[0].style, 0x30u);
        EXPECT_EQ(boxes[0].caption, AppTitle());
        EXPECT_EQ(boxes[0].owner, ::GetDesktopWindow());
        running.Stop();
        ScriptedPrompt after;
        EXPECT_EQ(m_check.CheckNotRunning(), 1) << name;
        EXPECT_TRUE(after.Seen().empty());
    }
    // A name that merely starts like the product's is not the product.
    RunningProgram other(dir.path(), "zomi7x.exe");
    ASSERT_TRUE(other.Listed());
    ScriptedPrompt prompt;
    EXPECT_EQ(m_check.CheckNotRunning(), 1);
    EXPECT_TRUE(prompt.Seen().empty());
}

TEST_F(ProductCheckTest, FindInstallFolderTakesTheFolderFromAppPaths) {
    ScratchDir dir("hB_app_paths");
    const std::string folder = dir.path();
    const std::string hyo = dir / "表";  // ends in 95 5C
    ASSERT_TRUE(testsupport::MakeDir(hyo));
    InstallExe(folder, "fixture_ver_7_5_1_65535.exe");
    InstallExe(hyo, "fixture_ver_7_5_1_65535.exe");
    DefaultFolder fallback;
    fallback.Make("fixture_ver_6_0_0_0.exe");
    const std::string rootExe = "C:\\Zomi7.EXE";
    ASSERT_TRUE(::testsupport::CopyTo(testsupport::FixturePath("fixture_ver_7_5_1_65535.exe"), rootExe));

    struct { std::string value; bool set; std::string want; } cases[] = {
        {folder + "\\zomi7.ExE", true, folder},        // the executable: its folder
        {folder + "\\ZOMI7.exe", true, folder},
        {folder + "\\", true, folder},                 // one trailing backslash goes
        {folder, true, folder},
        {"C:\\", true, "C:\\"},                        // a drive root keeps it
        {hyo, true, hyo},                              // 5C as a second byte stays
        {hyo + "\\Zomi7.EXE", true, hyo},
        {"Zomi7.EXE", true, fallback.path()},          // no folder: the default one
        {"", true, fallback.path()},
        {"", false, fallback.path()},                  // no key at all
    };
    for (auto& c : cases) {
        AppPathsEntry entry;
        if (c.set) {
            ASSERT_TRUE(entry.Set(c.value));
        }
        ScriptedPrompt prompt;
        std::string target = "stale";
        EXPECT_EQ(m_check.FindInstallFolder(target), 1) << c.value;
        EXPECT_EQ(target, c.want) << c.value;
        EXPECT_TRUE(prompt.Seen().empty()) << c.value;
    }
    ::DeleteFileW(platform::Wide(rootExe).c_str());
}

TEST_F(ProductCheckTest, FindInstallFolderAsksUntilAFolderWithAVersionIsChosen) {
    ScratchDir dir("hB_browse");
    const std::string empty = dir / "empty";
    const std::string noVersion = dir / "noversion";
    const std::string right = dir / "right";
    for (const auto& f : {empty, noVersion, right}) ASSERT_TRUE(testsupport::MakeDir(f));
    InstallExe(noVersion, "fixture_app.exe");
    InstallExe(right, "fixture_ver_8_0_0_0.exe");
    AppPathsEntry entry;
    ASSERT_TRUE(entry.Set(empty + "\\Zomi7.EXE"));  // names a folder without the program
    DefaultFolder fallback;            // absent

    struct Case {
        const char* what;
        std::vector<ScriptedPrompt::FolderAnswer> answers;
        int want;
        std::string wantDir;
        size_t dialogs;
    } cases[] = {
        {"wrong folder, then the right one", {{true, noVersion}, {true, right}}, 1, right, 2},
        {"empty folder, then cancel", {{true, empty}, {false, ""}}, 0, "", 2},
        {"cancel at once", {{false, ""}}, 0, "", 1},
    };
    for (auto& c : cases) {
        ScriptedPrompt prompt;
        for (auto& a : c.answers) prompt.AnswerFolders({a});
        std::string target = "stale";
        EXPECT_EQ(m_check.FindInstallFolder(target), c.want) << c.what;
        EXPECT_EQ(target, c.wantDir) << c.what;
        auto seen = prompt.Seen();
        ASSERT_EQ(seen.size(), c.dialogs) << c.what;
        for (auto& s : seen) {
            EXPECT_EQ(s.kind, ScriptedPrompt::Shown::Folder) << c.what;
            EXPECT_EQ(s.text, FolderQuestion()) << c.what;
            EXPECT_EQ(s.style, static_cast<UINT>(BIF_RETURNONLYFSDIRS)) << c.what;
            EXPECT_EQ(s.owner, ::GetDesktopWindow()) << c.what;
        }
    }
}

TEST_F(ProductCheckTest, DefaultFolderIsOnTheSystemFolderDrive) {
    // A good default folder on C: is not taken when the system folder lies on
    // another drive (Z:, where no such folder exists): the dialog comes.
    AppPathsEntry entry;
    DefaultFolder onC;
    onC.Make("fixture_ver_7_5_1_65535.exe");
    m_app.m_info.m_strSystemDir = "Z:\\hB-no-such-windows\\system32";
    ScriptedPrompt prompt;
    std::string target;
    EXPECT_EQ(m_check.FindInstallFolder(target), 0);
    EXPECT_EQ(target, "");
    EXPECT_EQ(prompt.Seen().size(), 1u);
}

TEST_F(ProductCheckTest, BrowseInstallFolderStoresTheChoiceUnchangedOrEmpties) {
    m_app.m_info.m_strProductName = "P<TARGETDIR>";  // macros expand in the title
    m_app.SetTargetDir("T");
    ScriptedPrompt prompt;
    prompt.AnswerFolders({{true, "C:\\"}, {false, ""}});
    std::string target = "stale";
    EXPECT_EQ(m_check.BrowseInstallFolder(target), 1);
    EXPECT_EQ(target, "C:\\");
    EXPECT_EQ(m_check.BrowseInstallFolder(target), 0);
    EXPECT_EQ(target, "");
    auto seen = prompt.Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, "PT がインストールされているフォルダは?");
}

TEST_F(ProductCheckTest, CheckVersionComparesWithSevenFiveTwoZero) {
    struct { const char* fixture; int want; bool box; } cases[] = {
        {"fixture_ver_7_5_1_65535.exe", 1, false},
        {"fixture_ver_7_4_99_0.exe", 1, false},
        {"fixture_ver_6_0_0_0.exe", 1, false},
        {"fixture_ver_7_5_2_0.exe", 0, true},
        {"fixture_ver_7_5_2_1.exe", 0, true},
        {"fixture_ver_7_6_0_0.exe", 0, true},
        {"fixture_ver_8_0_0_0.exe", 0, true},
        {"fixture_app.exe", 0, false},  // no version resource: no message
        {nullptr, 0, false},            // no program at all
    };
    for (auto& c : cases) {
        const std::string what = c.fixture ? c.fixture : "(none)";
        ScratchDir dir("hB_version");
        if (c.fixture) InstallExe(dir.path(), c.fixture);
        m_app.SetTargetDir(dir.path());
        ScriptedPrompt prompt;
        EXPECT_EQ(m_check.CheckVersion(), c.want) << what;
        auto boxes = prompt.Boxes();
        ASSERT_EQ(boxes.size(), c.box ? 1u : 0u) << what;
        if (c.box) {
            EXPECT_EQ(boxes[0].text, UpToDateText()) << what;
            EXPECT_EQ(boxes[0].style, 0x30u) << what;
            EXPECT_EQ(boxes[0].caption, AppTitle()) << what;
        }
    }
}

TEST_F(ProductCheckTest, GetLibraryCrcIsTheCrc32OfTheWholeLibrary) {
    ScratchDir dir("hB_crc");
    m_app.SetTargetDir(dir.path());
    const std::string lib = dir / "kvp2lib.dll";

    // The check value of CRC-32.
    ASSERT_TRUE(testsupport::WriteFileBytes(lib, "123456789"));
    EXPECT_EQ(m_check.GetLibraryCrc(), 0xCBF43926u);

    // Several 0x8000-byte reads and a short last one, against zlib in one go.
    std::mt19937 rng(3);
    std::string data(3 * 0x8000 + 123, '\0');
    for (auto& ch : data) ch = static_cast<char>(rng());
    ASSERT_TRUE(testsupport::WriteFileBytes(lib, data));
    const uLong want = ::crc32(::crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.data()),
                               static_cast<uInt>(data.size()));
    EXPECT_EQ(m_check.GetLibraryCrc(), static_cast<uint32_t>(want));

    // Held open by another opener, with or without sharing: 0.
    for (DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ}}) {
        platform::Handle held(::CreateFileW(platform::Wide(lib).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.valid());
        EXPECT_EQ(m_check.GetLibraryCrc(), 0u) << share;
    }
    EXPECT_EQ(m_check.GetLibraryCrc(), static_cast<uint32_t>(want));

    ASSERT_TRUE(testsupport::WriteFileBytes(lib, ""));
    EXPECT_EQ(m_check.GetLibraryCrc(), 0u);
    ASSERT_TRUE(::DeleteFileW(platform::Wide(lib).c_str()));
    EXPECT_EQ(m_check.GetLibraryCrc(), 0u);
    m_app.SetTargetDir(dir / "missing");
    EXPECT_EQ(m_check.GetLibraryCrc(), 0u);
}
