// SETUP.EXE run as a deployment tool runs it under Wine: /quiet, /passive,
// /log, /dir and the exit status that tells the outcome.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "platform/system_library.h"
#include "tests/support/e2e_world.h"
#include "util/name_key.h"

using namespace testsupport;

namespace {

struct Outcome {
    bool ended = false;
    DWORD status = 0;
    std::set<std::string> windowClasses;  // every top-level window seen while it ran
};

// Runs SETUP.EXE with arguments and no input, looking for windows throughout.
Outcome RunUnattended(const std::string& exe, const std::string& args, DWORD timeoutMs = 60000,
                      const std::string& currentFolder = "") {
    Outcome o;
    driver::Process p;
    if (!p.Start(exe, args, currentFolder)) return o;
    const DWORD start = GetTickCount();
    while (!(o.ended = p.WaitExit(5)) && GetTickCount() - start < timeoutMs) {
        for (auto& c : p.AllTopLevelClasses()) o.windowClasses.insert(c);
    }
    if (o.ended) o.status = p.ExitCode();
    return o;
}

// The log's lines without their timestamps, after checking the form of each:
// a byte-order mark, CRLF ends, "YYYY-MM-DD hh:mm:ss.mmm " in front.
std::vector<std::string> LogLines(const std::string& path) {
    std::string bytes = ReadFileBytes(path);
    std::vector<std::string> lines;
    EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF", 0), 0u) << "no byte-order mark";
    if (bytes.size() < 3) return lines;
    size_t pos = 3;
    while (pos < bytes.size()) {
        size_t end = bytes.find("\r\n", pos);
        EXPECT_NE(end, std::string::npos) << "a line without CRLF";
        if (end == std::string::npos) break;
        std::string line = bytes.substr(pos, end - pos);
        EXPECT_EQ(line.find('\n'), std::string::npos);
        const bool stamped = line.size() >= 24 && line[4] == '-' && line[7] == '-' && line[10] == ' ' &&
                             line[13] == ':' && line[16] == ':' && line[19] == '.' && line[23] == ' ' &&
                             isdigit(static_cast<unsigned char>(line[22]));
        EXPECT_TRUE(stamped) << line;
        lines.push_back(stamped ? line.substr(24) : line);
        pos = end + 2;
    }
    return lines;
}

// The log as it grows: SETUP.EXE holds it open for writing.
std::string ReadGrowing(const std::string& path) {
    HANDLE h = CreateFileW(platform::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    std::string out(1 << 16, '\0');
    DWORD got = 0;
    ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &got, nullptr);
    CloseHandle(h);
    out.resize(got);
    return out;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    for (auto& l : lines)
        if (l == line) return true;
    return false;
}
bool HasPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
    for (auto& l : lines)
        if (l.rfind(prefix, 0) == 0) return true;
    return false;
}
std::string Dump(const std::vector<std::string>& lines) {
    std::string s;
    for (auto& l : lines) s += l + "\n";
    return s;
}

