// Staging from a package: each file is taken through the one handle that
// checks it, moved from the work folder where it shares the destination's
// volume (so it takes no room there) and copied elsewhere, and a file that
// is no longer the one extraction placed stops the update.
#include <gtest/gtest.h>
#include <aclapi.h>

#include <cstdlib>
#include <functional>

#include "engine/install/transaction.h"
#include "tests/support/run_world.h"
#include "tests/support/scripted_prompt.h"
#include "util/file_facts.h"

using testsupport::Exists;
using testsupport::Finished;
using testsupport::FormatErrorText;
using testsupport::ReadFileBytes;
using testsupport::RunningUnderWine;
using testsupport::RunWorker;
using testsupport::RunWorld;
using testsupport::ScriptedPrompt;
using testsupport::Sjis;
using testsupport::WorkerWorld;

namespace {

// What the step hook does after the first file is staged (a plain function
// pointer cannot carry it).
std::function<void()> g_afterFirstStaged;
void AfterFirstStaged(const char* point, unsigned index) {
    if (std::string(point) == "staged" && index == 0 && g_afterFirstStaged) g_afterFirstStaged();
}

struct StepHookScope {
    explicit StepHookScope(std::function<void()> action) {
        g_afterFirstStaged = std::move(action);
        install::SetStepHook(AfterFirstStaged);
    }
    ~StepHookScope() {
        install::SetStepHook(nullptr);
        g_afterFirstStaged = nullptr;
    }
};

FILETIME WriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(platform::Wide(path).c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

void SetWriteTime(const std::string& path, const FILETIME& time) {
    HANDLE h = CreateFileW(platform::Wide(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &time));
    CloseHandle(h);
}

std::string PlacedHelp() { return WorkerWorld::WorkFolder() + "\\FILES\\" + "HELP\\使い方.txt"; }

}  // namespace

TEST(Staging, ASourceChangedAfterTheListIsRefusedAndTheProductStaysAsItWas) {
    // The help file is staged last; after the first file is staged, it is
    // swapped for another of the same size and time, or given a second
    // name. The listing's check cannot see either; staging must.
    struct Case {
        const char* name;
        std::function<void()> attack;
    } cases[] = {
        {"replaced by another file of the same size and time",
         [] {
             const std::string help = PlacedHelp(), other = WorkerWorld::TempDir() + "upd_other_help.txt";
             ASSERT_TRUE(testsupport::WriteFileBytes(other, "HELP"));
             SetWriteTime(other, WriteTime(help));
             ASSERT_TRUE(MoveFileExW(platform::Wide(other).c_str(), platform::Wide(help).c_str(), MOVEFILE_REPLACE_EXISTING));
         }},
        {"given a second name",
         [] { ASSERT_TRUE(CreateHardLinkW(platform::Wide(WorkerWorld::TempDir() + "upd_second_name.txt").c_str(),
                                          platform::Wide(PlacedHelp()).c_str(), nullptr)); }},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunWorld w;
        w.PutStandardPackage();
        const std::string exeBefore = ReadFileBytes(w.product / "Zomi7.EXE");
        ScriptedPrompt prompt;
        Finished f;
        {
            StepHookScope hook(c.attack);
            f = RunWorker();
        }
        DeleteFileW(platform::Wide(WorkerWorld::TempDir() + "upd_second_name.txt").c_str());
        EXPECT_EQ(f.code, 0xFFFFFFFFu);
        EXPECT_EQ(f.stage, 4);
        ASSERT_EQ(prompt.Boxes().size(), 1u);
        EXPECT_EQ(prompt.Boxes()[0].text, FormatErrorText());
        EXPECT_EQ(prompt.Boxes()[0].style, 0x30u);
        // Rolled back: nothing new in the product, no staged file, no journal.
        EXPECT_FALSE(Exists(w.product / "new.txt"));
        EXPECT_FALSE(Exists(w.product / "lib"));
        EXPECT_FALSE(Exists(w.product / "HELP"));
        EXPECT_FALSE(Exists(install::JournalPath(w.product.path())));
        EXPECT_EQ(ReadFileBytes(w.product / "Zomi7.EXE"), exeBefore);
        EXPECT_FALSE(Exists(WorkerWorld::WorkFolder()));
    }
}

namespace {

// Volumes by where a folder lies: the work folder on T:\ or on the
// destination's Q:\, neither with room to spare.
bool g_workOnOwnVolume = false;
bool TwoVolumes(const std::string& folder, install::VolumeSpace& space) {
    const std::string work = WorkerWorld::WorkFolder();
    const bool inWork = _strnicmp(folder.c_str(), work.c_str(), work.size()) == 0;
    space.root = inWork && g_workOnOwnVolume ? "T:\\" : "Q:\\";
    space.freeBytes = 0;
    space.clusterBytes = 4096;
    return true;
}

}  // namespace

TEST(Staging, OnlyFilesCopiedToAnotherVolumeNeedRoomThere) {
    for (bool own : {false, true}) {
        SCOPED_TRACE(own ? "work folder on a volume of its own" : "work folder on the destination's volume");
        RunWorld w;
        w.PutStandardPackage();
        g_workOnOwnVolume = own;
        auto previous = install::SetVolumeSpaceQuery(TwoVolumes);
        ScriptedPrompt prompt;
        Finished f = RunWorker();
        install::SetVolumeSpaceQuery(previous);
        if (!own) {
            // Moved, not copied: no room is taken, and a full volume is no obstacle.
            EXPECT_EQ(f.code, 0u);
            EXPECT_TRUE(prompt.Seen().empty());
            w.ExpectInstalled();
            continue;
        }
        EXPECT_EQ(f.code, 0xFFFFFFFFu);
        ASSERT_EQ(prompt.Boxes().size(), 1u);
        // new.txt, x.dat and the help file in whole 4 KiB clusters: 1 MiB more.
        EXPECT_EQ(prompt.Boxes()[0].text,
                  "ディスクの空き容量が不足しています。\nQ:\\ に、あと 1 MB の空き領域が必要です。");
        EXPECT_FALSE(Exists(w.product / "new.txt"));
    }
}

TEST(Staging, ADestinationOnAnotherVolumeGetsCopies) {
    // The small file system the test runner mounts (see CMakeLists), where
    // the machine allows it: a rename cannot reach it from the work folder.
    const std::string mounted = testsupport::SmallVolume();
    if (mounted.empty()) GTEST_SKIP() << "no small volume mounted";
    const std::string help = mounted + "\\help";
    testsupport::RemoveTree(help);
    RunWorld w;
    w.PutStandardPackage();
    w.app.m_info.m_components.pop_back();
    w.AddComponent("HELP", help);
    ScriptedPrompt prompt;
    Finished f = RunWorker();
    EXPECT_EQ(f.code, 0u);
    EXPECT_TRUE(prompt.Seen().empty());
    EXPECT_EQ(ReadFileBytes(help + "\\使い方.txt"), "help");
    EXPECT_EQ(ReadFileBytes(w.product / "new.txt"), "new");
    EXPECT_FALSE(Exists(WorkerWorld::WorkFolder()));
    testsupport::RemoveTree(help);
}

TEST(Staging, MovedFilesAreTheUnpackedOnesWithTheAccessOfTheirNewFolder) {
    // The file the product gets is the one extraction wrote (moved, not
    // copied). The work folder's list admits only this process's principals;
    // the moved file must not keep that list, or the product's users could
    // not read it.
    RunWorld w;
    w.PutStandardPackage();
    ULONGLONG placedIndex = 0;
    ScriptedPrompt prompt;
    {
        StepHookScope hook([&] {
            HANDLE h = CreateFileW(platform::Wide(PlacedHelp()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                   nullptr);
            FileFacts facts;
            if (h != INVALID_HANDLE_VALUE && ReadFileFacts(h, facts)) placedIndex = facts.index;
            CloseHandle(h);
        });
        ASSERT_EQ(RunWorker().code, 0u);
    }
    ASSERT_NE(placedIndex, 0u);
    const std::string file = w.product / "HELP\\使い方.txt";
    HANDLE h = CreateFileW(platform::Wide(file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FileFacts installed;
    ASSERT_TRUE(h != INVALID_HANDLE_VALUE && ReadFileFacts(h, installed));
    CloseHandle(h);
    EXPECT_EQ(installed.index, placedIndex);

    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(platform::Wide(file).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                    nullptr, &dacl, nullptr, &sd),
              static_cast<DWORD>(ERROR_SUCCESS));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(sd, &control, &revision));
    EXPECT_FALSE(control & SE_DACL_PROTECTED);
    // Every entry is handed down from the folder, none is the file's own.
    // Wine keeps no descriptor of its own here and makes one up from the
    // Unix permissions: only Windows can show it.
    if (dacl && !RunningUnderWine()) {
        for (DWORD i = 0; i < dacl->AceCount; ++i) {
            ACE_HEADER* ace = nullptr;
            ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
            EXPECT_TRUE(ace->AceFlags & INHERITED_ACE) << "entry " << i;
        }
    }
    LocalFree(sd);
}

TEST(Staging, NoDestinationFolderCanBeSwappedWhileTheUpdateRuns) {
    // Between the file list and the commit an ordinary user renames a
    // destination folder (the one the update made, or the install folder
    // above it) to put a link in its place: the update holds them, so the
    // rename fails and the files still go where they were planned.
    RunWorld w;
    w.PutStandardPackage();
    ScriptedPrompt prompt;
    std::vector<std::pair<std::string, DWORD>> renames;
    {
        StepHookScope hook([&] {
            for (const std::string& folder : {w.product / "lib", w.product.path()}) {
                const BOOL moved = MoveFileExW(platform::Wide(folder).c_str(), platform::Wide(folder + "_away").c_str(), 0);
                renames.emplace_back(folder, moved ? 0 : GetLastError());
                if (moved) MoveFileExW(platform::Wide(folder + "_away").c_str(), platform::Wide(folder).c_str(), 0);
            }
        });
        EXPECT_EQ(RunWorker().code, 0u);
    }
    ASSERT_EQ(renames.size(), 2u);
    for (const auto& [folder, error] : renames) EXPECT_NE(error, 0u) << folder << " was renamed";
    EXPECT_TRUE(prompt.Seen().empty());
    w.ExpectInstalled();
}
