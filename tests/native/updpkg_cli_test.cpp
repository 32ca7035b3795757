#include <gtest/gtest.h>

#include "tools/updpkg/cli.h"
#include "tools/updpkg/errors.h"

using updpkg::Options;
using updpkg::ParseCommandLine;
using updpkg::UsageError;

namespace {
std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> args;
    std::string word;
    for (char c : line + " ") {
        if (c == ' ') {
            if (!word.empty()) args.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return args;
}
}  // namespace

TEST(UpdpkgCommandLine, AcceptedForms) {
    struct {
        const char* line;
        std::string command, package, folder, output, keyFile, library;
        std::optional<uint32_t> key;
        int level;
        unsigned jobs;
    } cases[] = {
        {"key lib.dll", "key", "", "", "", "", "lib.dll", std::nullopt, 6, 0},
        {"build --key 1a2B -o p.kvub FILES", "build", "", "FILES", "p.kvub", "", "", 0x1A2Bu, 6, 0},
        {"build FILES --level 0 --key-file lib.dll -o p", "build", "", "FILES", "p", "lib.dll", "", std::nullopt, 0, 0},
        {"build --key=0xFFFFFFFF --level=9 --jobs=3 -o p F", "build", "", "F", "p", "", "", 0xFFFFFFFFu, 9, 3},
        {"list --key 0 p.kvub", "list", "p.kvub", "", "", "", "", 0u, 6, 0},
        {"verify --jobs 64 --key 00000001 p", "verify", "p", "", "", "", "", 1u, 6, 64},
        {"extract -C out --key deadbeef p", "extract", "p", "out", "", "", "", 0xDEADBEEFu, 6, 0},
        {"extract --key 1 -C out -- -odd-name", "extract", "-odd-name", "out", "", "", "", 1u, 6, 0},
    };
    for (auto& c : cases) {
        Options o = ParseCommandLine(Split(c.line));
        EXPECT_FALSE(o.help) << c.line;
        EXPECT_EQ(o.command, c.command) << c.line;
        EXPECT_EQ(o.package, c.package) << c.line;
        EXPECT_EQ(o.folder, c.folder) << c.line;
        EXPECT_EQ(o.output, c.output) << c.line;
        EXPECT_EQ(o.keyFile, c.keyFile) << c.line;
        EXPECT_EQ(o.library, c.library) << c.line;
        EXPECT_EQ(o.key, c.key) << c.line;
        EXPECT_EQ(o.level, c.level) << c.line;
        EXPECT_EQ(o.jobs, c.jobs) << c.line;
    }
}

TEST(UpdpkgCommandLine, HelpWinsOverEverythingElse) {
    struct { const char* line; std::string command; } cases[] = {
        {"--help", ""}, {"-h", ""}, {"help build", "build"}, {"build --help", "build"},
        {"extract --bogus -h", "extract"}, {"verify --key zz --help", "verify"},
    };
    for (auto& c : cases) {
        Options o = ParseCommandLine(Split(c.line));
        EXPECT_TRUE(o.help) << c.line;
        EXPECT_EQ(o.command, c.command) << c.line;
    }
    // The usage of each command names it; the general one names them all.
    for (const char* cmd : {"key", "build", "list", "verify", "extract"}) {
        EXPECT_NE(updpkg::UsageText(cmd).find(std::string("usage: updpkg ") + cmd), std::string::npos) << cmd;
        EXPECT_NE(updpkg::UsageText("").find(std::string("updpkg ") + cmd + " "), std::string::npos) << cmd;
    }
}

TEST(UpdpkgCommandLine, WrongUsageNamesTheCommand) {
    struct { const char* line; std::string command; } cases[] = {
        {"", ""},
        {"frob x", ""},
        {"key", "key"},
        {"key a b", "key"},
        {"key --key 1 lib", "key"},
        {"build --key 1 FILES", "build"},                         // no -o
        {"build -o p FILES", "build"},                            // no key
        {"build --key 1 --key-file l -o p F", "build"},           // both keys
        {"build --key 1 --key 2 -o p F", "build"},                // twice
        {"build --key 1 -o p A B", "build"},
        {"build --key 1 --level 10 -o p F", "build"},
        {"build --key 1 --level x -o p F", "build"},
        {"build --key 1 --jobs 0 -o p F", "build"},
        {"build --key 1 --jobs 65 -o p F", "build"},
        {"build --key 1 -o", "build"},                            // option without value
        {"list --key 123456789 p", "list"},                       // nine digits
        {"list --key 0x p", "list"},
        {"list --key -1 p", "list"},
        {"list --key 1 -C out p", "list"},                        // -C is extract's
        {"verify --key 1 --level 3 p", "verify"},                 // --level is build's
        {"extract --key 1 p", "extract"},                         // no -C
        {"extract --key 1 -C out", "extract"},                    // no package
        {"extract --key 1 -C out --what p", "extract"},
    };
    for (auto& c : cases) {
        try {
            ParseCommandLine(Split(c.line));
            ADD_FAILURE() << "accepted: " << c.line;
        } catch (const UsageError& e) {
            EXPECT_EQ(e.command(), c.command) << c.line;
            EXPECT_STRNE(e.what(), "") << c.line;
        }
    }
}

TEST(UpdpkgCommandLine, KeyDigits) {
    struct { const char* text; std::optional<uint32_t> key; } cases[] = {
        {"0", 0u}, {"f", 0xFu}, {"0x10", 0x10u}, {"0X10", 0x10u}, {"ABCDEF01", 0xABCDEF01u},
        {"", std::nullopt}, {"0x", std::nullopt}, {"g", std::nullopt}, {"123456789", std::nullopt},
        {" 1", std::nullopt}, {"1 ", std::nullopt}, {"+1", std::nullopt}, {"0x123456789", std::nullopt},
    };
    for (auto& c : cases) EXPECT_EQ(updpkg::ParseKey(c.text), c.key) << c.text;
}
