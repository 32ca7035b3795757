// The worker's extraction, file list and installation stages on real folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "engine/CopyThread.h"
#include "tests/support/scripted_prompt.h"
#include "tests/support/worker_world.h"

using testsupport::Exists;
using testsupport::FilesNotFoundText;
using testsupport::FormatErrorText;
using testsupport::ReadFileBytes;
using testsupport::ScriptedPrompt;
using testsupport::Sjis;
using testsupport::WorkerWorld;

TEST(ExtractPackage, PlacesEveryEntryBelowFiles) {
    WorkerWorld w;
    std::string big(200000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 3);
    w.PutPackage(WorkerWorld::Package(w.Key(), {
        {"APP\\a.txt", "alpha"},
        {"APP\\sub\\deep\\b.bin", big},
        {Sjis("HELP\\表ソ.txt"), "help"},
        {"APP\\a.txt", "alpha again"},  // a later entry replaces the earlier file
        {"APP\\empty.dat", ""},
        {"APP\\Case.txt", "first spelling, longer bytes"},
        {"APP\\CASE.TXT", "second"},  // one name on Windows: the earlier spelling stays
    }));
    // A stale work folder from an earlier run is removed first.
    testsupport::MakeDir(WorkerWorld::WorkFolder());
    testsupport::WriteFileBytes(WorkerWorld::WorkFolder() + "\\stale.txt", "old");

    ScriptedPrompt prompt;
    CCopyThread t;
    std::string work;
    ASSERT_EQ(t.ExtractPackage(work), TRUE);
    EXPECT_TRUE(prompt.Seen().empty());
    EXPECT_EQ(work, WorkerWorld::WorkFolder());
    const std::string files = work + "\\FILES\\";
    EXPECT_EQ(ReadFileBytes(files + "APP\\a.txt"), "alpha again");
    EXPECT_EQ(ReadFileBytes(files + "APP\\sub\\deep\\b.bin"), big);
    EXPECT_EQ(ReadFileBytes(files + "HELP\\表ソ.txt"), "help");
    EXPECT_EQ(ReadFileBytes(files + "APP\\empty.dat"), "");
    EXPECT_EQ(ReadFileBytes(files + "APP\\case.txt"), "second");
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((files + "APP\\case.txt").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    EXPECT_STREQ(found.cFileName, "Case.txt");
    EXPECT_FALSE(Exists(work + "\\stale.txt"));
    // Counters in units of 65536 bytes of the package.
    const auto size = ReadFileBytes(w.program / "UPDATE.PKG").size();
    EXPECT_EQ(t.GetProgress()->nMax.load(), static_cast<LONG>(size >> 16));
    EXPECT_EQ(t.GetProgress()->nPos.load(), static_cast<LONG>(size >> 16));
}

TEST(ExtractPackage, EveryFailureShowsItsBoxAndLeavesNoScratchFile) {
    struct Case {
        const char* name;
        std::function<std::vector<unsigned char>(uint32_t key)> package;  // empty: no file
        std::string text;
        UINT style;
    };
    auto good = [](uint32_t key) { return WorkerWorld::Package(key, {{"APP\\a.txt", "alpha"}}); };
    Case cases[] = {
        {"bad magic", [&](uint32_t k) { auto b = good(k); b[0] = 'X'; return b; }, FormatErrorText(), 0x30},
        {"version 2", [&](uint32_t k) { auto b = good(k); b[7] = 2; return b; }, FormatErrorText(), 0x30},
        {"checksum", [&](uint32_t k) { auto b = good(k); b.back() ^= 1; return b; }, FormatErrorText(), 0x30},
        {"other key", [&](uint32_t k) { return good(k ^ 0x01010101u); }, FormatErrorText(), 0x30},
        {"cut short", [&](uint32_t k) { auto b = good(k); b.resize(b.size() - 3); return b; }, FormatErrorText(), 0x30},
        {"missing package", nullptr,
         "更新するファイルを用意するとき、予期しないエラーが発生しました。(2)", 0x10},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        WorkerWorld w;
        if (c.package) {
            w.PutPackage(c.package(w.Key()));
        } else {
            w.app.m_info.m_strPackage = "NOSUCH.PKG";
        }
        ScriptedPrompt prompt;
        CCopyThread t;
        std::string work;
        EXPECT_EQ(t.ExtractPackage(work), FALSE);
        EXPECT_EQ(work, WorkerWorld::WorkFolder());  // set, so the clean-up removes it
        auto boxes = prompt.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].style, c.style);
        EXPECT_EQ(boxes[0].caption, "アップデートウィザード");
        EXPECT_FALSE(Exists(work + "\\FILES\\APP\\a.txt"));
    }
}

