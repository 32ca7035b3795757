// The application object and SETUP.INI, against the system's profile reader.
#include <gtest/gtest.h>

#include "app/SetupApp.h"
#include "tests/support/scripted_prompt.h"
#include "tests/support/test_util.h"

using testsupport::ScriptedPrompt;
using testsupport::Sjis;

namespace {

std::string AppTitle() { return "アップデートウィザード"; }
std::string BadIniText(const std::string& list) {
    return "SETUP.INIが正しくありません。\n\n" + list;
}

// Loads an INI written in code page 932 into a fresh description.
struct Loaded {
    int ok;
    std::vector<ScriptedPrompt::Shown> boxes;
};
Loaded LoadIni(CSetupInfo& info, const std::string& content) {
    testsupport::ScratchDir dir("upd_app_ini");
    std::string path = dir / "SETUP.INI";
    EXPECT_TRUE(testsupport::WriteFileBytes(path, content));
    ScriptedPrompt prompt;
    int ok = info.Load(path);
    return {ok, prompt.Boxes()};
}

}  // namespace

TEST(SetupInfo, CompleteDescriptionLoadsComponentsInFileOrder) {
    CSetupInfo info;
    info.m_strTargetDir = "stale";
    auto r = LoadIni(info, Sjis(
        "[PRODUCT]\r\nPRODUCT_NAME=ゾミ表\r\nPRODUCT_VERSION=7.5.2.0\r\nPACKAGE=UPDATE.PKG\r\n"
        "[COMPONENTS]\r\nzeta=BIN,<TARGETDIR>,1\r\nalpha=SYS,<SYSTEMDIR>,12abc\r\n"
        "mid=a\\b,C:\\\\x\\,0\r\nlast= a,<TARGETDIR>\\ b,x\r\n"));
    // The reader drops the blanks before a value; a name may begin with one.
    EXPECT_EQ(r.ok, TRUE);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(info.m_strProductName, "ゾミ表");
    EXPECT_EQ(info.m_strProductVersion, "7.5.2.0");
    EXPECT_EQ(info.m_strPackage, "UPDATE.PKG");
    EXPECT_EQ(info.m_strTargetDir, "");
    char sys[MAX_PATH];
    GetSystemDirectoryA(sys, MAX_PATH);
    EXPECT_EQ(info.m_strSystemDir, sys);

    struct { const char* src; const char* dest; int value; } want[] = {
        {"BIN", "<TARGETDIR>", 1}, {"SYS", "<SYSTEMDIR>", 12}, {"a\\b", "C:\\\\x\\", 0}, {"a", "<TARGETDIR>\\ b", 0}};
    ASSERT_EQ(info.m_components.size(), 4u);
    auto it = info.m_components.begin();
    for (auto& w : want) {
        EXPECT_EQ((*it)->pszSource, w.src);
        EXPECT_EQ((*it)->pszDest, w.dest);
        EXPECT_EQ((*it)->nValue, w.value);
        ++it;
    }
}

