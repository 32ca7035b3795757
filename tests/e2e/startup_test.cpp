// SETUP.EXE as a user starts it, under Wine: what it shows for a faulty
// SETUP.INI.
#include <gtest/gtest.h>

#include "tests/support/fixture_paths.h"
#include "tests/support/test_util.h"
#include "tools/wizdrive/driver.h"

using testsupport::Sjis;

namespace {

// A medium folder holding a copy of SETUP.EXE and the given SETUP.INI.
struct Medium {
    testsupport::ScratchDir dir;
    std::string exe;
    Medium(const std::string& name, const std::string& ini) : dir(name) {
        exe = dir / "SETUP.EXE";
        EXPECT_TRUE(testsupport::CopyTo(testsupport::FixturePath("SETUP.EXE"), exe));
        if (!ini.empty()) {
            EXPECT_TRUE(testsupport::WriteFileBytes(dir / "SETUP.INI", ini));
        }
    }
};

}  // namespace

TEST(Startup, IncompleteDescriptionShowsOneBoxThenEnds) {
    struct Case {
        const char* name;
        std::string ini;
        std::string list;
    } cases[] = {
        {"no SETUP.INI", "", "[PRODUCT] PRODUCT_NAME\r\n[PRODUCT] PRODUCT_VERSION\r\n"},
        {"faulty components",
         Sjis("[PRODUCT]\r\nPRODUCT_NAME=ゾミ表\r\n[COMPONENTS]\r\nA=x,y\r\nB=x,<TARGETDIR>,1\r\nソ=1,2,3,4\r\n"),
         "[PRODUCT] PRODUCT_VERSION\r\n[COMPONENTS] A\r\n[COMPONENTS] ソ\r\n"},
        {"places that are none",
         Sjis("[PRODUCT]\r\nPRODUCT_NAME=ゾミ表\r\nPACKAGE=..\\U.PKG\r\n[COMPONENTS]\r\n"
              "表=APP,<TARGETDIRR>,1\r\nB=APP,<TARGETDIR>\\\\表,2\r\nC=..\\FILES,<TARGETDIR>,3\r\n"),
         "[PRODUCT] PRODUCT_VERSION\r\n[PRODUCT] PACKAGE\r\n[COMPONENTS] 表\r\n[COMPONENTS] C\r\n"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A folder name with a double-byte character ending in 0x5C.
        Medium m("upd_e2e_表", c.ini);
        driver::Process p;
        ASSERT_TRUE(p.Start(m.exe));

        driver::Window box;
        ASSERT_TRUE(p.WaitWindow(20000, [](const driver::Window& w) { return w.IsMessageBox(); }, &box));
        EXPECT_EQ(box.caption, "アップデートウィザード");
        // The static text shows the message with its line breaks as given.
        EXPECT_EQ(box.MessageText(), "SETUP.INIが正しくありません。\n\n" + c.list);
        // One OK button and nothing else to press.
        const driver::Control* ok = box.Find(IDOK);
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(box.Find(IDCANCEL), nullptr);
        // It is the only window.
        EXPECT_EQ(p.Windows().size(), 1u);

        driver::Press(box.hwnd, IDOK);
        // The box goes; nothing else comes up; the program ends.
        bool ended = false;
        for (int i = 0; i < 200 && !ended; ++i) {
            for (auto& w : p.Windows()) {
                if (w.hwnd != box.hwnd) ADD_FAILURE() << "unexpected window: " << w.caption;
            }
            ended = p.WaitExit(50);
        }
        EXPECT_TRUE(ended);
        EXPECT_EQ(p.ExitCode(), 1620u);  // ERROR_INSTALL_PACKAGE_INVALID
    }
}
