#include <gtest/gtest.h>

#include "util/path.h"

namespace {
const std::string kSo = "ソ";
}

TEST(JoinPath, AddsOneBackslashUnlessTheFolderEndsInOne) {
    struct { std::string folder, name, want; } cases[] = {
        {"C:\\", "SETUP.INI", "C:\\SETUP.INI"},
        {"C:\\Update", "SETUP.INI", "C:\\Update\\SETUP.INI"},
        {"", "SETUP.INI", "\\SETUP.INI"},
        {"C:\\A\\", "\\x", "C:\\A\\\\x"},
        // A folder named with a character outside ASCII gets its backslash.
        {"C:\\" + kSo, "x", "C:\\" + kSo + "\\x"},
        {"C:\\" + kSo + "\\", "x", "C:\\" + kSo + "\\x"},
    };
    for (auto& c : cases) EXPECT_EQ(JoinPath(c.folder, c.name), c.want) << c.folder;
}

TEST(SplitString, CommaMode) {
    struct { std::string text; std::vector<std::string> parts; } cases[] = {
        {"x,y,z", {"x", "y", "z"}},
        {"x,,z", {"x", "", "z"}},
        {"x,y,", {"x", "y"}},
        {"", {}},
        {",,0", {"", "", "0"}},
        {",,", {"", ""}},
        {" a , b ,c", {" a ", " b ", "c"}},
        {"表,b", {"表", "b"}},
    };
    for (auto& c : cases) {
        std::list<std::string> list{"stale"};
        int n = SplitString(c.text, ',', list);
        EXPECT_EQ(n, static_cast<int>(c.parts.size())) << c.text;
        EXPECT_EQ(std::vector<std::string>(list.begin(), list.end()), c.parts) << c.text;
    }
}

TEST(SplitString, NulListMode) {
    std::list<std::string> list;
    EXPECT_EQ(SplitString(std::string("one\0two\0\0", 9), '\0', list), 2);
    EXPECT_EQ(list, (std::list<std::string>{"one", "two"}));
    std::list<std::string> empty;
    EXPECT_EQ(SplitString(std::string("\0", 1), '\0', empty), 0);
    // Appends to what the list holds.
    std::list<std::string> more{"a"};
    EXPECT_EQ(SplitString(std::string("b\0\0", 3), '\0', more), 2);
    // A list cut without its final empty string still ends at the text's end.
    std::list<std::string> cut;
    EXPECT_EQ(SplitString(std::string("ab\0cd", 5), '\0', cut), 2);
    EXPECT_EQ(cut.back(), "cd");
}

TEST(PathHelpers, FolderPartAndLeadingInt) {
    EXPECT_EQ(PathBeforeLastBackslash("C:\\A\\" + kSo), "C:\\A");
    EXPECT_EQ(PathBeforeLastBackslash("C:\\" + kSo + "\\b"), "C:\\" + kSo);
    EXPECT_EQ(PathBeforeLastBackslash("name"), "");

    struct { const char* text; int value; } ints[] = {
        {"12", 12}, {"12abc", 12}, {"abc", 0}, {"", 0}, {"  -7", -7}, {"+3", 3},
        {" 0", 0}, {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1},
    };
    for (auto& c : ints) EXPECT_EQ(ParseLeadingInt(c.text), c.value) << c.text;
}