TEST(ExtractPackage, UnsafeNamesAreRefusedBeforeAnythingIsWritten) {
    // The writer refuses these names, so a sound entry's name is patched into
    // one of the same length. Key 0 leaves the bytes unmasked; the name
    // starts at offset 16 (header 8, two length words 8). The checksum no
    // longer fits, but the reader must refuse the name before it gets there.
    const std::string sound = "AA\\escape.txt";
    const std::string patched[] = {
        "..\\escape.txt",                 // climbs out of FILES
        "AA\\escape.tx.",                 // Windows would drop the dot
        "AA\\escape.tx ",                 // and the blank
        "AA\\CONIN$.txt",                 // a console device
        "AA\\escape.t|t",                 // reserved characters
        "AA\\escape.t?t",
        std::string("AA\\escape.t\x01t"),  // a control byte
        "AA\\escape.\x85\x40t",           // no code page 932 character
    };
    for (const std::string& name : patched) {
        SCOPED_TRACE(name);
        ASSERT_EQ(name.size(), sound.size());
        WorkerWorld w;
        auto bytes = WorkerWorld::Package(0, {{sound, "x"}});
        std::copy(name.begin(), name.end(), bytes.begin() + 16);
        w.PutPackage(bytes);
        w.library.clear();
        testsupport::WriteFileBytes(w.product / "kvp2lib.dll", "");  // key 0
        ScriptedPrompt prompt;
        CCopyThread t;
        std::string work;
        EXPECT_EQ(t.ExtractPackage(work), FALSE);
        ASSERT_EQ(prompt.Boxes().size(), 1u);
        EXPECT_EQ(prompt.Boxes()[0].text, FormatErrorText());
        EXPECT_FALSE(Exists(work + "\\escape.txt"));
        EXPECT_FALSE(Exists(work + "\\FILES\\AA"));  // not even the folder
    }
}

TEST(ExtractPackage, WithoutPackageTheProgramFolderIsTheWorkFolder) {
    WorkerWorld w;
    ScriptedPrompt prompt;
    CCopyThread t;
    std::string work;
    EXPECT_EQ(t.ExtractPackage(work), TRUE);
    EXPECT_EQ(work, w.program.path() + "\\");
    EXPECT_FALSE(Exists(WorkerWorld::WorkFolder()));
    EXPECT_EQ(t.GetProgress()->nMax.load(), 0);
    EXPECT_TRUE(prompt.Seen().empty());
}

