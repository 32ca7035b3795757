// Stage 4 as a transaction, on real folders and processes: a cancelled,
// failed or killed installation leaves the product as it was, and the next
// run completes it.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <cstdlib>
#include <map>
#include <stdexcept>

#include "engine/install_journal.h"
#include "engine/install/journal_file.h"
#include "engine/install/transaction.h"
#include "engine/install/undo.h"
#include "tests/support/reader_inputs.h"
#include "tests/support/run_world.h"
#include "tests/support/scripted_prompt.h"
#include "util/fs.h"

using testsupport::Exists;
using testsupport::Finished;
using testsupport::ReadFileBytes;
using testsupport::RunWorker;
using testsupport::ScriptedPrompt;
using testsupport::Sjis;
using testsupport::WorkerWorld;

namespace {

constexpr DWORD kKilledExitCode = 0xDEAD;

// Every file below folder, by path relative to it, with its bytes and
// attributes: the product's whole state.
struct FileState {
    std::string bytes;
    DWORD attributes;
    bool operator==(const FileState&) const = default;
};
using TreeState = std::map<std::string, FileState>;

void Snapshot(const std::string& folder, const std::string& prefix, TreeState& out) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[prefix + name + "\\"] = FileState{"<folder>", 0};
            Snapshot(path, prefix + name + "\\", out);
        } else {
            out[prefix + name] = FileState{ReadFileBytes(path), fd.dwFileAttributes & ~FILE_ATTRIBUTE_ARCHIVE};
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}
TreeState Snapshot(const std::string& folder) {
    TreeState out;
    Snapshot(folder, "", out);
    return out;
}

// Names the transaction itself makes: staged copies, backups, the journal.
std::vector<std::string> Leftovers(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& entry : Snapshot(folder)) {
        const std::string& name = entry.first;
        if (name.find(".~kv") != std::string::npos || name.find("KVUPDATE.JNL") != std::string::npos)
            out.push_back(name);
    }
    return out;
}

// An installed Zomi7 7.5.1 with a few files, and an update medium without
// package: FILES beside the program, two components, the new Zomi7.EXE in
// the first, so that it is staged before every file of the second.
class ProductWorld : public WorkerWorld {
public:
    testsupport::AppPathsEntry appPaths;

    ProductWorld() {
        EXPECT_TRUE(testsupport::CopyTo(testsupport::FixturePath("fixture_ver_7_5_1_65535.exe"), (product / "Zomi7.EXE")));
        EXPECT_TRUE(appPaths.Set(product / "Zomi7.EXE"));
        app.SetTargetDir("");
        testsupport::MakeDir(product / "HELP");
        testsupport::WriteFileBytes(product / "readme.txt", "old readme");
        testsupport::WriteFileBytes(product / "HELP\\a.txt", "old help a");
        for (const char* d : {"FILES", "FILES\\APP", "FILES\\HELP", "FILES\\HELP\\new"})
            testsupport::MakeDir(program / d);
        EXPECT_TRUE(testsupport::CopyTo(testsupport::FixturePath("fixture_ver_7_5_2_0.exe"), (program / "FILES\\APP\\Zomi7.EXE")));
        testsupport::WriteFileBytes(program / "FILES\\APP\\readme.txt", "new readme");
        testsupport::WriteFileBytes(program / "FILES\\HELP\\a.txt", "new help a");
        testsupport::WriteFileBytes(program / "FILES\\HELP\\new\\b.txt", "new help b");
        AddComponent("APP", "<TARGETDIR>");
        AddComponent("HELP", "<TARGETDIR>\\HELP");
    }
    void ExpectUpdated(const std::string& help = "HELP") {
        EXPECT_TRUE(ReadFileBytes(product / "Zomi7.EXE") ==
                    ReadFileBytes(testsupport::FixturePath("fixture_ver_7_5_2_0.exe")))
            << "Zomi7.EXE is not the new one";
        EXPECT_EQ(ReadFileBytes(product / "readme.txt"), "new readme");
        EXPECT_EQ(ReadFileBytes(product / (help + "\\a.txt")), "new help a");
        EXPECT_EQ(ReadFileBytes(product / (help + "\\new\\b.txt")), "new help b");
        EXPECT_EQ(Leftovers(product.path()), std::vector<std::string>{});
    }
};

