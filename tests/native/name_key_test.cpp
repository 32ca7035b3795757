// Names as Windows compares them: one key for one file, over every script
// a path may hold now that paths are UTF-8.
#include <gtest/gtest.h>

#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/utf.h"
#include "util/name_key.h"

TEST(NameKey, FoldsAsWindowsComparesNames) {
    struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"C:\\Zomi7\\zomi7.exe", "c:/ZOMI7/ZOMI7.EXE", true},
        {"Jos\xC3\xA9", "JOS\xC3\x89", true},                 // é, É
        {"\xCE\xB1\xCE\xB2", "\xCE\x91\xCE\x92", true},         // αβ, ΑΒ
        {"\xD0\xB4\xD0\xB0", "\xD0\x94\xD0\x90", true},         // да, ДА
        {"\xEF\xBD\x81", "\xEF\xBC\xA1", true},                 // ａ, Ａ
        {"\xE2\x85\xB0", "\xE2\x85\xA0", true},                 // ⅰ, Ⅰ
        {"\xC5\xBF", "S", false},                               // ſ is no S to Windows
        {"\xC4\xB1", "I", false},                               // nor ı an I
        {"\xF0\xA0\xAE\xB7", "\xF0\xA0\xAE\xB7", true},         // 𠮷 stays itself
        {"\xED\x95\x9C", "\xED\x95\x9C\xED\x95\x9C", false},
    };
    for (const auto& c : cases) EXPECT_EQ(names::Same(c.a, c.b), c.same) << c.a << " / " << c.b;
    EXPECT_TRUE(names::IsAtOrBelow("C:\\\xE8\xA1\xA8\\a", "c:\\\xE8\xA1\xA8\\"));
    EXPECT_TRUE(names::IsAtOrBelow("C:\\X", "c:\\x"));
    EXPECT_FALSE(names::IsAtOrBelow("C:\\\xE8\xA1\xA8x", "C:\\\xE8\xA1\xA8"));
    EXPECT_FALSE(names::IsAtOrBelow("C:\\a", ""));
    // The folders on a key's way; a letter whose capital is longer in UTF-8
    // (U+0250 to U+2C6F) moves no cut.
    const std::string key = names::Key("a\\\xC9\x90/c.txt");
    EXPECT_EQ(names::FolderKeysOf(key), (std::vector<std::string>{"A", "A\\\xE2\xB1\xAF"}));
    EXPECT_TRUE(names::FolderKeysOf("X").empty());
}

#ifdef _WIN32
// The key against the system's own capitals, letter by letter over the
// Basic Multilingual Plane.
TEST(NameKey, AgreesWithTheSystemsCapitals) {
    int differences = 0;
    for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        wchar_t w = static_cast<wchar_t>(c);
        ::CharUpperBuffW(&w, 1);
        const std::string key = names::Key(utf::FromUtf16(std::u16string(1, static_cast<char16_t>(c))));
        const std::string system = utf::FromUtf16(std::u16string(1, static_cast<char16_t>(w)));
        if (key != system) {
            ADD_FAILURE() << std::hex << "U+" << static_cast<unsigned>(c);
            if (++differences > 20) break;
        }
    }
}
#endif
