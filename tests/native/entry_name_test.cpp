#include <gtest/gtest.h>

#include "engine/entry_name.h"

namespace {
// Code page 932 characters whose second byte is a separator or a letter.
const std::string kSo = "\x83\x5C";     // ソ: second byte 0x5C, the backslash
const std::string kHyou = "\x95\x5C";   // 表
const std::string kKa = "\x83\x4A";     // カ: second byte 'J'
const std::string kNi = "\x83\x6A";     // ニ
}  // namespace

TEST(IsSafeEntryName, NamesBelowTheFilesFolderPass) {
    const std::string safe[] = {
        "SYS\\file.txt", "file.txt", "SYS/file.txt", "a\\b\\c\\d.e", "SYS\\.hidden",
        "SYS\\x..y", "SYS\\..x", "SYS\\conx.txt", "SYS\\CONSOLE", "SYS\\COM0", "SYS\\COM10",
        "SYS\\LPT", "SYS\\xNUL", "SYS\\name with spaces.txt",
        kSo + "\\" + kSo + ".txt",   // the 0x5C inside ソ is no separator
        kHyou,                        // a name that is just 表
        "SYS\\" + kSo,                // ending in 0x5C as a second byte
        kKa + kNi + "\\data.bin",
    };
    for (const std::string& name : safe) EXPECT_TRUE(pkg::IsSafeEntryName(name)) << name;
}

TEST(IsSafeEntryName, NamesThatCouldLeaveTheFilesFolderAreRefused) {
    const std::string unsafe[] = {
        "",                                  // empty
        "\\file", "/file",                   // absolute
        "\\\\server\\share\\f", "//server/share/f",  // UNC
        "C:\\file", "C:file", "c:", "SYS\\a:b", ":",  // drive, drive-relative, stream
        "..", "..\\x", "SYS\\..\\..\\x", "SYS/../x", "SYS\\..",  // parent
        ".", "SYS\\.\\x",                   // current folder
        "SYS\\\\x", "SYS\\", "SYS/",         // empty component
        "... ", "SYS\\...\\x", "SYS\\.. \\x", " ", "SYS\\ \\x", "SYS\\. .",  // dots and blanks only
        "CON", "prn", "SYS\\aux", "SYS\\Nul", "SYS\\COM1", "SYS\\com9", "SYS\\LPT1", "SYS\\lpt9",
        "SYS\\CON.txt", "SYS\\nul.tar.gz", "SYS\\CON .txt", "COM3\\x", "SYS\\AUX ",
        kSo + "\\..\\x",                    // a real separator after ソ still counts
        kSo + "\\\\x",
    };
    for (const std::string& name : unsafe) EXPECT_FALSE(pkg::IsSafeEntryName(name)) << name;
}
