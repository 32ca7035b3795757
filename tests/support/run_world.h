#pragma once
// The world of whole worker runs: an installed product with a real version
// resource, registered under App Paths, a package for it and two
// components; and a worker thread run to its end.

#include <gtest/gtest.h>
#include <windows.h>

#include "engine/CopyThread.h"
#include "tests/support/app_paths.h"
#include "tests/support/fixture_paths.h"
#include "tests/support/worker_world.h"

namespace testsupport {

// The world with an installed product (a real version resource) registered
// under App Paths, a package for it, and two components.
class RunWorld : public WorkerWorld {
public:
    AppPathsEntry appPaths;

    explicit RunWorld(const char* installedVersion = "fixture_ver_7_5_1_65535.exe") {
        EXPECT_TRUE(CopyTo(FixturePath(installedVersion), product / "Zomi7.EXE"));
        EXPECT_TRUE(appPaths.Set(product / "Zomi7.EXE"));
        app.SetTargetDir("");
        AddComponent("APP", "<TARGETDIR>");
        AddComponent("HELP", "<TARGETDIR>\\HELP");
    }
    void PutStandardPackage() {
        PutPackage(Package(Key(), {{"APP\\new.txt", "new"},
                                   {"APP\\lib\\deep\\x.dat", std::string(100000, 'x')},
                                   {Sjis("HELP\\使い方.txt"), "help"}}));
    }
    void ExpectInstalled() {
        EXPECT_EQ(ReadFileBytes(product / "new.txt"), "new");
        EXPECT_EQ(ReadFileBytes(product / "lib\\deep\\x.dat"), std::string(100000, 'x'));
        EXPECT_EQ(ReadFileBytes(product / "HELP\\使い方.txt"), "help");
    }
};

struct Finished {
    DWORD code;
    LONG stage, pos, max;
};

// Runs one worker thread to its end and reads what it left.
inline Finished RunWorker() {
    CCopyThread* t = platform::BeginThread<CCopyThread>();
    EXPECT_NE(t, nullptr);
    if (!t) return {};
    EXPECT_EQ(WaitForSingleObject(t->ThreadHandle(), 60000), WAIT_OBJECT_0);
    Finished f{};
    GetExitCodeThread(t->ThreadHandle(), &f.code);
    f.stage = t->GetProgress()->nStage;
    f.pos = t->GetProgress()->nPos;
    f.max = t->GetProgress()->nMax;
    delete t;
    return f;
}

// The small file system the test runner mounts (see tests/win/CMakeLists),
// reached as drive S: as Windows mounts a volume (Wine would show the Unix
// mount point itself as a link, which the update refuses). Empty when the
// machine could not mount one.
inline std::string SmallVolume() {
    const char* mounted = std::getenv("UPD_SMALL_VOLUME");
    return mounted && Exists(std::string(mounted) + "\\.mounted") ? mounted : "";
}

}  // namespace testsupport