FILETIME WriteTime(const std::string& path) {  // zero when nothing is there
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(platform::Wide(path).c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

}  // namespace

TEST(Unattended, QuietSuccessThenAlreadyCurrentWithTheirLogs) {
    E2eWorld w;
    w.PutPackage();
    const std::string exe = w.medium / "SETUP.EXE";
    // A relative log file lies in the current folder (the medium's here).
    Outcome o = RunUnattended(exe, "/quiet /log u.log");
    ASSERT_TRUE(o.ended);
    EXPECT_EQ(o.status, 0u);
    EXPECT_TRUE(o.windowClasses.empty()) << *o.windowClasses.begin();
    EXPECT_TRUE(w.Installed());
    EXPECT_FALSE(Exists(E2eWorld::WorkFolder()));

    auto lines = LogLines(w.medium / "u.log");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("SETUP.EXE 7.5.2.0, command line: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("/quiet /log u.log"), std::string::npos);
    EXPECT_TRUE(Has(lines, "SETUP.INI: PRODUCT_NAME=" + kProduct +
                               ", PRODUCT_VERSION=7.5.2.0, PACKAGE=UPDATE.PKG")) << Dump(lines);
    EXPECT_TRUE(Has(lines, "SETUP.INI: component HELP -> <TARGETDIR>\\HELP, 2"));
    EXPECT_TRUE(Has(lines, "check: ZOMI7.EXE is not running"));
    // Japanese paths in full, as UTF-8.
    EXPECT_TRUE(Has(lines, "check: install folder (App Paths): " + w.product.path())) << Dump(lines);
    EXPECT_TRUE(Has(lines, "check: installed version 7.5.1.0, older than 7.5.2.0"));
    EXPECT_TRUE(Has(lines, "signature: SETUP.EXE trusts no key; no signature checked"));  // as built
    for (const char* stage : {"1", "2", "3", "4", "clean-up"})
        EXPECT_TRUE(HasPrefix(lines, std::string("SETUP.EXE stage ") + stage + ": ")) << stage;
    EXPECT_FALSE(HasPrefix(lines, "box "));
    EXPECT_EQ(lines.back(), "exit status 0 ERROR_SUCCESS (updated)");

    // The same medium again, the product now at the new version: already
    // current, one box, logged with its answer.
    ASSERT_TRUE(testsupport::CopyTo(Sample("update\\Zomi7.EXE"), (w.product / "Zomi7.EXE")));
    o = RunUnattended(exe, "-QUIET -Log u.log");
    ASSERT_TRUE(o.ended);
    EXPECT_EQ(o.status, 1638u);
    EXPECT_TRUE(o.windowClasses.empty());
    lines = LogLines(w.medium / "u.log");
    EXPECT_TRUE(Has(lines, "check: installed version 7.5.2.0, current")) << Dump(lines);
    EXPECT_TRUE(Has(lines, "box 0x30: 最新バージョンがインストールされています。"));
    EXPECT_TRUE(Has(lines, "answer: OK (automatic)"));
    EXPECT_EQ(lines.back(), "exit status 1638 ERROR_PRODUCT_VERSION (already current, nothing changed)");
}

TEST(Unattended, QuietFailuresTellWhy) {
    struct Case {
        const char* name;
        bool damaged, noAppPaths, incompleteIni, running;
        std::string args;
        DWORD status;
    } cases[] = {
        {"damaged package", true, false, false, false, "/quiet /log u.log", 1603},
        {"product running", false, false, false, true, "/quiet /log u.log", 1603},
        {"SETUP.INI incomplete", false, false, true, false, "/quiet /log u.log", 1620},
        {"not found without /dir", false, true, false, false, "/quiet /log u.log", 1605},
        {"a /dir without the product", false, false, false, false, "/quiet /log u.log /dir .", 1605},
        {"bad options", false, false, false, false, "/quiet /log u.log /silent", 1639},
        {"log cannot be created", false, false, false, false, "/quiet /log no_such_folder\\u.log", 1622},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        E2eWorld w;
        w.PutPackage(c.damaged);
        if (c.noAppPaths) RegDeleteTreeW(HKEY_LOCAL_MACHINE, kAppPathsKey);
        if (c.incompleteIni) WriteFileBytes(w.medium / "SETUP.INI", "[PRODUCT]\r\nPRODUCT_NAME=x\r\n");
        PROCESS_INFORMATION pi{};
        HANDLE stop = nullptr;
        if (c.running) {
            // A stand-in program running under a name that holds "zomi7.exe".
            std::string copy = w.product / "myzomi7.exe";
            testsupport::CopyTo((BinDir() + "fixture_app.exe"), copy);
            stop = CreateEventA(nullptr, TRUE, FALSE, "upd_quiet_running_stop");
            STARTUPINFOW si{};
            si.cb = sizeof si;
            std::wstring cmd = platform::Wide("\"" + copy + "\" upd_quiet_running_stop");
            ASSERT_TRUE(CreateProcessW(platform::Wide(copy).c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                       nullptr, &si, &pi));
        }
        Outcome o = RunUnattended(w.medium / "SETUP.EXE", c.args);
        if (stop) {
            SetEvent(stop);
            WaitForSingleObject(pi.hProcess, 10000);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
            CloseHandle(stop);
        }
        ASSERT_TRUE(o.ended);
        EXPECT_EQ(o.status, c.status);
        EXPECT_TRUE(o.windowClasses.empty()) << *o.windowClasses.begin();
        // Nothing changed.
        EXPECT_EQ(ReadFileBytes(w.product / "readme.txt"), "old readme");
        EXPECT_FALSE(Exists(w.product / "bin"));
        if (c.status == 1622) {
            EXPECT_FALSE(Exists(w.medium / "u.log"));
            continue;
        }
        auto lines = LogLines(w.medium / "u.log");
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().rfind("exit status " + std::to_string(c.status) + " ERROR_", 0), 0u) << Dump(lines);
        if (c.damaged) {
            // A box of two lines: the second as a continuation of the entry.
            EXPECT_TRUE(Has(lines, "box 0x30: 更新するファイルの取得に失敗しました。")) << Dump(lines);
            EXPECT_TRUE(Has(lines, "| アップデートプログラムが壊れているか、アップデート対象製品が正しくない可能性があります。"));
        }
        if (c.running) {
            EXPECT_TRUE(Has(lines, "check: ZOMI7.EXE is running"));
        }
        if (c.noAppPaths) {
            EXPECT_TRUE(HasPrefix(lines, "check: install folder (default folder): ")) << Dump(lines);
            EXPECT_TRUE(HasPrefix(lines, "folder dialog: "));
            EXPECT_TRUE(Has(lines, "answer: none (not shown without a person)"));
        }
        if (c.status == 1639) {
            EXPECT_TRUE(Has(lines, "usage error: unknown option: /silent")) << Dump(lines);
            EXPECT_TRUE(Has(lines, "box 0x30: コマンドラインが正しくありません。"));
            EXPECT_TRUE(HasPrefix(lines, "| 使い方: SETUP.EXE [/quiet | /passive]"));
        }
    }
}

TEST(Unattended, QuietWritesNothingThroughALink) {
    // Links an ordinary user made (on the host: fixtures/make_folder_links.sh,
    // which Wine shows as reparse points). /log through a file link, a folder
    // link or a second name of a file: 1622. The product's BIN a link to the
    // system folder, its HELP one to a folder in the Windows folder, its
    // readme.txt one to another's file: 1603. What the link leads to keeps
    // its bytes and time, or stays missing.
    const char* links = std::getenv("UPD_LINK_FIXTURE");
    ASSERT_NE(links, nullptr) << "run through ctest, which lays the links out";
    struct {
        const char *log, *product, *link, *through;  // below the fixture; "" for the world's
        DWORD status;
    } cases[] = {{"keeplink.txt", "", "", "victim\\keep.txt", 1622}, {"worklink\\keep.txt", "", "", "victim\\keep.txt", 1622},
                 {"twice.txt", "", "", "victim\\twice.bat", 1622}, {"", "prod_bin", "BIN", "prod_bin\\BIN\\表示.dll", 1603},
                 {"", "prod_help", "HELP", "prod_help\\HELP\\使い方.txt", 1603},
                 {"", "prod_file", "readme.txt", "victim\\keep.txt", 1603}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.log) + c.link);
        E2eWorld w;
        w.PutPackage();
        const std::string dir = *c.product ? std::string(links) + "\\" + c.product : w.product.path();
        for (const char* name : {"Zomi7.EXE", "kvp2lib.dll", "readme.txt"})
            if (!Exists(dir + "\\" + name)) { EXPECT_TRUE(testsupport::CopyTo(w.product / name, dir + "\\" + name)); }
        const std::string through = std::string(links) + "\\" + c.through, bytes = ReadFileBytes(through);
        const FILETIME before = WriteTime(through);
        const std::string log = *c.log ? std::string(links) + "\\" + c.log : w.medium / "u.log";
        Outcome o = RunUnattended(w.medium / "SETUP.EXE", "/quiet /log \"" + log + "\" /dir \"" + dir + "\"");
        ASSERT_TRUE(o.ended);
        EXPECT_EQ(o.status, c.status);
        const FILETIME after = WriteTime(through);
        EXPECT_EQ(ReadFileBytes(through), bytes);
        EXPECT_EQ(CompareFileTime(&before, &after), 0);
        EXPECT_FALSE(Exists(dir + "\\bin\\tool.dat"));
        if (!*c.link) continue;
        const std::string text = ReadFileBytes(log);
        EXPECT_NE(text.find("box 0x10: アップデート先にリンクがあるため、アップデートできません。"), std::string::npos) << text;
        EXPECT_NE(names::Key(text).find(names::Key(dir + "\\" + c.link)), std::string::npos);  // whichever spelling came first
        // And updpkg.exe's check of this medium and product folder predicts it.
        std::string check;
        EXPECT_EQ(RunUpdpkg({"check", w.medium.path(), "--product", dir}, &check, w.medium.path()), 1u);
        EXPECT_NE(names::Key(check).find(names::Key(std::string("link at <TARGETDIR>\\") + c.link)), std::string::npos) << check;
    }
}