TEST(FileList, WalksDepthFirstAndJoinsBeforeExpanding) {
    WorkerWorld w;
    const std::string files = w.program / "FILES";
    for (const char* d : {"FILES", "FILES\\BIN", "FILES\\BIN\\sub", "FILES\\BIN\\sub\\deeper", "FILES\\SYS"})
        testsupport::MakeDir(w.program / d);
    testsupport::WriteFileBytes(files + "\\BIN\\top.exe", "1");
    testsupport::WriteFileBytes(files + "\\BIN\\sub\\mid.dll", "2");
    testsupport::WriteFileBytes(files + "\\BIN\\sub\\deeper\\low.dat", "3");
    testsupport::WriteFileBytes(files + "\\SYS\\hidden.sys", "4");
    SetFileAttributesW(platform::Wide(files + "\\SYS\\hidden.sys").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    w.AddComponent("BIN", "<TARGETDIR>");
    w.AddComponent("SYS", "<TARGETDIR>\\SYS\\");
    w.app.SetTargetDir(w.target.path());

    CCopyThread t;
    ASSERT_EQ(t.BuildFileList(w.program.path() + "\\"), TRUE);
    std::vector<std::pair<std::string, std::string>> got;
    for (const plan::Component& c : t.m_components)
        for (const plan::ListedFile& f : c.files) got.emplace_back(f.source, plan::DestinationOf(c.destination, f.relative));
    const std::string T = w.target.path();
    // The platform's search order within a folder; a subfolder's files come
    // where the subfolder was met.
    std::vector<std::string> wantDest = {T + "\\sub\\deeper\\low.dat", T + "\\sub\\mid.dll",
                                         T + "\\top.exe", T + "\\SYS\\hidden.sys"};
    ASSERT_EQ(got.size(), 4u);
    std::vector<std::string> dests;
    for (auto& g : got) dests.push_back(g.second);
    // Compare as sets per folder level: the order is the search's.
    std::vector<std::string> sorted = dests;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::string> wantSorted = wantDest;
    std::sort(wantSorted.begin(), wantSorted.end());
    EXPECT_EQ(sorted, wantSorted);
    // Files of "sub" and "deeper" stand together, in one run.
    auto pos = [&](const std::string& d) { return std::find(dests.begin(), dests.end(), d) - dests.begin(); };
    EXPECT_EQ(std::abs(pos(T + "\\sub\\deeper\\low.dat") - pos(T + "\\sub\\mid.dll")), 1);
    EXPECT_EQ(dests.back(), T + "\\SYS\\hidden.sys");  // components in file order
    EXPECT_EQ(got[static_cast<size_t>(pos(T + "\\top.exe"))].first, files + "\\BIN\\top.exe");
    EXPECT_EQ(t.GetProgress()->nMax.load(), 4);
    EXPECT_EQ(t.GetProgress()->nPos.load(), 0);
}

TEST(FileList, MissingSourceFolderShowsItsBox) {
    WorkerWorld w;
    testsupport::MakeDir(w.program / "FILES");
    testsupport::MakeDir(w.program / "FILES\\A");
    testsupport::WriteFileBytes(w.program / "FILES\\A\\x", "x");
    w.AddComponent("A", "<TARGETDIR>");
    w.AddComponent("MISSING", "<TARGETDIR>");
    ScriptedPrompt prompt;
    CCopyThread t;
    EXPECT_EQ(t.BuildFileList(w.program.path()), FALSE);
    ASSERT_EQ(prompt.Boxes().size(), 1u);
    EXPECT_EQ(prompt.Boxes()[0].text, FilesNotFoundText());
    EXPECT_EQ(prompt.Boxes()[0].style, 0x30u);
    ASSERT_EQ(t.m_components.size(), 1u);  // what came before stays listed
    EXPECT_EQ(t.m_components[0].files.size(), 1u);
}

namespace {
// One file as a component of its own, its destination's folder as the component's.
void AddItem(CCopyThread& t, const std::string& src, const std::string& dest) {
    const std::size_t cut = dest.rfind('\\');
    t.m_components.push_back({dest.substr(0, cut), {{dest.substr(cut + 1), src, false}}});
    ++t.GetProgress()->nMax;
}
}  // namespace

TEST(InstallFiles, CopiesIntoNewFoldersAndLaterFilesWin) {
    WorkerWorld w;
    testsupport::WriteFileBytes(w.program / "one", "first");
    testsupport::WriteFileBytes(w.program / "two", "second");
    CCopyThread t;
    AddItem(t, w.program / "one", w.target / "new\\deeper\\same.txt");
    AddItem(t, w.program / "two", w.target / "new\\deeper\\same.txt");
    ScriptedPrompt prompt;
    ASSERT_EQ(t.InstallFiles(), TRUE);
    EXPECT_TRUE(prompt.Seen().empty());
    EXPECT_EQ(ReadFileBytes(w.target / "new\\deeper\\same.txt"), "second");
    EXPECT_EQ(t.GetProgress()->nPos.load(), t.GetProgress()->nMax.load());
    EXPECT_EQ(t.GetCurrentFile(), w.target / "new\\deeper\\same.txt");
}

TEST(InstallFiles, LockedDestinationAsksRetryOrCancel) {
    for (bool lastFile : {false, true}) {
        SCOPED_TRACE(lastFile ? "locked last file" : "locked first file");
        WorkerWorld w;
        testsupport::WriteFileBytes(w.program / "a", "A");
        testsupport::WriteFileBytes(w.program / "b", "B");
        const std::string locked = lastFile ? w.target / "b" : w.target / "a";
        testsupport::WriteFileBytes(locked, "old");
        HANDLE h = CreateFileW(platform::Wide(locked).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);

        CCopyThread t;
        AddItem(t, w.program / "a", w.target / "a");
        AddItem(t, w.program / "b", w.target / "b");
        ScriptedPrompt prompt;
        prompt.AnswerBoxes({IDRETRY, IDRETRY});
        int boxes = 0;
        prompt.OnBox([&](const ScriptedPrompt::Shown&) {
            if (++boxes == 2) CloseHandle(h);  // released before the second Retry
        });
        ASSERT_EQ(t.InstallFiles(), TRUE);
        auto seen = prompt.Boxes();
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[0].style, 0x35u);
        wchar_t sys[512] = {};
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       ERROR_SHARING_VIOLATION, 0x0400, sys, 512, nullptr);
        EXPECT_EQ(seen[0].text, platform::Narrow(sys));
        EXPECT_EQ(ReadFileBytes(w.target / "a"), "A");
        EXPECT_EQ(ReadFileBytes(w.target / "b"), "B");
        EXPECT_EQ(t.GetProgress()->nPos.load(), 2);
    }
}

