#pragma once
// The world of an end-to-end run: a medium (SETUP.EXE, SETUP.INI, a package)
// and an installed product registered under App Paths. Tests that use it
// carry the product_env resource lock.

#include <windows.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "../win/app_paths.h"
#include "../win/fixture_paths.h"
#include "../win/test_util.h"
#include "engine/package_memory.h"
#include "wizard_run.h"

namespace e2e {

using testutil::ReadFileBytes;
using testutil::Sjis;

inline std::string BinDir() { return testfix::FixturePath(""); }
inline std::string Sample(const std::string& rel) { return BinDir() + "..\\samples\\" + rel; }

inline std::string WorkFolder() {
    char t[MAX_PATH];
    GetTempPathA(MAX_PATH, t);
    return std::string(t) + "KVUPDATE";
}

inline const std::string kProduct = Sjis("ゾミ表");  // 表 ends in byte 0x5C

class World {
public:
    testutil::ScratchDir medium{Sjis("upd_e2e_medium_ソ")};
    testutil::ScratchDir product{Sjis("upd_e2e_product_表")};
    testutil::AppPathsEntry appPaths;

    explicit World(const std::string& installed = "installed\\Zomi7.EXE") {
        EXPECT_TRUE(CopyFileA((BinDir() + "SETUP.EXE").c_str(), (medium / "SETUP.EXE").c_str(), FALSE));
        EXPECT_TRUE(CopyFileA(Sample(installed).c_str(), (product / "Zomi7.EXE").c_str(), FALSE));
        EXPECT_TRUE(CopyFileA(Sample("installed\\kvp2lib.dll").c_str(), (product / "kvp2lib.dll").c_str(), FALSE));
        testutil::WriteFileBytes(product / "readme.txt", "old readme");
        EXPECT_TRUE(appPaths.Set(product / "Zomi7.EXE"));
        testutil::WriteFileBytes(medium / "SETUP.INI",
                                 "[PRODUCT]\r\nPRODUCT_NAME=" + kProduct +
                                     "\r\nPRODUCT_VERSION=7.5.2.0\r\nPACKAGE=UPDATE.PKG\r\n"
                                     "[COMPONENTS]\r\nAPP=APP,<TARGETDIR>,1\r\nHELP=HELP,<TARGETDIR>\\HELP,2\r\n");
        testutil::RemoveTree(WorkFolder());
    }
    ~World() { testutil::RemoveTree(WorkFolder()); }

    uint32_t Key() {
        std::string lib = ReadFileBytes(product / "kvp2lib.dll");
        return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(lib.data()), static_cast<uInt>(lib.size())));
    }
    void PutPackage(bool damage = false) {
        pkg::MemoryOutput out;
        pkg::PackageWriter w(out, Key());
        auto add = [&](const std::string& name, const std::string& data) {
            w.AddData(name, reinterpret_cast<const unsigned char*>(data.data()), data.size());
        };
        add("APP\\readme.txt", "new readme");
        add("APP\\bin\\tool.dat", std::string(70000, 't'));
        add(Sjis("HELP\\使い方.txt"), "help");
        auto bytes = out.bytes();
        if (damage) bytes[bytes.size() / 2] ^= 0x5A;
        testutil::WriteFileBytes(medium / "UPDATE.PKG", std::string(bytes.begin(), bytes.end()));
    }
    bool Installed() {
        return ReadFileBytes(product / "readme.txt") == "new readme" &&
               ReadFileBytes(product / "bin\\tool.dat") == std::string(70000, 't') &&
               ReadFileBytes(product / Sjis("HELP\\使い方.txt")) == "help";
    }
    driver::RunReport Run(std::vector<int> answers = {}) {
        driver::RunOptions o;
        o.setupExe = medium / "SETUP.EXE";
        o.boxAnswers = std::move(answers);
        o.timeoutMs = 60000;
        return driver::RunWizard(o);
    }
};

}  // namespace e2e
