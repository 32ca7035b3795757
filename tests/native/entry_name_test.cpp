#include <gtest/gtest.h>

#include "engine/pkg/entry_name.h"

using pkg::EntryNameKey;
using R = pkg::FormatReason;

namespace {
// Code page 932 characters whose second byte is a separator or a letter.
const std::string kSo = "\x83\x5C";     // ソ: second byte 0x5C, the backslash
const std::string kHyou = "\x95\x5C";   // 表
const std::string kKa = "\x83\x4A";     // カ: second byte 'J'
const std::string kNi = "\x83\x6A";     // ニ
const std::string kPo = "\x83\x7C";     // ポ: second byte 0x7C, the '|'
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
        "SYS\\" + kPo + ".txt",           // the 0x7C inside ポ is no '|'
        "SYS\\" + kHyou,                  // ends in 表, whose 0x5C is no separator
        "SYS\\.x", "SYS\\ lead", "SYS\\x.y.z", "SYS\\COM1x", "SYS\\CONIN", "SYS\\~$a.doc",
        "SYS\\\xB6\xC5",                 // half-width katakana: single bytes above 0x80
        "SYS\\\xF0\x40",                 // the user-defined area
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

TEST(EntryNameFault, EachNameWindowsCannotWriteHasItsOwnReason) {
    const struct {
        std::string name;
        R reason;
    } cases[] = {
        {"SYS\\a\x1F", R::NameControlByte}, {"SYS\\\n", R::NameControlByte}, {"\x7F\\..", R::UnsafeName},
        {"SYS\\a<b", R::NameReservedChar}, {"SYS\\" + kPo + "|", R::NameReservedChar},
        {"SYS\\a.", R::NameTrailingDot}, {"SYS\\a \\b", R::NameTrailingDot}, {"SYS\\" + kSo + ".", R::NameTrailingDot},
        {"SYS\\CONIN$", R::NameDevice}, {"SYS\\CONOUT$.log", R::NameDevice},
        {"SYS\\\x80", R::NameNotCp932}, {"SYS\\\xA0", R::NameNotCp932}, {"SYS\\\xFD", R::NameNotCp932},
        {"SYS\\\x81", R::NameNotCp932},  // a lead byte at the end
        {"SYS\\\x81\x7F", R::NameNotCp932}, {"SYS\\\x86\x40", R::NameNotCp932}, {"SYS\\\xFC\x4C", R::NameNotCp932},
        // The first fault in the documented order decides.
        {"..\\\xFF", R::NameNotCp932}, {"..\\a\x01", R::NameControlByte}, {"..\\CON.", R::UnsafeName},
        {"CON.", R::NameTrailingDot}, {"a?\\NUL", R::NameReservedChar},
    };
    for (const auto& c : cases) {
        const auto fault = pkg::EntryNameFault(c.name);
        ASSERT_TRUE(fault.has_value()) << c.name;
        EXPECT_EQ(*fault, c.reason) << c.name;
    }
}

TEST(EntryNameFault, DepthIsLimitedTo256Components) {
    std::string name = "a";
    for (std::size_t i = 1; i < pkg::kMaxNameComponents; ++i) name += "\\a";
    EXPECT_FALSE(pkg::EntryNameFault(name).has_value());
    EXPECT_EQ(pkg::EntryNameFault(name + "\\a"), R::NameTooDeep);
    std::string deep = "a";
    for (int i = 1; i < 16383; ++i) deep += "\\a";  // the most a 32767-byte name can hold
    EXPECT_EQ(pkg::EntryNameFault(deep), R::NameTooDeep);
}

TEST(EntryNameKey, NamesWindowsTakesForOneFileShareAKey) {
    const std::pair<std::string, std::string> same[] = {
        {"APP\\A.txt", "app/a.TXT"},
        {"\x82\x60", "\x82\x81"},            // full-width Ａ and ａ
        {"\x82\x79", "\x82\x9A"},            // Ｚ and ｚ
        {"\x83\x9F", "\x83\xBF"},            // Α and α
        {"\x84\x40", "\x84\x70"},            // А and а
        {"\x84\x4E", "\x84\x7E"},            // Н and н, the last before the gap at 0x7F
        {"\x84\x4F", "\x84\x80"},            // О and о, the first after it
        {"\x84\x60", "\x84\x91"},            // Я and я
        {"\x87\x54", "\xFA\x40"},            // Ⅰ and the IBM ⅰ
        {"\x87\x54", "\xFA\x4A"},            // Ⅰ and the IBM Ⅰ
        {"\x87\x5D", "\xEE\xF8"},            // Ⅹ and the NEC-selected ⅹ
        {"\x81\xE0", "\x87\x90"},            // ≒, NEC row 13 and JIS
        {"\x81\xCA", "\xFA\x54"},            // ¬, IBM and JIS
        {"\xED\x40", "\xFA\x5C"},            // 纊, NEC-selected and IBM
        {"\xEE\xEC", "\xFC\x4B"},            // the last IBM extension
    };
    for (const auto& [a, b] : same) EXPECT_EQ(EntryNameKey(a), EntryNameKey(b)) << a << " " << b;

    const std::pair<std::string, std::string> different[] = {
        {kKa, kNi},                    // second bytes 'J' and 'j' are no letters
        {kSo, "\x83\x7C"},
        {"A\\" + kSo, "A\\" + kHyou},
        {"\x82\x60", "\x82\x61"},  // Ａ and Ｂ
        {"\x83\xB6", "\x83\xBF"},  // Ω and α
        {"\x84\x60", "\x84\x70"},  // Я and а
    };
    for (const auto& [a, b] : different) EXPECT_NE(EntryNameKey(a), EntryNameKey(b)) << a << " " << b;
    // The key is the UTF-8 one of every name (util/name_key.h), separators
    // made '\\': a ソ's second byte 0x5C is no separator there either.
    EXPECT_EQ(EntryNameKey("a/" + kNi + "\\b"), "A\\\u30CB\\B");
    EXPECT_EQ(EntryNameKey(kSo + "\\x"), "\u30BD\\X");
}

TEST(PlacementCheck, AFileAndAFolderOfOneNameCannotBothBePlaced) {
    pkg::PlacementCheck check;
    EXPECT_FALSE(check.Add("APP\\a.txt"));
    EXPECT_FALSE(check.Add("app\\A.TXT"));    // replaces the earlier file
    EXPECT_FALSE(check.Add("app\\sub\\b"));  // APP merges with app
    EXPECT_EQ(check.Add("APP\\A.txt\\c"), R::PlacementConflict);  // below a file
    EXPECT_EQ(check.Add("APP\\SUB"), R::PlacementConflict);        // over a folder
    EXPECT_FALSE(check.Add(kSo + "\\x"));      // ソ's 0x5C is no separator: no folder "\x83"
    EXPECT_EQ(check.Add(kSo), R::PlacementConflict);  // ソ is a folder by now
    try {
        check.Place("APP\\sub", 4, 99);
        ADD_FAILURE() << "no error";
    } catch (const pkg::FormatError& e) {
        EXPECT_EQ(e.reason(), R::PlacementConflict);
        EXPECT_EQ(e.entryIndex(), 4u);
        EXPECT_EQ(e.position(), 99u);
        EXPECT_EQ(e.entryName(), "APP\\sub");
    }
}