TEST(SetupInfo, EveryFaultIsListedInOneBox) {
    struct Case {
        const char* name;
        std::string ini;
        std::string list;  // empty: loads
        size_t components;
    } cases[] = {
        {"missing file", "", "[PRODUCT] PRODUCT_NAME\r\n[PRODUCT] PRODUCT_VERSION\r\n", 0},
        {"empty name", "[PRODUCT]\r\nPRODUCT_NAME=\r\nPRODUCT_VERSION=1\r\n",
         "[PRODUCT] PRODUCT_NAME\r\n", 0},
        {"no components, no package", "[PRODUCT]\r\nPRODUCT_NAME=P\r\nPRODUCT_VERSION=1\r\n", "", 0},
        {"bad components, good ones kept",
         "[PRODUCT]\r\nPRODUCT_VERSION=1\r\n[COMPONENTS]\r\ntwo=a,b\r\nok=a,<TARGETDIR>,1\r\n"
         "four=a,b,c,d\r\nempty=\r\ncommas=,,\r\ntrail=a,C:\\b,1,\r\n",
         "[PRODUCT] PRODUCT_NAME\r\n[COMPONENTS] two\r\n[COMPONENTS] four\r\n"
         "[COMPONENTS] empty\r\n[COMPONENTS] commas\r\n",
         2},
        {"double-byte key name", Sjis("[PRODUCT]\r\nPRODUCT_NAME=P\r\nPRODUCT_VERSION=1\r\n"
                                      "[COMPONENTS]\r\n表ソ=x\r\n"),
         "[COMPONENTS] 表ソ\r\n", 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        CSetupInfo info;
        Loaded r;
        if (std::string(c.name) == "missing file") {
            ScriptedPrompt prompt;
            r.ok = info.Load("C:\\no\\such\\folder\\SETUP.INI");
            r.boxes = prompt.Boxes();
        } else {
            r = LoadIni(info, c.ini);
        }
        EXPECT_EQ(info.m_components.size(), c.components);
        if (c.list.empty()) {
            EXPECT_EQ(r.ok, TRUE);
            EXPECT_TRUE(r.boxes.empty());
            continue;
        }
        EXPECT_EQ(r.ok, FALSE);
        ASSERT_EQ(r.boxes.size(), 1u);
        EXPECT_EQ(r.boxes[0].caption, AppTitle());
        EXPECT_EQ(r.boxes[0].text, BadIniText(c.list));
        EXPECT_EQ(r.boxes[0].style, 0x30u);
    }
}

TEST(SetupInfo, LongValuesAndManyComponentsAreReadWhole) {
    // A destination over 1024 bytes, and component names whose list is far
    // longer than 1024 bytes: nothing may be cut or dropped.
    std::string longDest = "<TARGETDIR>\\" + std::string(1500, 'd');
    std::string ini = "[PRODUCT]\r\nPRODUCT_NAME=P\r\nPRODUCT_VERSION=1\r\n[COMPONENTS]\r\n";
    ini += "first=SRC," + longDest + ",7\r\n";
    const int kMany = 120;  // 120 names of 20 bytes: about 2.5 KiB of names
    for (int i = 0; i < kMany; ++i) {
        char name[32];
        snprintf(name, sizeof name, "component_name_%04d", i);
        ini += std::string(name) + "=S" + std::to_string(i) + ",C:\\D,1\r\n";
    }
    CSetupInfo info;
    auto r = LoadIni(info, ini);
    EXPECT_EQ(r.ok, TRUE);
    EXPECT_TRUE(r.boxes.empty());
    ASSERT_EQ(info.m_components.size(), static_cast<size_t>(kMany + 1));
    EXPECT_EQ(info.m_components.front()->pszDest, longDest);
    EXPECT_EQ(info.m_components.back()->pszSource, "S" + std::to_string(kMany - 1));
}

TEST(SetupApp, OwnFolderFromTheModulePath) {
    struct { std::string module, dir; } cases[] = {
        {"C:\\SETUP.EXE", "C:\\"},
        {"D:\\Disk1\\Update\\SETUP.EXE", "D:\\Disk1\\Update\\"},
        {"C:\\A\\SETUP.EXE", "C:\\A\\"},
        // 表 and ソ end in byte 0x5C: neither cuts the path nor counts as
        // the folder's trailing backslash.
        {"C:\\表\\ソ\\SETUP.EXE", "C:\\表\\ソ\\"},
        {"C:\\表ソ\\SETUP.EXE", "C:\\表ソ\\"},
    };
    for (auto& c : cases) {
        CSetupApp app;
        app.m_strModulePathOverride = c.module;
        app.InitAppDir();
        EXPECT_EQ(app.m_strAppDir, c.dir) << c.module;
        EXPECT_EQ(app.GetAppFilePath("SETUP.INI"), c.dir + "SETUP.INI");
    }
    // The real module path, as the system gives it.
    CSetupApp real;
    real.InitAppDir();
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string s = self;
    EXPECT_EQ(real.m_strAppDir, s.substr(0, s.rfind('\\') + 1));
}

TEST(SetupApp, MacrosExpandInOrderEveryOccurrence) {
    CSetupApp app;
    app.m_info.m_strProductName = "ゾミ表";
    app.m_info.m_strProductVersion = "7.5.2.0";
    app.m_info.m_strSystemDir = "C:\\windows\\system32";
    struct { std::string in, out; std::string target; } cases[] = {
        {"plain text", "plain text", ""},
        {"<TARGETDIR>\\BIN", "\\BIN", ""},
        {"<TARGETDIR>\\BIN", "C:\\Z\\BIN", "C:\\Z"},
        {"<PRODUCT_NAME>/<PRODUCT_NAME> <PRODUCT_VERSION>", "ゾミ表/ゾミ表 7.5.2.0", ""},
        {"<SYSTEMDIR>\\x", "C:\\windows\\system32\\x", ""},
        {"<product_name>", "<product_name>", ""},  // case-sensitive
    };
    for (auto& c : cases) {
        app.SetTargetDir(c.target);
        std::string t = c.in;
        app.ExpandMacros(t);
        EXPECT_EQ(t, c.out) << c.in;
    }
    // A value holding a later macro is expanded by the later step; one
    // holding an earlier macro is not expanded again.
    app.m_info.m_strProductName = "<SYSTEMDIR>";
    app.m_info.m_strSystemDir = "<PRODUCT_NAME>";
    std::string t = "<PRODUCT_NAME>";
    app.ExpandMacros(t);
    EXPECT_EQ(t, "<PRODUCT_NAME>");
}

TEST(SetupApp, DescriptionInADriveRoot) {
    // The Wine prefix's C: drive is ours to write.
    const std::string ini = "C:\\SETUP.INI";
    ASSERT_TRUE(testsupport::WriteFileBytes(ini, "[PRODUCT]\r\nPRODUCT_NAME=Root\r\nPRODUCT_VERSION=2\r\n"));
    CSetupApp app;
    app.m_strModulePathOverride = "C:\\SETUP.EXE";
    app.InitAppDir();
    ScriptedPrompt prompt;
    EXPECT_EQ(app.m_info.Load(app.GetAppFilePath("SETUP.INI")), TRUE);
    EXPECT_EQ(app.m_info.m_strProductName, "Root");
    DeleteFileW(platform::Wide(ini).c_str());
}
