// The whole update on the worker thread, and the application's control of
// it, on real folders with a fake installed product.
#include <gtest/gtest.h>

#include "app/ExitStatus.h"
#include "app/RunSession.h"
#include "platform/log.h"
#include "platform/unattended_prompt.h"
#include "tests/support/run_world.h"
#include "tests/support/scripted_prompt.h"

using testsupport::Exists;
using testsupport::Finished;
using testsupport::ReadFileBytes;
using testsupport::RunWorker;
using testsupport::RunWorld;
using testsupport::ScriptedPrompt;
using testsupport::Sjis;
using testsupport::WorkerWorld;

TEST(WorkerRun, SuccessfulUpdate) {
    RunWorld w;
    w.PutStandardPackage();
    ScriptedPrompt prompt;
    Finished f = RunWorker();
    EXPECT_EQ(f.code, 0u);
    EXPECT_EQ(f.stage, 4);
    EXPECT_EQ(f.pos, f.max);
    EXPECT_EQ(f.max, 3);
    EXPECT_TRUE(prompt.Seen().empty());
    EXPECT_EQ(w.app.GetTargetDir(), w.product.path());
    w.ExpectInstalled();
    EXPECT_FALSE(Exists(WorkerWorld::WorkFolder()));
}

TEST(WorkerRun, ProductRunningStopsBeforeAnythingIsMade) {
    RunWorld w;
    w.PutStandardPackage();
    // The stand-in program, running under a name that holds "zomi7.exe".
    const std::string exe = w.target / "myzomi7.exe";
    ASSERT_TRUE(testsupport::CopyTo(testsupport::FixturePath("fixture_app.exe"), exe));
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, "upd_worker_run_stop");
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exe + "\" upd_worker_run_stop";
    ASSERT_TRUE(CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    Sleep(300);

    ScriptedPrompt prompt;
    Finished f = RunWorker();
    SetEvent(stop);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(stop);

    EXPECT_EQ(f.code, 0xFFFFFFFFu);
    EXPECT_EQ(f.stage, 1);
    ASSERT_EQ(prompt.Boxes().size(), 1u);
    EXPECT_EQ(prompt.Boxes()[0].text,
              "Zomi7 が実行中です。\nZomi7 を閉じてから、セットアップを起動してください。");
    EXPECT_FALSE(Exists(WorkerWorld::WorkFolder()));
    EXPECT_FALSE(Exists(w.product / "new.txt"));
}

TEST(WorkerRun, CurrentVersionNeedsNoUpdate) {
    RunWorld w("fixture_ver_7_5_2_0.exe");
    w.PutStandardPackage();
    ScriptedPrompt prompt;
    Finished f = RunWorker();
    EXPECT_EQ(f.code, 16u);
    EXPECT_EQ(f.stage, 1);
    ASSERT_EQ(prompt.Boxes().size(), 1u);
    EXPECT_EQ(prompt.Boxes()[0].text, "最新バージョンがインストールされています。");
    EXPECT_FALSE(Exists(WorkerWorld::WorkFolder()));
    EXPECT_FALSE(Exists(w.product / "new.txt"));
}

TEST(WorkerRun, FolderDialogCancelled) {
    RunWorld w;
    w.PutStandardPackage();
    w.appPaths.Set(w.target.path());  // a folder without the product
    ScriptedPrompt prompt;            // no folder answers: the dialog is cancelled
    Finished f = RunWorker();
    EXPECT_EQ(f.code, 0xFFFFFFFFu);
    EXPECT_EQ(f.stage, 1);
    EXPECT_EQ(w.app.GetTargetDir(), "");
    ASSERT_EQ(prompt.Seen().size(), 1u);
    EXPECT_EQ(prompt.Seen()[0].kind, ScriptedPrompt::Shown::Folder);
}

TEST(WorkerRun, WithoutPackageTheFilesBesideTheProgramStay) {
    RunWorld w;
    for (const char* d : {"FILES", "FILES\\APP", "FILES\\HELP"}) testsupport::MakeDir(w.program / d);
    testsupport::WriteFileBytes(w.program / "FILES\\APP\\new.txt", "new");
    testsupport::WriteFileBytes(w.program / "FILES\\HELP\\h.txt", "h");
    ScriptedPrompt prompt;
    Finished f = RunWorker();
    EXPECT_EQ(f.code, 0u);
    EXPECT_EQ(f.stage, 4);
    EXPECT_EQ(ReadFileBytes(w.product / "new.txt"), "new");
    EXPECT_EQ(ReadFileBytes(w.product / "HELP\\h.txt"), "h");
    EXPECT_TRUE(Exists(w.program / "FILES\\APP\\new.txt"));
    EXPECT_FALSE(Exists(WorkerWorld::WorkFolder()));
}

