// DLLs named without a path come from the system folder alone once the
// search is restricted, and the program's own path is read whole. A program
// of its own: the restriction holds for the whole process.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/dll_search.h"
#include "platform/system_library.h"
#include "tests/support/fixture_paths.h"
#include "tests/support/test_util.h"
#include "util/version.h"

TEST(ModulePath, GrowsUntilThePathFits) {
    char full[4096] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, full, sizeof full);
    ASSERT_GT(n, 8u);
    // Start far too small: every doubling must be taken, none may cut.
    for (DWORD initial : {DWORD{1}, DWORD{4}, n - 1, n, n + 1}) {
        SCOPED_TRACE(initial);
        EXPECT_EQ(platform::GetModulePath(nullptr, initial), std::string(full, n));
    }
}

TEST(DllSearch, PlantedDllBesideTheProgramIsLoadedOnlyBeforeTheRestriction) {
    // A DLL beside this program, named like no system DLL.
    const std::string probe = testsupport::FixturePath("upd_probe.dll");
    ASSERT_TRUE(testsupport::CopyTo(testsupport::FixturePath("planted\\version.dll"), probe));
    HMODULE before = ::LoadLibraryA("upd_probe.dll");
    ASSERT_NE(before, nullptr);  // the search takes the program's folder now
    ::FreeLibrary(before);

    platform::RestrictDllSearch();
    HMODULE after = ::LoadLibraryA("upd_probe.dll");
    EXPECT_EQ(after, nullptr);
    if (after) ::FreeLibrary(after);
    // A system DLL is still found by name, and version.dll's functions
    // still work, from the system folder.
    HMODULE system = ::LoadLibraryA("shlwapi.dll");
    EXPECT_NE(system, nullptr);
    if (system) ::FreeLibrary(system);
    platform::SystemLibrary version("version.dll");
    EXPECT_TRUE(version.IsLoaded());
    EXPECT_NE(version.Find<FARPROC>("GetFileVersionInfoSizeA"), nullptr);
    platform::SystemLibrary missing("upd_probe.dll");  // never taken from beside the program
    EXPECT_FALSE(missing.IsLoaded());
    VS_FIXEDFILEINFO info;
    EXPECT_TRUE(ReadFileVersion(testsupport::FixturePath("fixture_ver_7_5_2_0.exe"), &info));
    EXPECT_EQ(info.dwFileVersionMS, 0x00070005u);
    ::DeleteFileW(platform::Wide(probe).c_str());
}
