// The work folder in the user's temporary folder, which the elevated update
// does not own: made afresh and private, never reused, and only what
// extraction placed there is installed, whatever another process does to it
// while the update pauses.
#include <gtest/gtest.h>
#include <aclapi.h>

#include <cstdlib>
#include <new>

#include "platform/file.h"
#include "tests/support/run_world.h"
#include "tests/support/scripted_prompt.h"
#include "util/fs.h"
#include "util/long_path.h"
#include "util/syserr.h"

using testsupport::Exists;
using testsupport::Finished;
using testsupport::FormatErrorText;
using testsupport::ReadFileBytes;
using testsupport::RunWorker;
using testsupport::RunWorld;
using testsupport::RunningUnderWine;
using testsupport::ScriptedPrompt;
using testsupport::Sjis;
using testsupport::WorkerWorld;

namespace {

bool ExistsWide(const std::string& path) {
    return ::GetFileAttributesW(ExtendedPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs the attacker fixture as a process of its own; its exit status.
DWORD RunAttacker(const std::string& verb, const std::string& a, const std::string& b) {
    const std::string exe = testsupport::FixturePath("fixture_attacker.exe");
    std::string cmd = "\"" + exe + "\" " + verb + " \"" + a + "\" \"" + b + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 0xDEAD;
    ::WaitForSingleObject(pi.hProcess, 20000);
    DWORD code = 0xDEAD;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    return code;
}

// What the pause hook does, and what it saw (the hook is a plain function).
struct Attack {
    std::string verb, a, b;
    bool ran = false;
    DWORD exitCode = 0xDEAD;
    bool placedInWorkFolder = false;
};
Attack g_attack;

// The first pause of 1000 ms is the one right after extraction.
void AttackAfterExtraction(unsigned ms) {
    if (ms != 1000 || g_attack.ran) return;
    g_attack.ran = true;
    g_attack.placedInWorkFolder = Exists(WorkerWorld::WorkFolder() + "\\FILES\\APP\\new.txt");
    g_attack.exitCode = RunAttacker(g_attack.verb, g_attack.a, g_attack.b);
}

struct HookScope {
    explicit HookScope(platform::PauseHook hook) { platform::SetPauseHook(hook); }
    ~HookScope() { platform::SetPauseHook(nullptr); }
};

}  // namespace

TEST(WorkFolderAttacks, WhatExtractionDidNotPlaceStopsTheUpdate) {
    const std::string files = WorkerWorld::WorkFolder() + "\\FILES\\APP\\";
    const char* links = std::getenv("UPD_LINK_FIXTURE");
    struct Case {
        const char* name;
        Attack attack;
        std::string planted;  // a name in the product that must not appear
    } cases[] = {
        {"file added", {"add", files + "evil.dll", "evil"}, "evil.dll"},
        {"file rewritten", {"rewrite", files + "new.txt", "rewritten by someone else"}, ""},
        {"link planted", {"link", std::string(links ? links : "") + "\\victim\\victim.dll", files + "planted.dll"},
         "planted.dll"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!links && c.attack.verb == "link") continue;  // needs the fixture folder
        RunWorld w;
        w.PutStandardPackage();
        ScriptedPrompt prompt;
        g_attack = c.attack;
        Finished f;
        {
            HookScope hook(AttackAfterExtraction);
            f = RunWorker();
        }
        ASSERT_TRUE(g_attack.ran);
        ASSERT_EQ(g_attack.exitCode, 0u);  // what Wine (and the user's own token) allows
        EXPECT_TRUE(g_attack.placedInWorkFolder);
        EXPECT_EQ(f.code, 0xFFFFFFFFu);
        EXPECT_EQ(f.stage, 3);
        auto boxes = prompt.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, FormatErrorText());
        EXPECT_EQ(boxes[0].style, 0x30u);
        // Nothing installed, the work folder gone, no scratch file left over.
        EXPECT_FALSE(Exists(w.product / "new.txt"));
        EXPECT_FALSE(Exists(w.product / "HELP\\使い方.txt"));
        if (!c.planted.empty()) {
            EXPECT_FALSE(Exists(w.product / c.planted));
        }
        if (c.attack.verb != "link") {
            EXPECT_FALSE(Exists(WorkerWorld::WorkFolder()));
        } else {
            // The clean-up removes the link and never its target. Wine
            // cannot show it: it opens and deletes a file link's target for
            // every request through the system, the link's own included.
            if (!RunningUnderWine()) {
                EXPECT_EQ(ReadFileBytes(std::string(links) + "\\victim\\victim.dll"), "victim\n");
            }
            if (Exists(WorkerWorld::WorkFolder())) {
                EXPECT_EQ(RunAttacker("unlink", c.attack.b, "-"), 0u);
            }
        }
    }
}

TEST(WorkFolderAttacks, AnUntouchedPackageStillInstalls) {
    // The check above must not refuse what extraction did place.
    RunWorld w;
    w.PutPackage(RunWorld::Package(w.Key(), {{"APP\\new.txt", "first"},
                                            {"app\\NEW.TXT", "second, longer"},
                                            {"HELP\\h.txt", "h"}}));
    ScriptedPrompt prompt;
    Finished f = RunWorker();
    EXPECT_EQ(f.code, 0u);
    EXPECT_TRUE(prompt.Seen().empty());
    EXPECT_EQ(ReadFileBytes(w.product / "new.txt"), "second, longer");
}

namespace {
int g_throwAtPause = 0;  // which 1000 ms pause throws (1 = after extraction)
int g_pausesSeen = 0;
bool g_throwFileError = false;

void ThrowAtPause(unsigned ms) {
    if (ms != 1000 || ++g_pausesSeen != g_throwAtPause) return;
    if (g_throwFileError) throw platform::FileException(ERROR_DISK_FULL);
    throw std::bad_alloc();
}
}  // namespace

TEST(WorkerExceptions, AreReportedAndTheCleanUpRuns) {
    struct Case {
        const char* name;
        int pause;
        bool fileError;
        LONG stage;
        long code;
    } cases[] = {
        {"allocation failure after extraction", 1, false, 2, ERROR_NOT_ENOUGH_MEMORY},
        {"file error after the copies", 2, true, 4, ERROR_DISK_FULL},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunWorld w;
        w.PutStandardPackage();
        ScriptedPrompt prompt;
        g_throwAtPause = c.pause;
        g_pausesSeen = 0;
        g_throwFileError = c.fileError;
        Finished f;
        {
            HookScope hook(ThrowAtPause);
            f = RunWorker();
        }
        EXPECT_EQ(f.code, 0xFFFFFFFFu);
        EXPECT_EQ(f.stage, c.stage);
        auto boxes = prompt.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "更新するファイルを用意するとき、予期しないエラーが発生しました。(" +
                                     std::to_string(c.code) + ")");
        EXPECT_EQ(boxes[0].style, 0x10u);
        EXPECT_FALSE(Exists(WorkerWorld::WorkFolder()));
    }
}

