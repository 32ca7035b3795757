#include <gtest/gtest.h>

#include "tools/updpkg/errors.h"
#include "tools/updpkg/fileio.h"
#include "tools/updpkg/names.h"

namespace {

// The same names as the system spells them (UTF-8, on Linux and on Windows
// alike) and as a package stores them.
#define NATIVE(utf8, cp932) utf8

struct Pair {
    std::string native;
    std::string package;
};

const Pair kComponents[] = {
    {"readme.txt", "readme.txt"},
    {NATIVE("ソ", "\x83\x5C"), "\x83\x5C"},
    {NATIVE("表示.txt", "\x95\x5C\x8E\xA6.txt"), "\x95\x5C\x8E\xA6.txt"},
    {NATIVE("ｶﾅ", "\xB6\xC5"), "\xB6\xC5"},  // half-width katakana: single bytes
    {NATIVE("テキスト", "\x83\x65\x83\x4C\x83\x58\x83\x67"), "\x83\x65\x83\x4C\x83\x58\x83\x67"},
};

}  // namespace

TEST(UpdpkgNames, ComponentsGoToCodePage932AndBack) {
    for (const Pair& p : kComponents) {
        EXPECT_EQ(updpkg::ComponentToPackage(p.native, "x"), p.package) << p.native;
        EXPECT_EQ(updpkg::EntryNameToPath(p.package), p.native) << p.native;
    }
    const std::string sep(1, updpkg::kPathSeparator);
    // The 0x5C inside ソ and 表 is no separator; '/' in a package name is one.
    EXPECT_EQ(updpkg::EntryNameToPath("A\\\x83\x5C\\\x95\x5C/b"),
              "A" + sep + kComponents[1].native + sep + NATIVE("表", "\x95\x5C") + sep + "b");
}

TEST(UpdpkgNames, NamesWithoutACodePage932FormAreRefused) {
    const std::string refused[] = {
        "\xED\x95\x9C.txt",  // 한 (Hangul)
        "Jos\xC3\xA9",       // é: no best fit to "e"
        "\xF0\x9F\x98\x80",  // an emoji
        "\xFF\xFE",          // not UTF-8
        "a\\b",              // a backslash would split the name in two
    };
    for (const std::string& name : refused) {
        EXPECT_THROW(updpkg::ComponentToPackage(name, "FILES/" + name), updpkg::FileError) << name;
    }
}

TEST(UpdpkgNames, DisplayNeverPassesControlBytes) {
    struct { std::string name, shown; } cases[] = {
        {"SYS\\a.txt", "SYS\\a.txt"},
        {"a\x1B[2Jb", "a\\x1B[2Jb"},
        {"\x83\x5C", NATIVE("ソ", "\x83\x5C")},
    };
    for (auto& c : cases) EXPECT_EQ(updpkg::DisplayName(c.name), c.shown) << c.name;
}

TEST(UpdpkgPaths, JoinAndParent) {
    const std::string sep(1, updpkg::kPathSeparator);
    EXPECT_EQ(updpkg::JoinNative("out", "a"), "out" + sep + "a");
    EXPECT_EQ(updpkg::JoinNative("out" + sep, "a"), "out" + sep + "a");
    EXPECT_EQ(updpkg::JoinNative("", "a"), "a");
    EXPECT_EQ(updpkg::ParentOf("out" + sep + "a" + sep + "b"), "out" + sep + "a");
    EXPECT_EQ(updpkg::ParentOf("b"), "");
    EXPECT_EQ(updpkg::ParentOf(sep + "b"), sep);
}