TEST(Unattended, QuietRefusesSetupIniPlacesAndWritesNothing) {
    // Each value names no place of its own: exit 1620, its one fault line,
    // nothing written anywhere, not even in the current folder of its own
    // where a relative destination would land.
    struct Case {
        const char* app;  // the component APP's value
        const char* package = "UPDATE.PKG";
        const char* fault = "[COMPONENTS] APP";
    } cases[] = {{"APP,<TARGETDIRR>,1"}, {"APP,<TARGETDIR>X,1"}, {"APP,<TARGETDIR>\\..\\upd_e2e_escaped,1"},
                 {"APP,<TARGETDIR>\\CON,1"}, {"APP,<TARGETDIR>\\<PRODUCT_NAME>,1"}, {"APP,upd_e2e_escaped,1"}, {"APP,,1"},
                 {"APP,\\\\localhost\\C$\\upd_e2e_escaped,1"}, {"APP,\\\\?\\C:\\upd_e2e_escaped,1"}, {"APP,\\\\.\\NUL,1"},
                 {"..\\APP,<TARGETDIR>,1"}, {"..\\..\\AdminOnly,<TARGETDIR>,1", ""},
                 {"APP,<TARGETDIR>,1", "..\\UPDATE.PKG", "[PRODUCT] PACKAGE"}};
    ScratchDir cwd("upd_e2e_cwd"), logs("upd_e2e_logs");
    const std::string root = cwd.path().substr(0, 3);
    for (auto& c : cases) {
        SCOPED_TRACE(std::string(c.app) + " " + c.package);
        E2eWorld w;
        w.PutPackage();
        WriteFileBytes(w.medium / "SETUP.INI", "[PRODUCT]\r\nPRODUCT_NAME=P\r\nPRODUCT_VERSION=7.5.2.0\r\nPACKAGE=" + std::string(c.package) +
                                                   "\r\n[COMPONENTS]\r\nAPP=" + c.app + "\r\nHELP=HELP,<TARGETDIR>\\HELP,2\r\n");
        Outcome o = RunUnattended(w.medium / "SETUP.EXE", "/quiet /log \"" + logs / "u.log\"", 60000, cwd.path());
        EXPECT_TRUE(o.ended && o.status == 1620u && o.windowClasses.empty()) << o.status;
        EXPECT_EQ(ReadFileBytes(w.product / "readme.txt"), "old readme");
        for (const std::string& p : {w.product / "bin", w.product / "HELP", w.product.path() + "X", E2eWorld::WorkFolder(),
                                     E2eWorld::TempDir() + "upd_e2e_escaped", root + "upd_e2e_escaped", root + "bin", root + "readme.txt"})
            EXPECT_FALSE(Exists(p)) << p;
        EXPECT_TRUE(RemoveDirectoryW(platform::Wide(cwd.path()).c_str()) && testsupport::MakeDir(cwd.path()));  // it was empty
        const auto lines = LogLines(logs / "u.log");
        EXPECT_TRUE(Has(lines, std::string("| ") + c.fault) && !HasPrefix(lines, "| [COMPONENTS] HELP")) << Dump(lines);
    }
}