std::string SystemText(DWORD code) {
    wchar_t sys[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0x0400, sys, 512,
                   nullptr);
    return platform::Narrow(sys);
}

void PlantJournal(const std::string& product, const std::string& text) {  // where the next run looks
    install::JournalFolderHold folder;
    std::string why;
    ASSERT_EQ(folder.Hold(true, why), install::JournalFolderHold::State::Held) << why;
    testsupport::WriteFileBytes(install::JournalPath(product), text);
}

// The step at which the crash child ends itself, from its environment.
std::string g_killPoint;
unsigned g_killIndex = 0;
void KillAtStep(const char* point, unsigned index) {
    if (g_killPoint == point && g_killIndex == index) TerminateProcess(GetCurrentProcess(), kKilledExitCode);
}

}  // namespace

TEST(Transaction, CancelWhileStagingLeavesTheProductAsItWas) {
    ProductWorld w;
    // A late source held open: its staging fails after Zomi7.EXE was staged.
    const TreeState before = Snapshot(w.product.path());
    HANDLE lock = CreateFileW(platform::Wide(w.program / "FILES\\HELP\\new\\b.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    {
        ScriptedPrompt prompt;  // Retry/Cancel is answered Cancel
        Finished f = RunWorker();
        EXPECT_EQ(f.code, 0xFFFFFFFFu);
        EXPECT_EQ(f.stage, 4);
        ASSERT_EQ(prompt.Boxes().size(), 1u);
        EXPECT_EQ(prompt.Boxes()[0].style, 0x35u);
        EXPECT_EQ(prompt.Boxes()[0].text, SystemText(ERROR_SHARING_VIOLATION));
    }
    CloseHandle(lock);
    EXPECT_EQ(Snapshot(w.product.path()), before);  // byte for byte, no staged file, no journal

    // Without the lock the next run updates the product completely.
    ScriptedPrompt prompt;
    Finished f = RunWorker();
    EXPECT_EQ(f.code, 0u);
    EXPECT_TRUE(prompt.Seen().empty());
    w.ExpectUpdated();
}

TEST(Transaction, DestinationHeldOpenAtCommit) {
    for (bool retry : {true, false}) {
        SCOPED_TRACE(retry ? "Retry after release" : "Cancel");
        ProductWorld w;
        // Read-only and hidden files are replaced too, and put back as they were.
        SetFileAttributesW(platform::Wide(w.product / "readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        SetFileAttributesW(platform::Wide(w.product / "HELP\\a.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
        const TreeState before = Snapshot(w.product.path());
        HANDLE lock = CreateFileW(platform::Wide(w.product / "HELP\\a.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  0, nullptr);
        ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        ScriptedPrompt prompt;
        if (retry) {
            prompt.AnswerBoxes({IDRETRY, IDRETRY});
            int boxes = 0;
            prompt.OnBox([&](const ScriptedPrompt::Shown&) {
                if (++boxes == 2) CloseHandle(lock);  // released before the second Retry
            });
        }
        Finished f = RunWorker();
        if (!retry) CloseHandle(lock);
        ASSERT_EQ(prompt.Boxes().size(), retry ? 2u : 1u);
        EXPECT_EQ(prompt.Boxes()[0].style, 0x35u);
        EXPECT_EQ(prompt.Boxes()[0].text, SystemText(ERROR_SHARING_VIOLATION));
        if (retry) {
            EXPECT_EQ(f.code, 0u);
            w.ExpectUpdated();
            for (const char* n : {"readme.txt", "HELP\\a.txt"})
                EXPECT_EQ(GetFileAttributesW(platform::Wide(w.product / n).c_str()) & FILE_ATTRIBUTE_READONLY, 0u) << n;
        } else {
            EXPECT_EQ(f.code, 0xFFFFFFFFu);
            EXPECT_EQ(Snapshot(w.product.path()), before);
        }
    }
}

TEST(Transaction, ReadOnlySourcesInstallWritableFiles) {
    // Files from a CD are read-only; what lands in the product must not be.
    ProductWorld w;
    for (const char* n : {"FILES\\APP\\readme.txt", "FILES\\HELP\\new\\b.txt"})
        SetFileAttributesW(platform::Wide(w.program / n).c_str(), FILE_ATTRIBUTE_READONLY);
    ScriptedPrompt prompt;
    EXPECT_EQ(RunWorker().code, 0u);
    w.ExpectUpdated();
    for (const char* n : {"readme.txt", "HELP\\new\\b.txt"})
        EXPECT_EQ(GetFileAttributesW(platform::Wide(w.product / n).c_str()) & FILE_ATTRIBUTE_READONLY, 0u) << n;
    for (const char* n : {"FILES\\APP\\readme.txt", "FILES\\HELP\\new\\b.txt"})
        SetFileAttributesW(platform::Wide(w.program / n).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Transaction, FoldersMadeByTheUpdateGoOnRollBackOthersStay) {
    ProductWorld w;
    w.AddComponent("HELP", "<TARGETDIR>\\NEW\\DEEPER");  // two levels that do not exist
    testsupport::MakeDir(w.product / "EMPTY");
    const TreeState before = Snapshot(w.product.path());
    HANDLE lock = CreateFileW(platform::Wide(w.product / "readme.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ScriptedPrompt prompt;
    EXPECT_EQ(RunWorker().code, 0xFFFFFFFFu);
    CloseHandle(lock);
    EXPECT_EQ(Snapshot(w.product.path()), before);  // HELP, HELP\new's absence, EMPTY kept
    EXPECT_FALSE(Exists(w.product / "NEW"));
    EXPECT_FALSE(Exists(w.product / "HELP\\new"));
    EXPECT_TRUE(Exists(w.product / "EMPTY"));
}

namespace {
ULONGLONG g_freeBytes = 0;
bool SmallVolume(const std::string&, install::VolumeSpace& space) {
    space.root = "Q:\\";
    space.freeBytes = g_freeBytes;
    space.clusterBytes = 4096;
    return true;
}
}  // namespace

TEST(Transaction, NotEnoughRoomShowsTheBoxAndChangesNothing) {
    ProductWorld w;
    testsupport::WriteFileBytes(w.program / "FILES\\HELP\\big.bin", std::string(3u << 20, 'b'));
    // What the staged copies take: every source in whole 4 KiB clusters.
    ULONGLONG need = 0;
    for (const auto& entry : Snapshot(w.program / "FILES"))
        if (entry.second.bytes != "<folder>") need += (entry.second.bytes.size() + 4095) / 4096 * 4096;
    const TreeState before = Snapshot(w.product.path());
    struct {
        ULONGLONG free;
        const char* missing;  // MiB, rounded up; nullptr: enough room
    } cases[] = {
        {need - 1, "1"},                 // a byte short still needs a whole MiB more
        {need - (1u << 20), "1"},
        {need - (1u << 20) - 1, "2"},
        {0, nullptr},                    // filled in below: the whole need
        {need, nullptr},                 // exactly enough
    };
    const std::string all = std::to_string((need + (1u << 20) - 1) >> 20);
    cases[3].missing = all.c_str();
    for (auto& c : cases) {
        SCOPED_TRACE(c.free);
        g_freeBytes = c.free;
        auto previous = install::SetVolumeSpaceQuery(SmallVolume);
        ScriptedPrompt prompt;
        Finished f = RunWorker();
        install::SetVolumeSpaceQuery(previous);
        if (!c.missing) {
            EXPECT_EQ(f.code, 0u);
            EXPECT_TRUE(prompt.Seen().empty());
            continue;
        }
        EXPECT_EQ(f.code, 0xFFFFFFFFu);
        EXPECT_EQ(f.pos, 0);
        ASSERT_EQ(prompt.Boxes().size(), 1u);
        EXPECT_EQ(prompt.Boxes()[0].style, 0x30u);
        EXPECT_EQ(prompt.Boxes()[0].text, std::string("ディスクの空き容量が不足しています。\nQ:\\ に、あと ") +
                                              c.missing + " MB の空き領域が必要です。");
        EXPECT_EQ(Snapshot(w.product.path()), before);
    }
}

TEST(Transaction, ComponentsSharingASourceEachGetEveryFile) {
    // APP's unpacked files copied for <TARGETDIR>, moved for COPY: the copies need room.
    const ULONGLONG copies = 4096 + 102400;
    for (ULONGLONG free : {copies - 1, copies}) {
        testsupport::RunWorld w;
        w.PutStandardPackage();
        w.AddComponent("APP", "<TARGETDIR>\\COPY");
        g_freeBytes = free;
        auto previous = install::SetVolumeSpaceQuery(SmallVolume);
        ScriptedPrompt prompt;
        const DWORD code = RunWorker().code;
        install::SetVolumeSpaceQuery(previous);
        EXPECT_EQ(code, free < copies ? 0xFFFFFFFFu : 0u) << free;
        EXPECT_EQ(prompt.Seen().empty() ? "" : prompt.Seen()[0].text,
                  free < copies ? "ディスクの空き容量が不足しています。\nQ:\\ に、あと 1 MB の空き領域が必要です。" : "");
        if (free < copies) continue;
        w.ExpectInstalled();
        EXPECT_EQ(ReadFileBytes(w.product / "COPY\\new.txt"), "new");
        EXPECT_EQ(ReadFileBytes(w.product / "COPY\\lib\\deep\\x.dat"), std::string(100000, 'x'));
    }
}

TEST(Transaction, RealSmallVolumeIsSeenBeforeAnythingIsWritten) {
    // A small file system mounted by the test runner (see CMakeLists), when
    // the machine allows mounting; the product's HELP folder lives there.
    const std::string mounted = testsupport::SmallVolume();
    if (mounted.empty()) GTEST_SKIP() << "no small volume mounted";
    ProductWorld w;
    const std::string help = mounted + "\\help";
    testsupport::RemoveTree(help);
    ASSERT_TRUE(testsupport::MakeDir(help));
    w.app.m_info.m_components.pop_back();
    w.AddComponent("HELP", help);
    testsupport::WriteFileBytes(w.program / "FILES\\HELP\\big.bin", std::string(3u << 20, 'b'));  // > 1 MiB volume
    const TreeState before = Snapshot(w.product.path()), helpBefore = Snapshot(help);
    ScriptedPrompt prompt;
    Finished f = RunWorker();
    EXPECT_EQ(f.code, 0xFFFFFFFFu);
    ASSERT_EQ(prompt.Boxes().size(), 1u);
    const std::string head = "ディスクの空き容量が不足しています。\n" + VolumeRootOf(help + "\\") + " に、あと ";
    EXPECT_EQ(prompt.Boxes()[0].text.substr(0, head.size()), head);
    EXPECT_EQ(prompt.Boxes()[0].style, 0x30u);
    EXPECT_EQ(Snapshot(w.product.path()), before);
    EXPECT_EQ(Snapshot(help), helpBefore);
    testsupport::RemoveTree(help);
}

// The crash child: runs the update in the world its parent laid out and
// ends itself at the step named in its environment, as a power loss would.
TEST(CrashChild, RunUntilKilled) {
    const char* point = std::getenv("UPD_KILL_POINT");
    if (!point) GTEST_SKIP() << "run by KilledRunsAreUndoneByTheNextRun only";
    g_killPoint = point;
    g_killIndex = static_cast<unsigned>(std::atoi(std::getenv("UPD_KILL_INDEX")));
    CSetupApp app;
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    app.m_strAppDir = std::string(tmp) + "upd_w_program\\";
    app.m_info.m_strProductName = "Zomi7";
    app.m_info.m_strProductVersion = "7.5.2.0";
    for (auto [source, dest] : {std::pair<const char*, const char*>{"APP", "<TARGETDIR>"}, {"HELP", std::getenv("UPD_KILL_HELP")}}) {
        auto c = std::make_unique<SETUPCOMPONENT>();
        c->pszSource = source;
        c->pszDest = dest;
        app.m_info.m_components.push_back(std::move(c));
    }
    SetAppForTest(&app);
    platform::SetPauseDivisor(1000);
    install::SetStepHook(KillAtStep);
    ScriptedPrompt prompt;
    RunWorker();
    ADD_FAILURE() << "the update ran past " << point << " " << g_killIndex;
}

TEST(Transaction, KilledRunsAreUndoneByTheNextRun) {
    struct {
        const char* point;
        const char* index;
        bool backupsLeft;  // the kill came after an old file was moved aside
        std::string helpDest, help;  // as SETUP.INI spells it; where it lands
    } cases[] = {
        {"staged", "1", false, "<TARGETDIR>\\HELP", "HELP"},    // while staging
        {"committed", "1", true, "<TARGETDIR>\\HELP", "HELP"},  // in the middle of the commit
        {"committed", "1", true, "<TARGETDIR>\\\\HELP", "HELP"},  // not full paths, or over 260 bytes
        {"committed", "1", true, "<TARGETDIR>\\NEW\\..\\HELP", "HELP"},
        {"committed", "1", true, "", ""},
    };
    for (int i = 0; i < 120; ++i) cases[4].help += "ソ";
    cases[4].helpDest = "<TARGETDIR>\\" + cases[4].help;
    for (auto& c : cases) {
        SCOPED_TRACE(std::string(c.point) + " " + c.index + " " + c.helpDest);
        ProductWorld w;
        w.app.m_info.m_components.back()->pszDest = c.helpDest;
        const TreeState before = Snapshot(w.product.path());

        SetEnvironmentVariableA("UPD_KILL_POINT", c.point);
        SetEnvironmentVariableA("UPD_KILL_INDEX", c.index);
        SetEnvironmentVariableA("UPD_KILL_HELP", c.helpDest.c_str());
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string cmd = std::string("\"") + self + "\" --gtest_filter=CrashChild.RunUntilKilled";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessA(self, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        SetEnvironmentVariableA("UPD_KILL_POINT", nullptr);
        SetEnvironmentVariableA("UPD_KILL_INDEX", nullptr);
        SetEnvironmentVariableA("UPD_KILL_HELP", nullptr);
        ASSERT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        ASSERT_EQ(code, kKilledExitCode);

        // What the killed run left: its journal and its half-made work.
        const auto left = Leftovers(w.product.path());
        EXPECT_TRUE(Exists(install::JournalPath(w.product.path())));
        bool backup = false;
        for (const auto& name : left) backup |= name.find(".~kvb") != std::string::npos;
        EXPECT_EQ(backup, c.backupsLeft);
        EXPECT_NE(Snapshot(w.product.path()), before);

        // The next run puts the product back, says so, then updates it.
        ScriptedPrompt prompt;
        Finished f = RunWorker();
        EXPECT_EQ(f.code, 0u);
        ASSERT_GE(prompt.Boxes().size(), 1u);
        EXPECT_EQ(prompt.Boxes()[0].text, "前回のアップデートが中断されていたため、元の状態に戻しました。");
        EXPECT_EQ(prompt.Boxes()[0].style, 0x40u);
        EXPECT_EQ(prompt.Boxes().size(), 1u);
        w.ExpectUpdated(c.help);
    }
}

TEST(Transaction, AJournalThatCannotBeTrustedIsRefused) {
    struct {
        const char* name;
        std::string text;  // %P = the product folder
    } cases[] = {
        {"cut short", "KVJOURNAL\t2\r\nD\t%P\\x\r\n"},
        {"outside the update's folders",
         "KVJOURNAL\t2\r\nC\tC:\\windows\\win.ini.~kvs0\tC:\\windows\\win.ini\t\t00000020\r\nEND\t1\r\n"},
        {"a backup from elsewhere",
         "KVJOURNAL\t2\r\nC\t%P\\readme.txt.~kvs0\t%P\\readme.txt\tC:\\users\\x.~kvb0\t00000020\r\nEND\t1\r\n"},
        // One string per tab was 3 GiB: std::bad_alloc, and no box at all.
        {"a record of tabs to the size limit", testsupport::JournalOfTabs(journal::kMaxBytes)},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProductWorld w;
        std::string text = c.text;
        for (size_t at; (at = text.find("%P")) != std::string::npos;) text.replace(at, 2, w.product.path());
        PlantJournal(w.product.path(), text);
        const TreeState before = Snapshot(w.product.path());
        ScriptedPrompt prompt;
        Finished f = RunWorker();
        EXPECT_EQ(f.code, 0xFFFFFFFFu);
        EXPECT_EQ(f.stage, 1);
        ASSERT_EQ(prompt.Boxes().size(), 1u);
        const std::string head = "前回中断されたアップデートの記録を読み取れないため、元の状態に戻せません。\n" +
                                 install::JournalPath(w.product.path()) + "\n";
        EXPECT_EQ(prompt.Boxes()[0].text.substr(0, head.size()), head);
        EXPECT_GT(prompt.Boxes()[0].text.size(), head.size());  // with its reason
        EXPECT_EQ(prompt.Boxes()[0].style, 0x10u);
        EXPECT_EQ(Snapshot(w.product.path()), before);  // nothing acted on, journal kept
    }
}

TEST(Transaction, RecoveryPutsNothingBackThroughALink) {
    // A journal of this program whose file now lies behind a folder link
    // (worklink -> victim, made on the host): undone by name, the file at
    // the link's end would go. The link is named; the journal stays.
    const char* links = std::getenv("UPD_LINK_FIXTURE");
    ASSERT_NE(links, nullptr) << "run through ctest, which lays the links out";
    const std::string dir = links, kept = dir + "\\worklink\\keep.txt";
    PlantJournal(dir, "KVJOURNAL\t2\r\nC\t" + kept + ".~kvs0\t" + kept + "\t\t00000020\r\nEND\t1\r\n");
    ScriptedPrompt prompt;
    EXPECT_EQ(install::RecoverInterrupted(dir, {dir}), install::Recovery::Failed);
    ASSERT_EQ(prompt.Boxes().size(), 1u);
    EXPECT_EQ(prompt.Boxes()[0].text, "アップデート先にリンクがあるため、アップデートできません。\n" + dir + "\\worklink");
    EXPECT_EQ(ReadFileBytes(dir + "\\victim\\keep.txt"), "keep\n");
    EXPECT_TRUE(Exists(install::JournalPath(dir)));
    testsupport::RemoveTree(install::JournalFolder());
}

TEST(Transaction, AJournalFolderNotAsTheProgramMadeItIsNeitherReadNorUsed) {
    ProductWorld w;  // the folder made first by someone else, with an ACL that lets everybody write
    PSECURITY_DESCRIPTOR open = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;WD)", SDDL_REVISION_1, &open, nullptr));
    SECURITY_ATTRIBUTES sa{sizeof sa, open, FALSE};
    ASSERT_TRUE(CreateDirectoryW(platform::Wide(install::JournalFolder()).c_str(), &sa));
    const std::string journal = install::JournalPath(w.product.path()), readme = w.product / "readme.txt";
    testsupport::WriteFileBytes(journal, "KVJOURNAL\t2\r\nC\t" + readme + ".~kvs0\t" + readme + "\t\t00000020\r\nEND\t1\r\n");
    const TreeState before = Snapshot(w.product.path());
    for (const std::string& box : {"前回中断されたアップデートの記録を読み取れないため、元の状態に戻せません。\n" + journal + "\n",
                                   std::string("アップデートの記録を保存するフォルダーが、このプログラムの作成したものと異なるため、アップデートできません。\n")}) {
        ScriptedPrompt prompt;
        EXPECT_EQ(RunWorker().code, 0xFFFFFFFFu);
        ASSERT_EQ(prompt.Boxes().size(), 1u);
        EXPECT_EQ(prompt.Boxes()[0].text.substr(0, box.size()), box);
        EXPECT_NE(prompt.Boxes()[0].text.find(install::JournalFolder() + ": "), std::string::npos);  // and what is wrong
        EXPECT_EQ(prompt.Boxes()[0].style, 0x10u);
        EXPECT_EQ(Snapshot(w.product.path()), before);
        EXPECT_EQ(DeleteFileW(platform::Wide(journal).c_str()) != FALSE, box.starts_with("前回"));  // neither removed nor written
    }
}

TEST(Transaction, OneJournalPerInstallFolderWhateverItsSpelling) {
    const std::string one = install::JournalPath("C:\\Program Files\\Zomi7");
    for (const char* same : {"c:\\PROGRAM FILES\\zomi7", "C:/Program Files/Zomi7/", "C:\\Program Files\\x\\..\\Zomi7"})
        EXPECT_EQ(install::JournalPath(same), one) << same;
    for (const char* other : {"C:\\Program Files\\Zomi8", "D:\\Program Files\\Zomi7", "C:\\Program Files"})
        EXPECT_NE(install::JournalPath(other), one) << other;
}

TEST(Transaction, ACommittedJournalOnlyLosesItsBackups) {
    // Killed after the commit, while the backups were being deleted: the
    // update is complete, so nothing is put back and nothing is said.
    ProductWorld w;
    const std::string readme = w.product / "readme.txt";
    testsupport::WriteFileBytes(readme + ".~kvb0", "old readme");
    testsupport::WriteFileBytes(readme, "new readme");
    const std::string text = "KVJOURNAL\t2\r\nS\t" + readme + ".~kvs0\t" + readme + "\r\nC\t" + readme +
                             ".~kvs0\t" + readme + "\t" + readme + ".~kvb0\t00000020\r\nK\r\nEND\t3\r\n";
    PlantJournal(w.product.path(), text);
    ScriptedPrompt prompt;
    EXPECT_EQ(RunWorker().code, 0u);
    EXPECT_TRUE(prompt.Seen().empty());
    w.ExpectUpdated();
}

namespace {
void ThrowAtSecondCommit(const char* point, unsigned index) {
    if (std::string(point) == "committed" && index == 1) throw std::runtime_error("injected");
}
}  // namespace

TEST(Transaction, AnExceptionPutsEverythingBackAndIsPassedOn) {
    ProductWorld w;
    const TreeState before = Snapshot(w.product.path());
    CCopyThread t;
    ScriptedPrompt prompt;
    ASSERT_EQ(t.CheckProduct(), worker::Check::Proceed);
    std::string work;
    ASSERT_EQ(t.ExtractPackage(work), TRUE);
    ASSERT_EQ(t.BuildFileList(work), TRUE);
    install::SetStepHook(ThrowAtSecondCommit);
    bool thrown = false;
    try {
        t.InstallFiles();
    } catch (const std::runtime_error&) {
        thrown = true;
    }
    install::SetStepHook(nullptr);
    EXPECT_TRUE(thrown);
    EXPECT_TRUE(prompt.Seen().empty());
    EXPECT_EQ(t.GetProgress()->nRollback.load(), 1);
    EXPECT_EQ(Snapshot(w.product.path()), before);
}
