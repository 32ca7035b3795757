// SETUP.EXE's options: modes, values, usage errors, the usage texts.
#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace {
CommandLine Parse(std::vector<std::string> args) { return ParseCommandLine(args); }
}  // namespace

TEST(CommandLine, NoArgumentsIsTheInteractiveRun) {
    CommandLine cl = Parse({});
    EXPECT_EQ(cl.mode, RunMode::Interactive);
    EXPECT_FALSE(cl.help);
    EXPECT_TRUE(cl.logFile.empty());
    EXPECT_TRUE(cl.installDir.empty());
    EXPECT_TRUE(cl.error.empty());
}

TEST(CommandLine, OptionsInAnyCaseWithSlashOrDash) {
    CommandLine cl = Parse({"-QUIET", "/Log", "C:\\logs\\u.log", "-dir", "D:\\\x83\x5D\x83\x7E"});
    EXPECT_EQ(cl.mode, RunMode::Quiet);
    EXPECT_EQ(cl.logFile, "C:\\logs\\u.log");
    // A value is taken byte for byte (a double-byte folder name included).
    EXPECT_EQ(cl.installDir, "D:\\\x83\x5D\x83\x7E");
    EXPECT_TRUE(cl.error.empty());

    EXPECT_EQ(Parse({"/PaSsIvE"}).mode, RunMode::Passive);
    EXPECT_TRUE(Parse({"/?"}).help);
    EXPECT_TRUE(Parse({"-HELP"}).help);
    // A value that begins with '-' is a value: a file may be named so.
    EXPECT_EQ(Parse({"/log", "-x.log"}).logFile, "-x.log");
}

TEST(CommandLine, UsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {"/silent"},                 // unknown
        {"quiet"},                   // no option mark
        {"/"},                       // nothing after the mark
        {"/log"},                    // missing value at the end
        {"/log", ""},                // empty value
        {"/dir", "/quiet"},          // an option is not a value
        {"/quiet", "/passive"},      // two modes
        {"/log", "a", "/log", "b"},  // the same value twice
    };
    for (const auto& args : bad) {
        std::string joined;
        for (auto& a : args) joined += "[" + a + "]";
        SCOPED_TRACE(joined);
        EXPECT_FALSE(Parse(args).error.empty());
    }
    // The same mode twice is no conflict.
    EXPECT_TRUE(Parse({"/quiet", "-QUIET"}).error.empty());
}

TEST(CommandLine, AFaultyLineStillTellsModeAndLog) {
    // A quiet run's usage error goes to its log and no box: both must be known.
    CommandLine cl = Parse({"/log", "u.log", "/bogus", "/quiet"});
    EXPECT_FALSE(cl.error.empty());
    EXPECT_NE(cl.error.find("/bogus"), std::string::npos);
    EXPECT_EQ(cl.mode, RunMode::Quiet);
    EXPECT_EQ(cl.logFile, "u.log");
    // With two modes, the quiet one wins: no window for a run asked for none.
    EXPECT_EQ(Parse({"/quiet", "/passive"}).mode, RunMode::Quiet);
    EXPECT_EQ(Parse({"/passive", "/quiet"}).mode, RunMode::Quiet);
}

TEST(CommandLine, UsageTexts) {
    const std::string usage = UsageText();
    EXPECT_EQ(usage.rfind("使い方: SETUP.EXE [/quiet | /passive] [/log ", 0), 0u);
    EXPECT_NE(usage.find("] [/dir フォルダ]\n\n/quiet\t"), std::string::npos);
    // One line per option, each a name, a tab and a sentence ending in "。".
    for (const char* opt : {"\n/quiet\t", "\n/passive\t", "\n/log\t", "\n/dir\t"})
        EXPECT_NE(usage.find(opt), std::string::npos) << opt;
    EXPECT_EQ(usage.substr(usage.size() - 3), "。");
    EXPECT_EQ(usage.find('\r'), std::string::npos);
    EXPECT_EQ(UsageErrorText(), "コマンドラインが正しくありません。\n\n" + usage);
}
