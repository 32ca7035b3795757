// The vendor's road under Wine: updpkg builds a medium, updpkg check says
// what SETUP.EXE will do with it, and SETUP.EXE, driven as a user drives it,
// does exactly that: the update, each way it can fail, a small update made
// by updpkg diff that installs what the full one installs, and a signed
// medium that installs only what its vendor signed.
#include <gtest/gtest.h>
#include <windows.h>
#include <imagehlp.h>

#include <map>

#include "product/identity.h"
#include "res/texts.h"
#include "tests/support/app_paths.h"
#include "tests/support/e2e_world.h"
#include "tests/support/fixture_paths.h"
#include "tests/support/test_util.h"
#include "tests/support/update_world.h"
#include "tools/wizdrive/driver.h"
#include "tools/wizdrive/wizard_run.h"
#include "util/name_key.h"
#include "util/version.h"

using testsupport::BinDir;
using testsupport::ReadFileBytes;
using testsupport::RunUpdpkg;
using testsupport::Sample;
using testsupport::Sjis;
using testsupport::UpdateWorld;
using testsupport::WriteFileBytes;

namespace {

// The JSON string that follows the first "key": in json; "null" for a null.
std::string JsonText(const std::string& json, const std::string& key, std::size_t from = 0) {
    std::size_t at = json.find("\"" + key + "\":", from);
    if (at == std::string::npos) return "<absent>";
    at += key.size() + 3;
    if (json.compare(at, 4, "null") == 0) return "null";
    if (json[at] != '"') return json.substr(at, json.find_first_of(",}]", at) - at);
    std::string s;
    for (++at; at < json.size() && json[at] != '"'; ++at) {
        if (json[at] != '\\') {
            s += json[at];
            continue;
        }
        const char e = json[++at];
        if (e == 'n') s += '\n';
        else if (e == 'r') s += '\r';
        else if (e == 't') s += '\t';
        else if (e == 'u') {
            s += static_cast<char>(std::stoi(json.substr(at + 1, 4), nullptr, 16));
            at += 4;
        } else s += e;
    }
    return s;
}

// The faults array, a line each.
std::vector<std::string> JsonFaults(const std::string& json) {
    std::vector<std::string> out;
    std::size_t at = json.find("\"faults\":[");
    if (at == std::string::npos) return out;
    at += 10;
    while (json[at] == '"') {
        const std::size_t end = json.find('"', at + 1);
        out.push_back(json.substr(at + 1, end - at - 1));
        at = end + 1;
        if (json[at] == ',') ++at;
    }
    return out;
}

const std::string kFinishOk = "Zomi7 のアップデートは正常に終了しました。";

std::string Ini(const std::string& extra = "") {
    return "[PRODUCT]\r\nPRODUCT_NAME=Zomi7\r\nPRODUCT_VERSION=7.5.2.0\r\nPACKAGE=ZOMI7UPD.PKG\r\n"
           "[COMPONENTS]\r\nAPP=APP,<TARGETDIR>,1\r\nHELP=HELP,<TARGETDIR>\\HELP,2\r\n" +
           extra;
}

// Every file below a folder: relative path (upper case) and bytes.
void Snapshot(const std::string& dir, const std::string& rel, std::map<std::string, std::string>& out) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(platform::Wide(dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = platform::Narrow(fd.cFileName);
        if (name == "." || name == "..") continue;
        const std::string r = rel.empty() ? name : rel + "\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Snapshot(dir + "\\" + name, r, out);
        else out[names::Key(r)] = ReadFileBytes(dir + "\\" + name);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
}

// A vendor's FILES tree and SETUP.INI, an installed Zomi7 7.5.1.0
// registered under App Paths, and the medium updpkg builds from them.
class Vendor {
public:
    testsupport::ScratchDir work{"upd_e2e_vendor_ソ"};
    testsupport::ScratchDir product{"upd_e2e_installed_表"};
    testsupport::AppPathsEntry appPaths;
    std::string medium = work / "medium";

    Vendor() {
        testsupport::RemoveTree(UpdateWorld::WorkFolder());
        Install(product.path());
        EXPECT_TRUE(appPaths.Set(product / "Zomi7.EXE"));
        testsupport::MakeDir(work / "FILES");
        testsupport::MakeDir(work / "FILES\\APP");
        testsupport::MakeDir(work / "FILES\\HELP");
        EXPECT_TRUE(testsupport::CopyTo(Sample("update\\Zomi7.EXE"), (work / "FILES\\APP\\Zomi7.EXE")));
        WriteFileBytes(work / "FILES\\APP\\readme.txt", "Zomi7 7.5.2.0\r\n");
        WriteFileBytes(work / "FILES\\HELP\\faq.txt", "FAQ 7.5.2.0\r\n");
        WriteFileBytes(work / "FILES\\HELP\\使い方.txt", "使い方\r\n");
        WriteFileBytes(work / "SETUP.INI", Ini());
    }
    ~Vendor() { testsupport::RemoveTree(UpdateWorld::WorkFolder()); }

    // Zomi7 7.5.1.0 as it is installed.
    static void Install(const std::string& dir) {
        testsupport::MakeDir(dir);
        testsupport::MakeDir(dir + "\\HELP");
        EXPECT_TRUE(testsupport::CopyTo(Sample("installed\\Zomi7.EXE"), (dir + "\\Zomi7.EXE")));
        EXPECT_TRUE(testsupport::CopyTo(Sample("installed\\kvp2lib.dll"), (dir + "\\kvp2lib.dll")));
        WriteFileBytes(dir + "\\readme.txt", "Zomi7 7.5.1.0\r\n");
        WriteFileBytes(dir + "\\HELP\\faq.txt", "FAQ 7.5.1.0\r\n");
    }

    DWORD BuildMedium(const std::string& files = "FILES", const std::string& signKey = "") {
        std::vector<std::string> args = {"medium", "--ini", work / "SETUP.INI", "--setup", BinDir() + "SETUP.EXE",
                                         "--key-file", product / "kvp2lib.dll", "--force", "-o", medium, work / files};
        if (!signKey.empty()) args.insert(args.end() - 1, {"--sign-key", signKey});
        return RunUpdpkg(args, nullptr, work.path());
    }
    // SETUP.EXE /quiet: its exit status (0xFFFF when it did not end) and
    // its log.
    DWORD RunQuiet(std::string& log) {
        driver::Process p;
        const bool ended = p.Start(medium + "\\SETUP.EXE", "/quiet /log quiet.log") && p.WaitExit(60000);
        log = ReadFileBytes(medium + "\\quiet.log");
        return ended ? p.ExitCode() : 0xFFFF;
    }
    std::string Check() {
        std::string json;
        const DWORD code = RunUpdpkg({"check", medium, "--product", product.path(), "--json"}, &json, work.path());
        EXPECT_EQ(std::to_string(code), JsonText(json, "status")) << json;
        return json;
    }
    driver::RunReport Run() {
        driver::RunOptions o;
        o.setupExe = medium + "\\SETUP.EXE";
        o.timeoutMs = 60000;
        return driver::RunWizard(o);
    }
};

// The system folder's names, sizes and times.
std::map<std::string, std::string> SystemFolder() {
    char dir[MAX_PATH];
    GetSystemDirectoryA(dir, MAX_PATH);
    std::map<std::string, std::string> out;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((std::string(dir) + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        out[fd.cFileName] = std::to_string(fd.nFileSizeLow) + "," + std::to_string(fd.ftLastWriteTime.dwLowDateTime);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return out;
}

// What the finish page says, or "" when the wizard did not get there.
std::string FinishText(const driver::RunReport& r) {
    if (r.pages.size() != 3 || r.pages[2].texts.empty()) return "";
    return r.pages[2].texts[0];
}

}  // namespace

TEST(MediumEndToEnd, BuiltCheckedAndRun) {
    Vendor v;
    ASSERT_EQ(v.BuildMedium(), 0u);
    std::string json = v.Check();
    EXPECT_EQ(JsonText(json, "status"), "0");
    EXPECT_EQ(JsonText(json, "outcome"), "would update");
    EXPECT_EQ(JsonText(json, "setup_shows"), "null");
    EXPECT_EQ(JsonText(json, "version"), "7.5.2.0");

    const driver::RunReport r = v.Run();
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(FinishText(r), kFinishOk);
    std::map<std::string, std::string> installed, files;
    Snapshot(v.product.path(), "", installed);
    Snapshot(v.work / "FILES\\APP", "", files);
    Snapshot(v.work / "FILES\\HELP", "HELP", files);
    for (const auto& [name, bytes] : files) EXPECT_EQ(installed[name], bytes) << name;

    // Now current: the check says so, in SETUP.EXE's words, and it is so.
    json = v.Check();
    EXPECT_EQ(JsonText(json, "outcome"), "up to date");
    EXPECT_EQ(JsonText(json, "setup_shows"), texts::kUpToDate);
    const driver::RunReport again = v.Run();
    ASSERT_EQ(again.boxes.size(), 1u);
    EXPECT_EQ(again.boxes[0].text, texts::kUpToDate);
}

TEST(MediumEndToEnd, EachPredictedFailureIsWhatSetupShows) {
    {
        SCOPED_TRACE("faulty SETUP.INI");
        Vendor v;
        ASSERT_EQ(v.BuildMedium(), 0u);
        WriteFileBytes(v.medium + "\\SETUP.INI",
                       Sjis("[PRODUCT]\r\nPRODUCT_VERSION=7.5.2.0\r\n[COMPONENTS]\r\nヘルプ=HELP\r\nAPP=APP,<TARGETDIR>,1\r\n"));
        const std::string json = v.Check();
        const auto faults = JsonFaults(json);
        ASSERT_EQ(faults.size(), 2u) << json;
        std::string lines;
        for (const std::string& f : faults) lines += f + "\r\n";
        const driver::RunReport r = v.Run();
        ASSERT_EQ(r.boxes.size(), 1u);
        EXPECT_EQ(r.boxes[0].text, "SETUP.INIが正しくありません。\n\n" + lines);
        EXPECT_TRUE(r.pages.empty());
    }
    {
        SCOPED_TRACE("missing component folder");
        Vendor v;
        ASSERT_EQ(v.BuildMedium(), 0u);
        WriteFileBytes(v.medium + "\\SETUP.INI", Ini("DOCS=DOCS,<TARGETDIR>\\DOCS,3\r\n"));
        const std::string json = v.Check();
        EXPECT_EQ(JsonText(json, "status"), "1");
        EXPECT_EQ(JsonText(json, "setup_shows"), texts::kFilesNotFound);
        const driver::RunReport r = v.Run();
        ASSERT_EQ(r.boxes.size(), 1u);
        EXPECT_EQ(r.boxes[0].text, texts::kFilesNotFound);
    }
    {
        SCOPED_TRACE("package keyed to another build of kvp2lib.dll");
        Vendor v;
        ASSERT_EQ(v.BuildMedium(), 0u);
        WriteFileBytes(v.product / "kvp2lib.dll", "another build of the library");
        const std::string json = v.Check();
        EXPECT_EQ(JsonText(json, "status"), "1");
        EXPECT_EQ(JsonText(json, "setup_shows"), texts::kPackageFormatError);
        const driver::RunReport r = v.Run();
        ASSERT_EQ(r.boxes.size(), 1u);
        EXPECT_EQ(r.boxes[0].text, texts::kPackageFormatError);
    }
    {
        SCOPED_TRACE("Zomi7.EXE still below 7.5.2.0");
        Vendor v;
        EXPECT_TRUE(testsupport::CopyTo(Sample("installed\\Zomi7.EXE"), (v.work / "FILES\\APP\\Zomi7.EXE")));
        EXPECT_EQ(v.BuildMedium(), 1u);  // built, and judged
        std::string json = v.Check();
        EXPECT_EQ(JsonText(json, "version"), "7.5.1.0");
        EXPECT_NE(json.find("every run would update again"), std::string::npos) << json;
        // SETUP.EXE reports success, and the product is no newer: the next
        // run updates again, as predicted.
        const driver::RunReport r = v.Run();
        EXPECT_EQ(FinishText(r), kFinishOk);
        VS_FIXEDFILEINFO info;
        ASSERT_TRUE(ReadFileVersion(v.product / "Zomi7.EXE", &info));
        EXPECT_TRUE(product::NeedsUpdate(info.dwFileVersionMS, info.dwFileVersionLS));
        json = v.Check();
        EXPECT_EQ(JsonText(json, "outcome"), "would update");
    }
}

TEST(MediumEndToEnd, DiffInstallsWhatTheFullUpdateInstalls) {
    Vendor v;
    // The new version's tree: the old one with a new executable, a new
    // readme and a new help file; faq.txt and the library unchanged.
    const std::string oldTree = v.work / "old", newTree = v.work / "new";
    Vendor::Install(oldTree);
    Vendor::Install(newTree);
    EXPECT_TRUE(testsupport::CopyTo(Sample("update\\Zomi7.EXE"), (newTree + "\\Zomi7.EXE")));
    WriteFileBytes(newTree + "\\readme.txt", "Zomi7 7.5.2.0\r\n");
    WriteFileBytes(newTree + "\\HELP\\使い方.txt", "使い方\r\n");
    std::string out;
    ASSERT_EQ(RunUpdpkg({"diff", oldTree, newTree, "--ini", v.work / "SETUP.INI", "-o", v.work / "SMALL"}, &out,
                     v.work.path()),
              0u);
    EXPECT_FALSE(testsupport::Exists(v.work / "SMALL\\APP\\kvp2lib.dll"));
    EXPECT_FALSE(testsupport::Exists(v.work / "SMALL\\HELP\\faq.txt"));
    EXPECT_TRUE(testsupport::Exists(v.work / "SMALL\\APP\\Zomi7.EXE"));

    // The full update: every file of the new tree laid out by component.
    std::string full = v.work / "FULL";
    testsupport::MakeDir(full);
    testsupport::MakeDir(full + "\\APP");
    testsupport::MakeDir(full + "\\HELP");
    for (const char* f : {"Zomi7.EXE", "kvp2lib.dll", "readme.txt"})
        testsupport::CopyTo((newTree + "\\" + f), (full + "\\APP\\" + f));
    for (const std::string f : {"faq.txt", "使い方.txt"})
        testsupport::CopyTo((newTree + "\\HELP\\" + f), (full + "\\HELP\\" + f));

    std::map<std::string, std::string> results[2];
    const char* trees[] = {"SMALL", "FULL"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(trees[i]);
        testsupport::RemoveTree(v.product.path());
        Vendor::Install(v.product.path());
        ASSERT_EQ(v.BuildMedium(trees[i]), 0u);
        EXPECT_EQ(JsonText(v.Check(), "status"), "0");
        EXPECT_EQ(FinishText(v.Run()), kFinishOk);
        Snapshot(v.product.path(), "", results[i]);
    }
    EXPECT_EQ(results[0], results[1]);
    std::map<std::string, std::string> wanted;
    Snapshot(newTree, "", wanted);
    EXPECT_EQ(results[0], wanted);
}

// Each attack on a signed medium that the unsigned SETUP.EXE falls for is
// refused, and changes nothing; a signed medium and an unsigned one with the
// SETUP.EXE as built update.
TEST(MediumEndToEnd, SignedMediumInstallsOnlyWhatItsVendorSigned) {
    enum Attack { None, Unsigned, Repacked, SystemComponent, IniByte, NoSig, OtherKey, AddedFile };
    const struct {
        const char* name;
        Attack attack;
        bool filesMedium;  // no package: the files lie below FILES
        DWORD status;
    } cases[] = {
        {"signed medium", None, false, 0},
        {"signed FILES medium", None, true, 0},
        {"unsigned medium, SETUP.EXE as built", Unsigned, false, 0},
        {"package rebuilt with the right CRC key", Repacked, false, 1620},
        {"SETUP.INI given a <SYSTEMDIR> component", SystemComponent, false, 1620},
        {"one byte of SETUP.INI changed", IniByte, false, 1620},
        {"SETUP.SIG removed", NoSig, false, 1620},
        {"SETUP.SIG made with another key", OtherKey, false, 1620},
        {"a file added below FILES", AddedFile, true, 1620},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Vendor v;
        const std::string key = v.work / "vendor.key", other = v.work / "other.key";
        ASSERT_EQ(RunUpdpkg({"keygen", "-o", key}, nullptr, v.work.path()), 0u);
        if (c.filesMedium) WriteFileBytes(v.work / "SETUP.INI", Ini().replace(Ini().find("PACKAGE="), 22, ""));
        ASSERT_EQ(v.BuildMedium("FILES", c.attack == Unsigned ? "" : key), 0u);
        DWORD header = 0, sum = 1;  // the image's checksum stays true once the key is in
        ASSERT_EQ(MapFileAndCheckSumW(platform::Wide(v.medium + "\\SETUP.EXE").c_str(), &header, &sum), CHECKSUM_SUCCESS);
        EXPECT_EQ(header, sum);

        // The vendor's files and the attacker's DLL, packed where an
        // unelevated process can write.
        testsupport::MakeDir((v.work / "FILES\\SYS"));
        WriteFileBytes(v.work / "FILES\\APP\\evil.dll", "attacker");
        WriteFileBytes(v.work / "FILES\\SYS\\evil.dll", "attacker");
        auto repack = [&] {
            EXPECT_EQ(RunUpdpkg({"build", "--key-file", v.product / "kvp2lib.dll", "-o", v.medium + "\\ZOMI7UPD.PKG",
                              v.work / "FILES"}, nullptr, v.work.path()), 0u);
        };
        switch (c.attack) {
            case Repacked: repack(); break;
            case SystemComponent:
                repack();
                WriteFileBytes(v.medium + "\\SETUP.INI", ReadFileBytes(v.medium + "\\SETUP.INI") + "SYS=SYS,<SYSTEMDIR>,1\r\n");
                break;
            case IniByte: {
                std::string ini = ReadFileBytes(v.medium + "\\SETUP.INI");
                ini[ini.find("<TARGETDIR>\\HELP")] = 'X';
                WriteFileBytes(v.medium + "\\SETUP.INI", ini);
                break;
            }
            case NoSig: DeleteFileW(platform::Wide(v.medium + "\\SETUP.SIG").c_str()); break;
            case OtherKey: {
                ASSERT_EQ(RunUpdpkg({"keygen", "-o", other}, nullptr, v.work.path()), 0u);
                const std::string copy = v.work / "copy";
                EXPECT_EQ(RunUpdpkg({"medium", "--ini", v.medium + "\\SETUP.INI", "--setup", BinDir() + "SETUP.EXE",
                                  "--key-file", v.product / "kvp2lib.dll", "--sign-key", other, "-o", copy,
                                  v.work / "FILES"}, nullptr, v.work.path()), 0u);
                for (const char* f : {"\\SETUP.SIG", "\\ZOMI7UPD.PKG"})  // the attacker's, beside the vendor's SETUP.EXE
                    testsupport::CopyTo((copy + f), (v.medium + f));
                break;
            }
            case AddedFile: WriteFileBytes(v.medium + "\\FILES\\APP\\evil.dll", "attacker"); break;
            default: break;
        }
        const std::string json = v.Check();  // updpkg predicts it
        EXPECT_EQ(JsonText(json, "status"), c.status ? "1" : "0") << json;

        std::map<std::string, std::string> before, after;
        Snapshot(v.product.path(), "", before);
        const auto system = SystemFolder();
        std::string log;
        EXPECT_EQ(v.RunQuiet(log), c.status);
        // Why, in the log: which file, which check.
        EXPECT_EQ(log.find("signature: refused: ") != std::string::npos, c.status != 0) << log;
        Snapshot(v.product.path(), "", after);
        EXPECT_EQ(after.count("EVIL.DLL"), 0u);
        EXPECT_TRUE(SystemFolder() == system) << "the system folder changed";
        if (c.status) {
            EXPECT_TRUE(after == before) << "the product changed";
            EXPECT_EQ(JsonText(json, "setup_shows"), texts::kSignatureRefused);
        } else {
            EXPECT_EQ(after["README.TXT"], "Zomi7 7.5.2.0\r\n");
        }
        if (c.attack == NoSig) {  // and in the wizard, the box
            const driver::RunReport r = v.Run();
            ASSERT_EQ(r.boxes.size(), 1u);
            EXPECT_EQ(r.boxes[0].text, texts::kSignatureRefused);
            EXPECT_EQ(r.boxes[0].buttons, std::vector<int>{IDOK});
            EXPECT_TRUE(r.pages.empty());
            EXPECT_EQ(r.exitCode, 1620u);
        }
    }
}

// updpkg check's predicted files against what SETUP.EXE installs: each file
// once, by the name Windows gives it, with the bytes of the component that
// wins, and nothing else changed.
TEST(MediumEndToEnd, CheckPredictsTheFilesSetupInstalls) {
    struct Medium {
        const char* what;
        std::string components;
        std::vector<std::pair<std::string, std::string>> files;  // more below FILES
    };
    const Medium media[] = {
        {"a shared source folder, a later component over an earlier one",
         "COPY=APP,<TARGETDIR>\\COPY,3\r\nHELP2=HELP2,<TARGETDIR>\\help,4\r\n",
         {{"HELP2\\FAQ.TXT", "FAQ of the later component\r\n"}}},
        {"names that differ only in full-width or Greek case, a destination spelled otherwise",
         "W1=W1,<TARGETDIR>\\W,3\r\nW2=W2,<TARGETDIR>\\\\w\\,4\r\n",
         {{"W1\\Ａ.txt", "1"}, {"W1\\α.dat", "1"}, {"W2\\ａ.txt", "2"}, {"W2\\Α.dat", "2"}}},
    };
    for (const Medium& m : media) {
        SCOPED_TRACE(m.what);
        Vendor v;
        for (const auto& [name, bytes] : m.files) {
            testsupport::MakeDir(v.work / ("FILES\\" + name.substr(0, name.find('\\'))));
            WriteFileBytes(v.work / ("FILES\\" + name), bytes);
        }
        WriteFileBytes(v.work / "SETUP.INI", Ini(m.components));
        ASSERT_EQ(v.BuildMedium(), 0u);
        const std::string json = v.Check();
        std::map<std::string, std::string> predicted, before, after;  // by the name key below the product
        for (std::size_t at = json.find("\"files\":["); (at = json.find("{\"folder\":", at)) != std::string::npos; ++at) {
            const std::string path = JsonText(json, "folder", at) + "\\" + JsonText(json, "file", at);
            ASSERT_TRUE(names::IsAtOrBelow(path, v.product.path())) << path;
            const std::string from = ReadFileBytes(v.work / ("FILES\\" + JsonText(json, "from", at)));
            EXPECT_TRUE(predicted.emplace(names::Key(path.substr(v.product.path().size() + 1)), from).second)
                << "listed twice: " << path;
        }
        Snapshot(v.product.path(), "", before);
        std::string log;
        EXPECT_EQ(v.RunQuiet(log), 0u) << log;
        Snapshot(v.product.path(), "", after);
        for (const auto& [name, bytes] : predicted) EXPECT_EQ(after[name], bytes) << name;
        for (const auto& [name, bytes] : after) {
            const auto was = before.find(name);
            if (was == before.end() || was->second != bytes) {
                EXPECT_EQ(predicted.count(name), 1u) << name;
            }
        }
    }
}
