#pragma once
// The world of an end-to-end run: a medium (SETUP.EXE, SETUP.INI, a package)
// and an installed product registered under App Paths, laid out by
// UpdateWorld with names that test code page 932 paths. Tests that use it
// carry the product_env resource lock.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/app_paths.h"
#include "tests/support/fixture_paths.h"
#include "tests/support/test_util.h"
#include "tests/support/update_world.h"
#include "tools/wizdrive/wizard_run.h"

namespace testsupport {

// Runs updpkg.exe with the arguments (each quoted) and returns its exit
// status; its standard output lands in *out.
inline DWORD RunUpdpkg(const std::vector<std::string>& args, std::string* out, const std::string& scratch) {
    std::string cmd = "\"" + BinDir() + "updpkg.exe\"";
    for (const std::string& a : args) cmd += " \"" + a + "\"";
    const std::string outPath = scratch + "\\updpkg.out";
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE h = CreateFileW(platform::Wide(outPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = h;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    DWORD code = 255;
    std::wstring wide = platform::Wide(cmd);
    if (CreateProcessW(nullptr, wide.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        WaitForSingleObject(pi.hProcess, 60000);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    } else {
        ADD_FAILURE() << "cannot start " << cmd;
    }
    CloseHandle(h);
    if (out) *out = ReadFileBytes(outPath);
    return code;
}

inline const std::string kProduct = "ゾミ表";  // 表 is 95 5C in SETUP.INI's code page 932

class E2eWorld : public UpdateWorld {
public:
    ScratchDir& medium = program;
    AppPathsEntry appPaths;

    explicit E2eWorld(const std::string& installed = "installed\\Zomi7.EXE",
                      const std::string& mediumFolder = "upd_e2e_medium_ソ",
                      const std::string& productFolder = "upd_e2e_product_表")
        : UpdateWorld(mediumFolder, productFolder) {
        EXPECT_TRUE(CopyTo(BinDir() + "SETUP.EXE", medium / "SETUP.EXE"));
        EXPECT_TRUE(CopyTo(Sample(installed), product / "Zomi7.EXE"));
        EXPECT_TRUE(CopyTo(Sample("installed\\kvp2lib.dll"), product / "kvp2lib.dll"));
        WriteFileBytes(product / "readme.txt", "old readme");
        EXPECT_TRUE(appPaths.Set(product / "Zomi7.EXE"));
        WriteFileBytes(medium / "SETUP.INI",
                       Sjis("[PRODUCT]\r\nPRODUCT_NAME=" + kProduct +
                            "\r\nPRODUCT_VERSION=7.5.2.0\r\nPACKAGE=UPDATE.PKG\r\n"
                            "[COMPONENTS]\r\nAPP=APP,<TARGETDIR>,1\r\nHELP=HELP,<TARGETDIR>\\HELP,2\r\n"));
    }

    void PutPackage(bool damage = false) {
        auto bytes = Package(Key(), {{"APP\\readme.txt", "new readme"},
                                     {"APP\\bin\\tool.dat", std::string(70000, 't')},
                                     {Sjis("APP\\BIN\\表示.dll"), "dll"},
                                     {Sjis("HELP\\使い方.txt"), "help"}});
        if (damage) bytes[bytes.size() / 2] ^= 0x5A;
        WritePackage(bytes, "UPDATE.PKG");
    }
    bool Installed() {
        return ReadFileBytes(product / "readme.txt") == "new readme" &&
               ReadFileBytes(product / "bin\\tool.dat") == std::string(70000, 't') &&
               ReadFileBytes(product / "BIN\\表示.dll") == "dll" &&
               ReadFileBytes(product / "HELP\\使い方.txt") == "help";
    }
    driver::RunReport Run(std::vector<int> answers = {}) {
        driver::RunOptions o;
        o.setupExe = medium / "SETUP.EXE";
        o.boxAnswers = std::move(answers);
        o.timeoutMs = 60000;
        return driver::RunWizard(o);
    }
};

}  // namespace testsupport
