// Code page 932, where the programs meet it: its character rule and the
// explicit conversions. "ソ" is 83 5C and "表" is 95 5C in code page 932:
// their second byte is a backslash.
#include <gtest/gtest.h>

#include "platform/mbcs.h"
#include "util/text.h"

namespace {
const std::string kSo = "\x83\x5C";   // ソ
const std::string kHyo = "\x95\x5C";  // 表
const std::string kZenA = "\x82\x81";   // ａ
}  // namespace

TEST(Mbcs, LeadBytesOfCodePage932) {
    struct { unsigned char c; bool lead; } cases[] = {
        {0x00, false}, {0x5C, false}, {0x7F, false}, {0x80, false}, {0x81, true},
        {0x9F, true},  {0xA0, false}, {0xA5, false}, {0xDF, false}, {0xE0, true},
        {0xFC, true},  {0xFD, false}, {0xFF, false},
    };
    for (auto& c : cases) EXPECT_EQ(mbcs::IsCp932LeadByte(c.c), c.lead) << int(c.c);
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

TEST(Mbcs, Cp932ConvertsExactlyOrNotAtAll) {
    std::string utf8, cp932;
    // Both ways, with the 0x5C second bytes kept where they belong.
    ASSERT_TRUE(mbcs::Cp932ToUtf8(kSo + "\\" + kHyo, utf8));
    EXPECT_EQ(utf8, "\xE3\x82\xBD\\\xE8\xA1\xA8");  // ソ\表
    ASSERT_TRUE(mbcs::Utf8ToCp932(utf8, cp932));
    EXPECT_EQ(cp932, kSo + "\\" + kHyo);
    // No best fit: "é" and "한" have no code page 932 form, and are not made
    // "e" or '?'; bytes that are no code page 932 text are refused.
    for (const char* utf8Only : {"Jos\xC3\xA9", "\xED\x95\x9C", "\xF0\xA0\xAE\xB7"})
        EXPECT_FALSE(mbcs::Utf8ToCp932(utf8Only, cp932)) << utf8Only;
    for (const std::string& bad : {std::string("\x83"), std::string("\x81\x20")})
        EXPECT_FALSE(mbcs::Cp932ToUtf8("a" + bad, utf8));
}

TEST(Text, ReplaceAllAndUpperAscii) {
    std::string twice = "<A><A>";
    EXPECT_EQ(ReplaceAll(twice, "<A>", "x<A>"), 2);
    EXPECT_EQ(twice, "x<A>x<A>");  // replacements are not searched again
    std::string none = "abc";
    EXPECT_EQ(ReplaceAll(none, "", "x"), 0);
    EXPECT_EQ(none, "abc");
    std::string removed = "<T>\\BIN";
    ReplaceAll(removed, "<T>", "");
    EXPECT_EQ(removed, "\\BIN");
    // Only ASCII letters change: "ı" (dotless i) must not become 'I'.
    EXPECT_EQ(UpperAscii("c:\\zom\xC4\xB1" "7.exe"), "C:\\ZOM\xC4\xB1" "7.EXE");
}