TEST(WorkerRun, FailuresAfterTheChecksStillRemoveTheWorkFolder) {
    struct Case {
        const char* name;
        bool damaged;
        bool lockDestination;
        LONG stage;
    } cases[] = {
        {"damaged package", true, false, 2},
        {"missing component folder", false, false, 3},
        {"locked destination, cancelled", false, true, 4},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunWorld w;
        if (c.damaged) {
            auto bytes = RunWorld::Package(w.Key(), {{"APP\\new.txt", "new"}});
            bytes.back() ^= 0x40;
            w.PutPackage(bytes);
        } else if (c.lockDestination) {
            w.PutStandardPackage();
        } else {
            w.PutPackage(RunWorld::Package(w.Key(), {{"APP\\new.txt", "new"}}));  // no HELP folder
        }
        HANDLE locked = INVALID_HANDLE_VALUE;
        if (c.lockDestination) {
            testsupport::WriteFileBytes(w.product / "new.txt", "old");
            locked = CreateFileW(platform::Wide(w.product / "new.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        }
        ScriptedPrompt prompt;  // Retry/Cancel boxes are answered Cancel
        Finished f = RunWorker();
        if (locked != INVALID_HANDLE_VALUE) CloseHandle(locked);
        EXPECT_EQ(f.code, 0xFFFFFFFFu);
        EXPECT_EQ(f.stage, c.stage);
        EXPECT_GE(prompt.Boxes().size(), 1u);
        EXPECT_FALSE(Exists(WorkerWorld::WorkFolder()));
    }
}

TEST(WorkerControl, PollSeesNoWorkerThenRunningThenTheEnd) {
    RunWorld w;
    w.PutStandardPackage();
    w.app.m_nExitCode = 77;
    EXPECT_EQ(w.app.PollCopyThread(), nullptr);  // no worker yet
    EXPECT_EQ(w.app.m_nExitCode, 77u);

    ScriptedPrompt prompt;
    // Hold the worker in its first box so that it is seen running.
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::string held = w.product / "new.txt";
    testsupport::WriteFileBytes(held, "old");
    HANDLE locked = CreateFileW(platform::Wide(held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    prompt.AnswerBoxes({IDRETRY});
    prompt.OnBox([&](const ScriptedPrompt::Shown&) {
        WaitForSingleObject(release, 30000);
        CloseHandle(locked);
    });

    CCopyThread* t = w.app.StartCopyThread();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(w.app.m_pCopyThread, t);
    while (t->GetProgress()->nStage < 4 || prompt.Boxes().empty()) Sleep(5);
    EXPECT_EQ(w.app.PollCopyThread(), t);  // still running: code 259
    EXPECT_EQ(w.app.m_nExitCode, 77u);
    SetEvent(release);

    DWORD start = GetTickCount();
    while (w.app.PollCopyThread() && GetTickCount() - start < 60000) Sleep(10);
    EXPECT_EQ(w.app.m_pCopyThread, nullptr);
    EXPECT_EQ(w.app.m_nExitCode, 0u);
    w.app.m_nExitCode = 5;
    EXPECT_EQ(w.app.PollCopyThread(), nullptr);  // after the end: nothing changes
    EXPECT_EQ(w.app.m_nExitCode, 5u);
    CloseHandle(release);
    w.ExpectInstalled();
}

// Without a person: a file that stays locked is retried for the bounded time,
// then the update is cancelled and rolled back, and the log tells it all.
TEST(WorkerRun, UnattendedRetriesALockedFileThenRollsBack) {
    RunWorld w;
    w.PutStandardPackage();
    testsupport::WriteFileBytes(w.product / "new.txt", "old");
    HANDLE locked = CreateFileW(platform::Wide(w.product / "new.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    testsupport::ScratchDir logs("upd_w_logs");
    ASSERT_TRUE(OpenLogFile(logs / "u.log"));
    platform::ResetPersonCancelled();

    // A hundredth of real time, so the counts below do not hang on the
    // tick count's steps.
    platform::SetPauseDivisor(100);
    platform::UnattendedPrompt prompt(0);
    platform::Prompt* previous = platform::SetPrompt(&prompt);
    const unsigned long long start = platform::ScaledTickCount();
    Finished f = RunWorker();
    const unsigned long long took = platform::ScaledTickCount() - start;
    platform::SetPrompt(previous);
    CloseHandle(locked);
    platform::CloseLog();

    EXPECT_EQ(f.code, static_cast<DWORD>(-1));
    EXPECT_GE(took, platform::UnattendedPrompt::kRetryBoundMs);
    // Its own Cancel is no person's: the run failed rather than was cancelled.
    EXPECT_FALSE(platform::PersonCancelled());
    exitstatus::RunFacts facts;
    facts.workerRan = true;
    facts.workerCode = f.code;
    facts.productNotFound = w.app.m_bProductNotFound;
    facts.cancelledByUser = platform::PersonCancelled();
    EXPECT_EQ(exitstatus::ProcessExitStatus(facts), 1603);
    // Nothing changed.
    EXPECT_EQ(ReadFileBytes(w.product / "new.txt"), "old");
    EXPECT_FALSE(Exists(w.product / "lib"));
    EXPECT_FALSE(Exists(w.product / "HELP"));

    const std::string log = ReadFileBytes(logs / "u.log");
    auto count = [&log](const std::string& s) {
        size_t n = 0;
        for (size_t p = log.find(s); p != std::string::npos; p = log.find(s, p + 1)) ++n;
        return n;
    };
    // Every 2 s within 30 s: about 15 Retries (timer granularity aside),
    // then one Cancel, each box logged before its answer.
    EXPECT_GE(count(" answer: Retry (automatic)\r\n"), 8u) << log;
    EXPECT_LE(count(" answer: Retry (automatic)\r\n"), 16u) << log;
    EXPECT_EQ(count(" answer: Cancel (automatic)\r\n"), 1u);
    EXPECT_EQ(count(" box 0x35: "), count(" answer: "));
    EXPECT_NE(log.find(" staged: " + (w.product / "lib\\deep\\x.dat")), std::string::npos);
    EXPECT_NE(log.find(" rolled back: "), std::string::npos);
    EXPECT_NE(log.find(" placed: APP\\new.txt (3 bytes)\r\n"), std::string::npos);
    EXPECT_NE(log.find(" worker exit code -1\r\n"), std::string::npos);
}