TEST(Unattended, QuietSecondInstanceSaysSoInItsLog) {
    // Another SETUP.EXE is running: the test holds the program's mutex.
    E2eWorld w;
    w.PutPackage();
    HANDLE other = CreateMutexA(nullptr, TRUE, "Global\\Zomi7.UpdateWizard.SETUP");
    ASSERT_NE(other, nullptr);
    Outcome o = RunUnattended(w.medium / "SETUP.EXE", "/quiet /log u.log");
    CloseHandle(other);
    ASSERT_TRUE(o.ended);
    EXPECT_EQ(o.status, 1618u);
    EXPECT_TRUE(o.windowClasses.empty()) << *o.windowClasses.begin();
    EXPECT_EQ(ReadFileBytes(w.product / "readme.txt"), "old readme");
    EXPECT_FALSE(Exists(E2eWorld::WorkFolder()));
    auto lines = LogLines(w.medium / "u.log");
    EXPECT_TRUE(Has(lines, "box 0x30: アップデートウィザードはすでに実行中です。")) << Dump(lines);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind("exit status 1618 ERROR_", 0), 0u) << Dump(lines);
}

TEST(Unattended, QuietWithARightDirNeedsNoRegistry) {
    E2eWorld w;
    w.PutPackage();
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kAppPathsKey);
    Outcome o = RunUnattended(w.medium / "SETUP.EXE", "/quiet /log u.log /dir \"" + w.product.path() + "\"");
    ASSERT_TRUE(o.ended);
    EXPECT_EQ(o.status, 0u);
    EXPECT_TRUE(w.Installed());
    auto lines = LogLines(w.medium / "u.log");
    EXPECT_TRUE(Has(lines, "check: install folder (/dir): " + w.product.path())) << Dump(lines);
}