TEST(WorkFolder, AnOldFolderIsRemovedWholeOrTheStageFails) {
    for (bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "with a read-only file" : "names ending in a dot or a blank");
        WorkerWorld w;
        const std::string work = WorkerWorld::WorkFolder();
        ASSERT_TRUE(testsupport::MakeDir(work));
        // Names that the ordinary path rules would cut to "x" and "y".
        ASSERT_TRUE(::CreateDirectoryW(ExtendedPath(work + "\\x.").c_str(), nullptr));
        HANDLE h = ::CreateFileW(ExtendedPath(work + "\\x.\\y ").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        ::CloseHandle(h);
        ASSERT_TRUE(ExistsWide(work + "\\x.\\y "));
        if (readOnly) {
            testsupport::WriteFileBytes(work + "\\z_ro.txt", "ro");
            ASSERT_TRUE(::SetFileAttributesW(platform::Wide(work + "\\z_ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
        }
        w.PutPackage(WorkerWorld::Package(w.Key(), {{"APP\\a.txt", "alpha"}}));
        ScriptedPrompt prompt;
        CCopyThread t;
        std::string folder;
        const int ok = t.ExtractPackage(folder);
        t.m_workFolderHold.Release();
        if (!readOnly) {
            EXPECT_EQ(ok, TRUE);
            EXPECT_TRUE(prompt.Seen().empty());
            EXPECT_FALSE(ExistsWide(work + "\\x."));
            EXPECT_EQ(ReadFileBytes(work + "\\FILES\\APP\\a.txt"), "alpha");
        } else {
            EXPECT_EQ(ok, FALSE);
            auto boxes = prompt.Boxes();
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, GetSystemErrorText(ERROR_ACCESS_DENIED));
            EXPECT_EQ(boxes[0].style, 0x30u);
            EXPECT_FALSE(Exists(work + "\\FILES"));  // never reused
            ::SetFileAttributesW(platform::Wide(work + "\\z_ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        RemoveDirectoryTree(work);
    }
}

namespace {
std::vector<BYTE> SidBytes(PSID sid) {
    const BYTE* p = static_cast<const BYTE*>(sid);
    return std::vector<BYTE>(p, p + ::GetLengthSid(sid));
}
std::vector<BYTE> WellKnown(WELL_KNOWN_SID_TYPE type) {
    BYTE buf[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof buf;
    EXPECT_TRUE(::CreateWellKnownSid(type, nullptr, buf, &size));
    return std::vector<BYTE>(buf, buf + size);
}
// The principals the folder must be given, as the test's own token says.
std::vector<std::vector<BYTE>> ExpectedOwners() {
    HANDLE token = nullptr;
    EXPECT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    BYTE user[256];
    EXPECT_TRUE(::GetTokenInformation(token, TokenUser, user, sizeof user, &size));
    ::CloseHandle(token);
    if (elevation.TokenIsElevated) return {WellKnown(WinLocalSystemSid), WellKnown(WinBuiltinAdministratorsSid)};
    return {SidBytes(reinterpret_cast<TOKEN_USER*>(user)->User.Sid)};
}
}  // namespace

void ExpectPrivateAcl(PACL dacl) {
    ASSERT_NE(dacl, nullptr);
    const auto owners = ExpectedOwners();
    ASSERT_EQ(dacl->AceCount, owners.size());
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        SCOPED_TRACE(i);
        ACE_HEADER* header = nullptr;
        ASSERT_TRUE(::GetAce(dacl, i, reinterpret_cast<void**>(&header)));
        EXPECT_EQ(header->AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(header->AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);  // not inherited itself
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        EXPECT_EQ(ace->Mask, static_cast<DWORD>(FILE_ALL_ACCESS));
        EXPECT_EQ(SidBytes(&ace->SidStart), owners[i]);
    }
}

TEST(WorkFolder, AclGrantsOnlyThisProcessPrincipals) {
    std::vector<unsigned char> acl = PrivateFolderAcl();
    ASSERT_FALSE(acl.empty());
    ExpectPrivateAcl(reinterpret_cast<PACL>(acl.data()));
}

TEST(WorkFolder, IsPrivateAndHeldWhileInUse) {
    WorkerWorld w;
    w.PutPackage(WorkerWorld::Package(w.Key(), {{"APP\\a.txt", "alpha"}}));
    ScriptedPrompt prompt;
    CCopyThread t;
    std::string work;
    ASSERT_EQ(t.ExtractPackage(work), TRUE);
    struct Release {
        CCopyThread& t;
        std::string work;
        ~Release() {
            t.m_workFolderHold.Release();
            RemoveDirectoryTree(work);
        }
    } release{t, work};

    // Held: nobody can rename it away and put another folder in its place.
    // (Wine renames folders whatever handles are open on them.)
    if (!RunningUnderWine()) {
        EXPECT_FALSE(::MoveFileW(platform::Wide(work).c_str(), platform::Wide(work + "_moved").c_str()));
        EXPECT_FALSE(Exists(work + "_moved"));
    }

    HANDLE h = ::CreateFileW(platform::Wide(work).c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_EQ(::GetSecurityInfo(h, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr, &sd),
              static_cast<DWORD>(ERROR_SUCCESS));
    ::CloseHandle(h);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(sd, &control, &revision));
    if (!(control & SE_DACL_PROTECTED) && RunningUnderWine()) {
        ::LocalFree(sd);
        // Without extended attributes Wine keeps no descriptor and makes one
        // up from the Unix permissions.
        GTEST_SKIP() << "Wine stored no security descriptor for the folder on this file system";
    }
    EXPECT_TRUE(control & SE_DACL_PROTECTED);  // nothing inherited from the temporary folder
    ExpectPrivateAcl(dacl);
    ::LocalFree(sd);
}
