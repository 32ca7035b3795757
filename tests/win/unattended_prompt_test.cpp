// Answers without a person, and every box in the log with its answer.
#include <gtest/gtest.h>

#include "app/RunSession.h"
#include "platform/log.h"
#include "platform/prompt.h"
#include "platform/timing.h"
#include "platform/unattended_prompt.h"
#include "tests/support/scripted_prompt.h"
#include "tests/support/test_util.h"

using testsupport::ReadFileBytes;
using testsupport::ScriptedPrompt;

namespace {
// A hundredth of real time: fine enough for the tick count's steps (10 to
// 16 ms, scaled) to miss at most one 2 s pause of the bound.
struct FastPauses {
    FastPauses() { platform::SetPauseDivisor(100); }
    ~FastPauses() { platform::SetPauseDivisor(1); }
};
}  // namespace

TEST(UnattendedPrompt, AnswersEveryKindOfBoxWithoutAWindow) {
    FastPauses fast;
    platform::UnattendedPrompt quiet(0);
    EXPECT_TRUE(quiet.AnswersItself());
    EXPECT_EQ(quiet.MessageBox(nullptr, "c", "read me", MB_OK | MB_ICONEXCLAMATION), IDOK);
    EXPECT_EQ(quiet.MessageBox(nullptr, "c", "read me", MB_OK | MB_ICONSTOP), IDOK);
    std::string path = "left over";
    EXPECT_FALSE(quiet.BrowseForFolder(nullptr, "where?", 0, path));
    EXPECT_TRUE(path.empty());

    // Retry while the same box keeps coming back within the bound, each
    // answer after a pause; then Cancel once, and a new bound after that.
    const unsigned long long start = platform::ScaledTickCount();
    int retries = 0;
    int answer;
    while ((answer = quiet.MessageBox(nullptr, "c", "locked", MB_RETRYCANCEL | MB_ICONEXCLAMATION)) == IDRETRY)
        ++retries;
    const unsigned long long took = platform::ScaledTickCount() - start;
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_GE(took, platform::UnattendedPrompt::kRetryBoundMs);
    EXPECT_GE(retries, 8);
    EXPECT_LE(retries, 16);
    EXPECT_EQ(quiet.MessageBox(nullptr, "c", "locked", MB_RETRYCANCEL), IDRETRY);
    // Another box starts its own bound.
    EXPECT_EQ(quiet.MessageBox(nullptr, "c", "another file", MB_RETRYCANCEL), IDRETRY);
}

TEST(UnattendedPrompt, BoxesAndAnswersInTheLog) {
    testsupport::ScratchDir dir("upd_prompt_log");
    ASSERT_TRUE(OpenLogFile(dir / "u.log"));
    platform::ResetPersonCancelled();
    {
        ScriptedPrompt person;
        person.AnswerBoxes({IDRETRY, IDCANCEL});
        person.AnswerFolders({{true, "C:\\x"}});
        SetLastError(1234);
        // "ゾミ７\n二行目"
        EXPECT_EQ(platform::AppMessageBox("ゾミ７\n二行目", MB_RETRYCANCEL | MB_ICONEXCLAMATION), IDRETRY);
        EXPECT_EQ(GetLastError(), 1234u);  // logging keeps the caller's error
        EXPECT_FALSE(platform::PersonCancelled());
        EXPECT_EQ(platform::AppMessageBox("again", MB_RETRYCANCEL | MB_ICONEXCLAMATION), IDCANCEL);
        EXPECT_TRUE(platform::PersonCancelled());
        std::string chosen;
        EXPECT_TRUE(platform::AppBrowseForFolder("where?", 0, chosen));
        EXPECT_EQ(chosen, "C:\\x");
    }
    platform::ResetPersonCancelled();
    {
        FastPauses fast;
        platform::UnattendedPrompt quiet(0);
        platform::Prompt* previous = platform::SetPrompt(&quiet);
        EXPECT_EQ(platform::AppMessageBox("done", MB_OK | MB_ICONINFORMATION), IDOK);
        std::string chosen;
        EXPECT_FALSE(platform::AppBrowseForFolder("where?", 0, chosen));
        platform::SetPrompt(previous);
        // Nobody pressed Cancel.
        EXPECT_FALSE(platform::PersonCancelled());
    }
    platform::CloseLog();
    platform::Log("after the close: not written");

    std::string log = ReadFileBytes(dir / "u.log");
    ASSERT_EQ(log.rfind("\xEF\xBB\xBF", 0), 0u);
    std::vector<std::string> lines;
    for (size_t pos = 3, end; (end = log.find("\r\n", pos)) != std::string::npos; pos = end + 2)
        lines.push_back(log.substr(pos + 24, end - pos - 24));  // after "YYYY-MM-DD hh:mm:ss.mmm "
    const std::vector<std::string> expected = {
        "box 0x35: \xE3\x82\xBE\xE3\x83\x9F\xEF\xBC\x97",  // ゾミ７, in UTF-8
        "| \xE4\xBA\x8C\xE8\xA1\x8C\xE7\x9B\xAE",          // 二行目
        "answer: Retry",
        "box 0x35: again",
        "answer: Cancel",
        "folder dialog: where?",
        "answer: C:\\x",
        "box 0x40: done",
        "answer: OK (automatic)",
        "folder dialog: where?",
        "answer: none (not shown without a person)",
    };
    EXPECT_EQ(lines, expected);
}

TEST(UnattendedPrompt, ALogThatCannotBeCreated) {
    testsupport::ScratchDir dir("upd_prompt_nolog");
    EXPECT_FALSE(OpenLogFile(dir / "missing\\u.log"));
    EXPECT_FALSE(platform::LogIsOpen());
    platform::Log("goes nowhere");  // and does not fail
}