TEST(Unattended, QuietRetriesALockedFileUntilItIsReleased) {
    E2eWorld w;
    w.PutPackage();
    HANDLE locked = CreateFileW(platform::Wide(w.product / "readme.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    driver::Process p;
    ASSERT_TRUE(p.Start(w.medium / "SETUP.EXE", "/quiet /log u.log"));
    // Released once the first Retry/Cancel box is in the log.
    bool asked = false;
    for (int i = 0; i < 600 && !asked && p.Running(); ++i) {
        Sleep(20);
        asked = ReadGrowing(w.medium / "u.log").find("answer: Retry (automatic)") != std::string::npos;
    }
    CloseHandle(locked);
    EXPECT_TRUE(asked);
    ASSERT_TRUE(p.WaitExit(60000));
    EXPECT_EQ(p.ExitCode(), 0u);
    EXPECT_TRUE(w.Installed());
    auto lines = LogLines(w.medium / "u.log");
    EXPECT_TRUE(HasPrefix(lines, "box 0x35: ")) << Dump(lines);
}

TEST(Unattended, UsageBoxesOutsideQuiet) {
    struct Case {
        const char* args;
        bool error;
        DWORD status;
    } cases[] = {
        {"/?", false, 0},
        {"/passive /dir", true, 1639},
    };
    ScratchDir medium("upd_e2e_usage");
    const std::string exe = medium / "SETUP.EXE";
    ASSERT_TRUE(testsupport::CopyTo((BinDir() + "SETUP.EXE"), exe));
    const std::string usage = std::string(
        "使い方: SETUP.EXE [/quiet | /passive] [/log ファイル] [/dir フォルダ]\n\n/quiet\t画面を表示せずに更新します。\n"
        "/passive\t進行状況だけを表示し、確認を求めません。\n/log\t経過をファイルに記録します。\n/dir\tインストール先のフォルダを指定します。");
    for (auto& c : cases) {
        SCOPED_TRACE(c.args);
        driver::Process p;
        ASSERT_TRUE(p.Start(exe, c.args));
        driver::Window box;
        ASSERT_TRUE(p.WaitWindow(20000, [](const driver::Window& w) { return w.IsMessageBox(); }, &box));
        EXPECT_EQ(box.caption, "アップデートウィザード");
        // The static text's tabs are shown as Wine's box keeps them.
        EXPECT_EQ(box.MessageText(), (c.error ? "コマンドラインが正しくありません。\n\n" : "") + usage);
        EXPECT_NE(box.Find(IDOK), nullptr);
        EXPECT_EQ(box.Find(IDCANCEL), nullptr);
        driver::Press(box.hwnd, IDOK);
        ASSERT_TRUE(p.WaitExit(20000));
        EXPECT_EQ(p.ExitCode(), c.status);
    }
}

TEST(Unattended, PassiveRunsToTheEndWithTheWizardShown) {
    // Already current: the one run shows the wizard, a box that answers
    // itself, and the finish page that closes by itself.
    E2eWorld w("update\\Zomi7.EXE");
    w.PutPackage();
    driver::Process p;
    ASSERT_TRUE(p.Start(w.medium / "SETUP.EXE", "/passive"));
    bool wizardSeen = false, boxSeen = false, finishSeen = false;
    const DWORD start = GetTickCount();
    while (!p.WaitExit(20) && GetTickCount() - start < 60000) {
        for (auto& win : p.Windows()) {
            if (win.IsMessageBox()) {
                boxSeen |= win.MessageText() == "最新バージョンがインストールされています。";
            } else {
                wizardSeen |= win.Find(IDCANCEL) != nullptr;  // the sheet's Cancel
                finishSeen |= win.FindText(kProduct + " のアップデートは行われませんでした。") != nullptr;
            }
        }
    }
    ASSERT_FALSE(p.Running());
    EXPECT_EQ(p.ExitCode(), 1638u);
    EXPECT_TRUE(wizardSeen);
    EXPECT_TRUE(boxSeen);
    EXPECT_TRUE(finishSeen);
    EXPECT_EQ(ReadFileBytes(w.product / "readme.txt"), "old readme");
}

TEST(Unattended, AJournalInTheInstallFolderIsNeverActedOn) {
    // Where an ordinary user may write, a journal there once made the
    // elevated run delete any file: one of the system folder (a <SYSTEMDIR>
    // component makes it one of the update's folders) and one reached
    // through a folder link. Neither is read any more.
    E2eWorld w("installed\\Zomi7.EXE", "upd_e2e_medium_ソ", "upd_e2e_product_jnl");
    WriteFileBytes(w.medium / "SETUP.INI",
                   Sjis("[PRODUCT]\r\nPRODUCT_NAME=" + kProduct + "\r\nPRODUCT_VERSION=7.5.2.0\r\nPACKAGE=UPDATE.PKG\r\n"
                        "[COMPONENTS]\r\nAPP=APP,<TARGETDIR>,1\r\nSYS=SYS,<SYSTEMDIR>,2\r\n"));
    w.WritePackage(E2eWorld::Package(w.Key(), {{"APP\\readme.txt", "new readme"}, {"SYS\\upd_jnl_new.dat", "new"}}),
                   "UPDATE.PKG");
    const std::string system = platform::SystemFolder(), victim = system + "\\upd_jnl_victim.dll";
    ASSERT_TRUE(WriteFileBytes(victim, "a system file"));
    ASSERT_TRUE(SetFileAttributesW(platform::Wide(victim).c_str(), FILE_ATTRIBUTE_READONLY));
    const char* links = std::getenv("UPD_LINK_FIXTURE");  // prod_bin\BIN: a host link to the system folder
    ASSERT_NE(links, nullptr) << "run through ctest, which lays the links out";
    for (const std::string& dest : {victim, std::string(links) + "\\prod_bin\\BIN\\upd_jnl_victim.dll"}) {
        SCOPED_TRACE(dest);
        ASSERT_TRUE(Exists(dest));
        const std::string journal = "KVJOURNAL\t2\r\nC\t" + dest + ".~kvs0\t" + dest + "\t\t00000021\r\nEND\t1\r\n";
        WriteFileBytes(w.product / "KVUPDATE.JNL", journal);
        ASSERT_TRUE(CopyTo(Sample("installed\\Zomi7.EXE"), w.product / "Zomi7.EXE"));
        Outcome o = RunUnattended(w.medium / "SETUP.EXE", "/quiet /log j.log");
        EXPECT_EQ(o.status, 0u);  // updated, as if no journal were there
        EXPECT_EQ(ReadFileBytes(victim), "a system file");
        EXPECT_EQ(ReadFileBytes(w.product / "KVUPDATE.JNL"), journal);  // nor removed
        const auto lines = LogLines(w.medium / "j.log");
        EXPECT_FALSE(HasPrefix(lines, "box ")) << Dump(lines);  // no recovery box
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](auto& l) { return l.rfind("journal in the install folder ignored: " + w.product / "KVUPDATE.JNL", 0) == 0; }), 1);
    }
    SetFileAttributesW(platform::Wide(victim).c_str(), FILE_ATTRIBUTE_NORMAL);
    for (const std::string& f : {victim, system + "\\upd_jnl_new.dat"}) DeleteFileW(platform::Wide(f).c_str());
}
