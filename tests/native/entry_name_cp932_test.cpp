// The entry-name rule's code page 932 tables against the system's own
// converter: iconv on Linux, MultiByteToWideChar under Wine. Every character
// the rule lets through must convert, and two characters get one key exactly
// when the system sees one file name in them (same character, or one the
// capital of the other).
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/pkg/entry_name.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <wctype.h>

#include <clocale>
#endif

namespace {

// The character as one UTF-32 code, or nullopt when the system refuses it.
std::optional<uint32_t> ToUnicode(const std::string& text) {
#ifdef _WIN32
    wchar_t wide[4];
    const int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide, 4);
    if (n != 1) return std::nullopt;
    return static_cast<uint32_t>(wide[0]);
#else
    static iconv_t cd = iconv_open("UTF-32LE", "CP932");
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    unsigned char out[16];
    char* o = reinterpret_cast<char*>(out);
    std::size_t outLeft = sizeof out;
    if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1) || sizeof out - outLeft != 4) {
        return std::nullopt;
    }
    return uint32_t(out[0]) | uint32_t(out[1]) << 8 | uint32_t(out[2]) << 16 | uint32_t(out[3]) << 24;
#endif
}

uint32_t Upper(uint32_t c) {
#ifdef _WIN32
    wchar_t w[2] = {static_cast<wchar_t>(c), 0};
    CharUpperW(w);
    return static_cast<uint32_t>(w[0]);
#else
    return static_cast<uint32_t>(towupper(static_cast<wint_t>(c)));
#endif
}

struct Character {
    std::string bytes;
    uint32_t unicode;
};

// Every character the rule accepts, single bytes and pairs.
std::vector<Character> Accepted() {
    std::vector<Character> all;
    for (int c = 0x20; c < 0x100; ++c) {
        const std::string one(1, static_cast<char>(c));
        if (c == '\\' || c == '/' || (c >= 0x81 && c <= 0x9F) || c >= 0xE0) continue;
        if (pkg::EntryNameFault("A" + one + "A")) continue;
        const auto u = ToUnicode(one);
        EXPECT_TRUE(u.has_value()) << "accepted byte " << std::hex << c << " does not convert";
        if (u) all.push_back({one, *u});
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x00; trail <= 0xFF; ++trail) {
            if (!pkg::IsCp932Pair(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail))) continue;
            const std::string two{static_cast<char>(lead), static_cast<char>(trail)};
            const auto u = ToUnicode(two);
            EXPECT_TRUE(u.has_value()) << "accepted pair " << std::hex << lead << " " << trail << " does not convert";
            if (u) all.push_back({two, *u});
        }
    }
    return all;
}

}  // namespace

TEST(EntryNameCp932, EveryAcceptedCharacterConvertsAndKeysFollowTheSystem) {
#ifndef _WIN32
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
#endif
    const std::vector<Character> all = Accepted();
    EXPECT_GT(all.size(), 7000u);  // JIS X 0208 alone has 6879 characters

    // One key per file name the system sees: the capital form of the character.
    std::map<uint32_t, std::string> keyOf;
    for (const Character& c : all) {
        const std::string key = pkg::EntryNameKey(c.bytes);
        const auto [it, added] = keyOf.emplace(Upper(c.unicode), key);
        if (!added) {
            EXPECT_EQ(it->second, key) << "two codes of one name, different keys: " << std::hex << c.unicode;
        }
    }
    // And no two different names share a key.
    std::map<std::string, uint32_t> nameOf;
    for (const auto& [name, key] : keyOf) {
        const auto [it, added] = nameOf.emplace(key, name);
        EXPECT_TRUE(added) << std::hex << "U+" << it->second << " and U+" << name << " share a key";
    }
}