TEST(InstallFiles, CancelPutsEverythingBack) {
    // b is held open at commit time; a was already committed, c staged.
    WorkerWorld w;
    testsupport::WriteFileBytes(w.program / "a", "A");
    testsupport::WriteFileBytes(w.program / "b", "B");
    testsupport::WriteFileBytes(w.program / "c", "C");
    testsupport::WriteFileBytes(w.target / "a", "old a");
    testsupport::WriteFileBytes(w.target / "b", "old b");
    HANDLE h = CreateFileW(platform::Wide(w.target / "b").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    CCopyThread t;
    for (const char* n : {"a", "b", "c"}) AddItem(t, w.program / n, w.target / n);
    ScriptedPrompt prompt;
    prompt.AnswerBoxes({IDCANCEL});
    EXPECT_EQ(t.InstallFiles(), FALSE);
    CloseHandle(h);
    EXPECT_EQ(prompt.Boxes().size(), 1u);
    EXPECT_EQ(ReadFileBytes(w.target / "a"), "old a");
    EXPECT_EQ(ReadFileBytes(w.target / "b"), "old b");
    EXPECT_FALSE(Exists(w.target / "c"));
    EXPECT_EQ(t.GetProgress()->nPos.load(), 3);  // every file was staged
    EXPECT_EQ(t.GetProgress()->nRollback.load(), 1);
}

TEST(Progress, CurrentFileIsNeverSeenTorn) {
    CCopyThread t;
    const std::string a(3000, 'a'), b(17, 'b');
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) t.SetCurrentFile(i % 2 ? a : b);
        stop = true;
    });
    size_t reads = 0;
    while (!stop) {
        std::string s = t.GetCurrentFile();
        ASSERT_TRUE(s.empty() || s == a || s == b) << s.size();
        ++reads;
    }
    writer.join();
    EXPECT_GT(reads, 0u);
}
