// updpkg's own version-resource reader against GetFileVersionInfoA: the
// fixture programs (versioned and not), the shipped programs, a library, and
// files that are no executable or are cut short.
#include <gtest/gtest.h>

#include <cwchar>
#include <optional>
#include <vector>

#include "platform/wide.h"
#include "tests/support/fixture_paths.h"
#include "tests/support/test_util.h"
#include "tools/updpkg/pe_version.h"
#include "util/version.h"

namespace {

void ExpectSameAsSystem(const std::string& path) {
    SCOPED_TRACE(path);
    VS_FIXEDFILEINFO info;
    const bool sys = ReadFileVersion(path, &info) != FALSE;
    const auto mine = updpkg::ReadPeFileVersionOf(path);
    ASSERT_EQ(mine.has_value(), sys);
    if (sys) {
        EXPECT_EQ(mine->ms, info.dwFileVersionMS);
        EXPECT_EQ(mine->ls, info.dwFileVersionLS);
    }
}

// The system's text of the string table of the first translation, UTF-8.
std::optional<std::string> SystemVersionString(const std::string& path, const char* name) {
    const std::wstring file = platform::Wide(path);
    std::vector<char> data(::GetFileVersionInfoSizeW(file.c_str(), nullptr));
    if (data.empty() || !::GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(data.size()), data.data())) return {};
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) || length < 4) return {};
    wchar_t query[96];
    std::swprintf(query, 96, L"\\StringFileInfo\\%04x%04x\\%ls", static_cast<WORD*>(value)[0],
                  static_cast<WORD*>(value)[1], platform::Wide(name).c_str());
    if (!::VerQueryValueW(data.data(), query, &value, &length)) return {};
    const wchar_t* text = static_cast<const wchar_t*>(value);
    return platform::Narrow(std::wstring(text, ::wcsnlen(text, length)));
}

void ExpectSameStringsAsSystem(const std::string& path) {
    SCOPED_TRACE(path);
    const std::string bytes = testsupport::ReadFileBytes(path);
    for (const char* name : {"ProductName", "InternalName", "OriginalFilename", "FileDescription", "CompanyName"}) {
        EXPECT_EQ(updpkg::ReadPeVersionString(bytes, name), SystemVersionString(path, name)) << name;
    }
}

}  // namespace

TEST(PeVersionDifferential, ProgramsOfTheBuild) {
    const char* const files[] = {
        "fixture_app.exe",        "fixture_ver_7_5_1_65535.exe", "fixture_ver_7_5_2_0.exe",
        "fixture_ver_7_5_2_1.exe", "fixture_ver_7_6_0_0.exe",     "fixture_ver_8_0_0_0.exe",
        "fixture_ver_7_4_99_0.exe", "fixture_ver_6_0_0_0.exe",    "SETUP.EXE",
        "updpkg.exe",             "..\\samples\\installed\\Zomi7.EXE", "..\\samples\\update\\Zomi7.EXE",
        "..\\samples\\installed\\kvp2lib.dll",
    };
    int versioned = 0;
    for (const char* f : files) {
        const std::string path = testsupport::FixturePath(f);
        ASSERT_TRUE(testsupport::Exists(path)) << path;
        ExpectSameAsSystem(path);
        ExpectSameStringsAsSystem(path);
        versioned += updpkg::ReadPeFileVersionOf(path).has_value();
    }
    EXPECT_GE(versioned, 10);  // the fixtures with versions, SETUP.EXE and the samples' programs
    const auto v = updpkg::ReadPeFileVersionOf(testsupport::FixturePath("fixture_ver_7_5_1_65535.exe"));
    ASSERT_TRUE(v);
    EXPECT_EQ(v->Text(), "7.5.1.65535");
    const std::string setup = testsupport::ReadFileBytes(testsupport::FixturePath("SETUP.EXE"));
    EXPECT_EQ(updpkg::ReadPeVersionString(setup, "InternalName"), "SETUP");  // what updpkg tells SETUP.EXE by
}

TEST(PeVersionDifferential, FilesThatAreNoVersionedProgram) {
    testsupport::ScratchDir dir("upd_pe_version");
    const std::string good = testsupport::ReadFileBytes(testsupport::FixturePath("fixture_ver_7_5_2_0.exe"));
    ASSERT_GT(good.size(), 1024u);
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"text", "[PRODUCT]\r\nPRODUCT_NAME=x\r\n"},
        {"dos header only", good.substr(0, 64)},
        {"headers only", good.substr(0, 1024)},
        {"first half", good.substr(0, good.size() / 2)},
        {"all but the last bytes", good.substr(0, good.size() - 16)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        const std::string path = dir / (std::string(name) + ".exe");
        ASSERT_TRUE(testsupport::WriteFileBytes(path, bytes));
        ExpectSameAsSystem(path);
        ExpectSameStringsAsSystem(path);
    }
}
