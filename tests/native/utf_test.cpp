// UTF-8 inside, UTF-16 at Windows' edge: every name Windows can hold comes
// back as itself, and bytes that are no UTF-8 are never taken for a name.
#include <gtest/gtest.h>

#include "platform/utf.h"

TEST(Utf, EveryWindowsNameRoundTrips) {
    const std::u16string names[] = {
        u"", u"C:\\Users\\Jos\u00e9\\update", u"\ud55c\uad6d", u"\U00020BB7",  // 𠮷: a surrogate pair
        u"\u30be\u30df\uff17",                                                 // ゾミ７
        std::u16string(1, char16_t(0xD800)) + u"x",                             // lone high surrogate
        u"x" + std::u16string(1, char16_t(0xDC00)),                             // lone low surrogate
        std::u16string(1, char16_t(0xDC00)) + std::u16string(1, char16_t(0xD800)),  // reversed pair
    };
    for (const std::u16string& n : names) {
        const std::string utf8 = utf::FromUtf16(n);
        EXPECT_TRUE(utf::IsValid(utf8));
        bool valid = false;
        EXPECT_EQ(utf::ToUtf16(utf8, &valid), n);
        EXPECT_TRUE(valid);
    }
    EXPECT_EQ(utf::FromUtf16(u"\U00020BB7"), "\xF0\xA0\xAE\xB7");
    EXPECT_EQ(utf::FromUtf16(u"Jos\u00e9"), "Jos\xC3\xA9");
}

TEST(Utf, MalformedBytesAreNoName) {
    struct {
        const char* bytes;
        std::u16string wide;
    } cases[] = {
        {"\x83\x5C", u"\uFFFD\\"},            // code page 932 ソ is not UTF-8
        {"a\xC0\xAF", u"a\uFFFD\uFFFD"},      // overlong '/'
        {"\xE3\x81", u"\uFFFD\uFFFD"},        // cut short
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {"\x80z", u"\uFFFDz"},                // stray continuation byte
    };
    for (const auto& c : cases) {
        bool valid = true;
        EXPECT_EQ(utf::ToUtf16(c.bytes, &valid), c.wide) << c.bytes;
        EXPECT_FALSE(valid) << c.bytes;
        EXPECT_FALSE(utf::IsValid(c.bytes)) << c.bytes;
    }
}
