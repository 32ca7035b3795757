// Registry values and version blocks against the real services.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/regkey.h"
#include "platform/wide.h"
#include "tests/support/fixture_paths.h"
#include "util/registry.h"
#include "util/version.h"

namespace {

const char kKey[] = "Software\\hB-tests\\ReadRegistryString";
const wchar_t kWideKey[] = L"Software\\hB-tests\\ReadRegistryString";

class RegistryValues : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kWideKey);
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kWideKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    m_key.out(), nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        m_key.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kWideKey);
    }
    void Set(const char* name, DWORD type, const std::wstring& data) {
        const std::wstring wideName = name ? platform::Wide(name) : std::wstring();
        ASSERT_EQ(::RegSetValueExW(m_key.get(), name ? wideName.c_str() : nullptr, 0, type,
                                   reinterpret_cast<const BYTE*>(data.data()),
                                   static_cast<DWORD>(data.size() * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    platform::RegKey m_key;
};

}  // namespace

TEST_F(RegistryValues, ValuesAsTextOrTheDefault) {
    Set(nullptr, REG_SZ, std::wstring(L"C:\\Apps\\\u30be\u30df\uff17\\Zomi7.EXE") + L'\0');
    Set("named", REG_EXPAND_SZ, std::wstring(L"%TEMP%\\x") + L'\0');
    Set("binary", REG_BINARY, std::wstring(L"ab\0cd", 5));
    Set("unterminated", REG_BINARY, std::wstring(1024, L'u'));   // fills the buffer, no NUL
    Set("toolong", REG_SZ, std::wstring(1100, L'L') + L'\0');     // over 1024 characters
    Set("empty", REG_SZ, std::wstring(1, L'\0'));

    struct { const char* name; const char* def; std::string want; } cases[] = {
        {nullptr, "dflt", "C:\\Apps\\ゾミ７\\Zomi7.EXE"},
        {"", "dflt", "C:\\Apps\\ゾミ７\\Zomi7.EXE"},  // "" names the default value too
        {"named", nullptr, "%TEMP%\\x"},               // not expanded: read as stored
        {"binary", nullptr, "ab"},                    // the type plays no part
        {"unterminated", nullptr, std::string(1024, 'u')},
        {"toolong", "dflt", "dflt"},
        {"toolong", nullptr, ""},
        {"empty", "dflt", ""},
        {"absent", "dflt", "dflt"},
        {"absent", nullptr, ""},
    };
    for (auto& c : cases) {
        EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, c.name, c.def), c.want)
            << (c.name ? c.name : "(default)");
    }
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, std::string(kKey) + "\\absent", nullptr, "dflt"),
              "dflt");
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, std::string(kKey) + "\\absent", nullptr, nullptr),
              "");
}

TEST(ReadFileVersion, FixedBlockOfEveryFixture) {
    struct { const char* fixture; DWORD ms, ls; } cases[] = {
        {"fixture_ver_7_5_1_65535.exe", 0x00070005, 0x0001FFFF},
        {"fixture_ver_7_5_2_0.exe", 0x00070005, 0x00020000},
        {"fixture_ver_7_5_2_1.exe", 0x00070005, 0x00020001},
        {"fixture_ver_7_6_0_0.exe", 0x00070006, 0x00000000},
        {"fixture_ver_8_0_0_0.exe", 0x00080000, 0x00000000},
        {"fixture_ver_7_4_99_0.exe", 0x00070004, 0x00630000},
        {"fixture_ver_6_0_0_0.exe", 0x00060000, 0x00000000},
    };
    for (auto& c : cases) {
        VS_FIXEDFILEINFO info;
        std::memset(&info, 0xFF, sizeof info);
        ASSERT_TRUE(ReadFileVersion(testsupport::FixturePath(c.fixture), &info)) << c.fixture;
        EXPECT_EQ(info.dwSignature, 0xFEEF04BDu) << c.fixture;
        EXPECT_EQ(info.dwFileVersionMS, c.ms) << c.fixture;
        EXPECT_EQ(info.dwFileVersionLS, c.ls) << c.fixture;
    }
}

TEST(ReadFileVersion, NoVersionBlockLeavesItCleared) {
    const std::vector<unsigned char> zero(sizeof(VS_FIXEDFILEINFO), 0);
    for (const std::string& path : {testsupport::FixturePath("fixture_app.exe"),
                                    testsupport::FixturePath("absent.exe"),
                                    std::string(MAX_PATH, 'a')}) {
        VS_FIXEDFILEINFO info;
        std::memset(&info, 0xFF, sizeof info);
        EXPECT_FALSE(ReadFileVersion(path, &info)) << path.substr(0, 40);
        EXPECT_EQ(std::memcmp(&info, zero.data(), zero.size()), 0) << path.substr(0, 40);
    }
}
