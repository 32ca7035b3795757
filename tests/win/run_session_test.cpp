// The run around the wizard: the prompt it installs, how start-up endings
// become the exit status, and what it logs.
#include <gtest/gtest.h>

#include "app/RunSession.h"
#include "app/SetupApp.h"
#include "platform/prompt.h"
#include "tests/support/scripted_prompt.h"
#include "tests/support/test_util.h"

using testsupport::ReadFileBytes;
using testsupport::ScriptedPrompt;

namespace {

std::string LogOf(CSetupApp& app, RunMode mode, const std::vector<std::string>& extra, int& status,
                  bool anotherInstance = false) {
    testsupport::ScratchDir dir("upd_session");
    std::vector<std::string> args = extra;
    args.push_back("/log");
    args.push_back(dir / "u.log");
    app.m_options = ParseCommandLine(args);
    app.m_options.mode = mode;
    {
        CRunSession session(app);
        const bool goesOn = session.Begin();
        // The prompt of the mode is in place from Begin to the end of the run.
        EXPECT_EQ(platform::GetPrompt().AnswersItself(), mode != RunMode::Interactive);
        if (goesOn && anotherInstance) session.AnotherInstanceRunning();
        status = session.End();
    }
    return ReadFileBytes(dir / "u.log");
}

}  // namespace

TEST(RunSession, StartUpEndingsAndTheirLogs) {
    ScriptedPrompt person;  // the interactive runs' boxes
    {
        CSetupApp app;
        int status = -1;
        const std::string log = LogOf(app, RunMode::Quiet, {}, status, true);
        EXPECT_EQ(status, 1618);
        EXPECT_NE(log.find(" another SETUP.EXE is running\r\n"), std::string::npos) << log;
        EXPECT_NE(log.find(" exit status 1618 ERROR_INSTALL_ALREADY_RUNNING ("), std::string::npos);
    }
    {
        // /? under /quiet: the usage goes to the log, not to a person.
        CSetupApp app;
        int status = -1;
        const std::string log = LogOf(app, RunMode::Quiet, {"/?"}, status);
        EXPECT_EQ(status, 0);
        EXPECT_NE(log.find(" box 0x40: "), std::string::npos) << log;
        EXPECT_NE(log.find(" answer: OK (automatic)\r\n"), std::string::npos);
        EXPECT_TRUE(person.Boxes().empty());
    }
    {
        // A usage error in the interactive run: a box with the exclamation icon.
        CSetupApp app;
        int status = -1;
        const std::string log = LogOf(app, RunMode::Interactive, {"/nonsense"}, status);
        EXPECT_EQ(status, 1639);
        ASSERT_EQ(person.Boxes().size(), 1u);
        EXPECT_EQ(person.Boxes()[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
        EXPECT_EQ(person.Boxes()[0].text, UsageErrorText());
        EXPECT_NE(log.find(" usage error: unknown option: /nonsense\r\n"), std::string::npos) << log;
    }
    {
        // The wizard left before the update began: the user's cancel.
        CSetupApp app;
        int status = -1;
        LogOf(app, RunMode::Interactive, {}, status);
        EXPECT_EQ(status, 1602);
    }
    // The session gave the prompt back.
    EXPECT_EQ(&platform::GetPrompt(), static_cast<platform::Prompt*>(&person));
}

TEST(RunSession, ADirIsMadeFull) {
    CSetupApp app;
    app.m_options = ParseCommandLine({"/dir", "rel\\folder"});
    CRunSession session(app);
    ASSERT_TRUE(session.Begin());
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    std::string expected = cwd;
    if (expected.back() != '\\') expected += '\\';
    EXPECT_EQ(app.m_strInstallDirOption, expected + "rel\\folder");
    session.End();
}
