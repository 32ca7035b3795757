// Double-byte awareness of the text helpers. "ソ" is 83 5C and "表" is 95 5C
// in code page 932: their second byte is a backslash.
#include <gtest/gtest.h>

#include "platform/mbcs.h"

namespace {
const std::string kSo = "\x83\x5C";   // ソ
const std::string kHyo = "\x95\x5C";  // 表
const std::string kFullA = "\x82\x60";  // Ａ (second byte 0x60)
const std::string kZenA = "\x82\x81";   // ａ
}  // namespace

TEST(Mbcs, LeadBytesOfCodePage932) {
    struct { unsigned char c; bool lead; } cases[] = {
        {0x00, false}, {0x5C, false}, {0x7F, false}, {0x80, false}, {0x81, true},
        {0x9F, true},  {0xA0, false}, {0xA5, false}, {0xDF, false}, {0xE0, true},
        {0xFC, true},  {0xFD, false}, {0xFF, false},
    };
    for (auto& c : cases) EXPECT_EQ(mbcs::IsCp932LeadByte(c.c), c.lead) << int(c.c);
    // The program's own test agrees with the table on the systems it targets.
    for (auto& c : cases) EXPECT_EQ(mbcs::IsLeadByte(c.c), c.lead) << int(c.c);
}

TEST(Mbcs, CharacterLengthsOfCodePage932) {
    struct { std::string text; std::size_t at, length; } cases[] = {
        {"a\\b", 1, 1},
        {kSo + "x", 0, 2},          // the backslash is its second byte
        {"x" + kSo, 2, 1},          // a second byte on its own is a character
        {"\xB1", 0, 1},            // half-width katakana: one byte
        {"ab\x83", 2, 1},          // a lead byte at the very end stands alone
        {kHyo + kZenA, 2, 2},
    };
    for (auto& c : cases) EXPECT_EQ(mbcs::Cp932CharLength(c.text, c.at), c.length) << c.text << " at " << c.at;
}

TEST(Mbcs, FindSkipsSecondBytes) {
    std::string s = "C:" + kSo + "\\x";
    EXPECT_EQ(mbcs::Find(s, '\\'), 4u);
    EXPECT_EQ(mbcs::ReverseFind(s, '\\'), 4u);
    EXPECT_EQ(mbcs::Find(kHyo, '\\'), mbcs::npos);
    EXPECT_EQ(mbcs::ReverseFind(kSo + kHyo, '\\'), mbcs::npos);
    EXPECT_EQ(mbcs::Find("a,b,c", ',', 2), 3u);
    EXPECT_EQ(mbcs::ReverseFind("", '\\'), mbcs::npos);
    // A lead byte at the very end stands alone; what follows it is not eaten.
    EXPECT_EQ(mbcs::ReverseFind(std::string("a\\\x83"), '\\'), 1u);
}

TEST(Mbcs, ReplaceAllNeverStartsOnSecondByte) {
    // "\x5C" + "SYS" must not match inside "表SYS": the 5C there is a second byte.
    std::string s = kHyo + "SYS\\SYS";
    EXPECT_EQ(mbcs::ReplaceAll(s, "\\SYS", "!"), 1);
    EXPECT_EQ(s, kHyo + "SYS!");

    std::string twice = "<A><A>";
    EXPECT_EQ(mbcs::ReplaceAll(twice, "<A>", "x<A>"), 2);
    EXPECT_EQ(twice, "x<A>x<A>");  // replacements are not searched again

    std::string none = "abc";
    EXPECT_EQ(mbcs::ReplaceAll(none, "", "x"), 0);
    EXPECT_EQ(none, "abc");

    std::string removed = "<T>\\BIN";
    mbcs::ReplaceAll(removed, "<T>", "");
    EXPECT_EQ(removed, "\\BIN");

    // A match for a double-byte pattern whose bytes straddle two characters.
    std::string straddle = "\x82\x81\x82\x81";  // ａａ; "\x81\x82" straddles them
    EXPECT_EQ(mbcs::ReplaceAll(straddle, "\x81\x82", "?"), 0);
}

TEST(Mbcs, UpperCaseKeepsDoubleByteCharactersWhole) {
    // Second bytes in the range of ASCII lower-case letters must stay as they are.
    std::string s = "c:\\" + kZenA + "\x83\x61" + "zomi7.exe";  // ３ｂ-like pair 83 61
    std::string expected = "C:\\" + kZenA + "\x83\x61" + "ZOMI7.EXE";
    mbcs::MakeUpper(s);
    EXPECT_EQ(s, expected);
    std::string full = kFullA;
    mbcs::MakeUpper(full);
    EXPECT_EQ(full, kFullA);
}

TEST(Mbcs, FindSubstrAlignsToCharacters) {
    std::string s = "\x83\x5A" "ZOMI7.EXE";  // 83 5A is one character
    EXPECT_EQ(mbcs::FindSubstr(s, "ZOMI7.EXE"), 2u);
    EXPECT_EQ(mbcs::FindSubstr(s, "Z"), 2u);  // not the 5A inside the pair
    EXPECT_EQ(mbcs::FindSubstr("abc", ""), mbcs::npos);
}
