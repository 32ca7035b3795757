// updpkg medium, check and diff on trees made by the test: each way a medium
// can fail is predicted with the message SETUP.EXE would show, and a sound
// medium's copies are planned file by file.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "product/identity.h"
#include "res/texts.h"
#include "tests/support/pe_image.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/identify.h"
#include "tools/updpkg/medium_check.h"
#include "tools/updpkg/medium_signing.h"
#include "tools/updpkg/names.h"
#include "tools/updpkg/vendor.h"
#include "tools/updpkg/vendor_cli.h"

namespace fs = std::filesystem;
using updpkg::CheckReport;
using updpkg::PlannedCopy;

namespace {

void Write(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Exe(uint32_t ms, uint32_t ls) {
    testsupport::PeOptions o;
    o.ms = ms;
    o.ls = ls;
    return testsupport::MakePe(o);
}

const std::string kSetupExe =
    testsupport::MakePe({.strings = {{u"ProductName", u"アップデートウィザード"}, {u"InternalName", u"SETUP"}}});

const std::string kIni =
    "[PRODUCT]\nPRODUCT_NAME=Zomi7\nPRODUCT_VERSION=7.5.2.0\nPACKAGE=ZOMI7UPD.PKG\n"
    "[COMPONENTS]\nAPP=APP,<TARGETDIR>,1\nHELP=HELP,<TARGETDIR>\\HELP,2\n";

// A vendor's tree (FILES, SETUP.INI, SETUP.EXE) and an installed product.
class MediumTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("updpkg_medium_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        Write(root / "FILES/APP/Zomi7.EXE", Exe(0x70005, 0x20000));
        Write(root / "FILES/APP/readme.txt", "new readme");
        Write(root / "FILES/HELP/faq.txt", "faq");
        Write(root / "FILES/HELP/sub/deep.txt", "deep");
        Write(root / "SETUP.INI", kIni);
        Write(root / "SETUP.EXE", kSetupExe);
        Write(root / "product/Zomi7.EXE", Exe(0x70005, 0x10000));
        Write(root / "product/kvp2lib.dll", "the product's library");
        Write(root / "product/readme.txt", "old readme");
        Write(root / "product/HELP/FAQ.TXT", "faq");  // same bytes, other case
    }
    void TearDown() override { fs::remove_all(root); }

    std::string Key() const {
        const std::string lib = Read(root / "product/kvp2lib.dll");
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08lx",
                      crc32(0, reinterpret_cast<const Bytef*>(lib.data()), static_cast<uInt>(lib.size())));
        return hex;
    }
    int Medium(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"medium", "--ini", (root / "SETUP.INI").string(), "--setup",
                                         (root / "SETUP.EXE").string(), "--key", Key(), "-o",
                                         (root / "medium").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back((root / "FILES").string());
        return updpkg::RunVendorCommand(args);
    }
    CheckReport Check(bool withProduct = true, std::optional<uint32_t> key = std::nullopt) {
        updpkg::CheckInput in;
        in.medium = (root / "medium").string();
        if (withProduct) in.product = (root / "product").string();
        in.key = key;
        return updpkg::CheckMedium(in);
    }

    fs::path root;
};

const PlannedCopy* Find(const CheckReport& r, const std::string& file) {
    for (const PlannedCopy& c : r.copies) {
        if (c.file == file) return &c;
    }
    return nullptr;
}

// A strict reader of JSON (RFC 8259) that says only whether the text is
// one valid value, strings in valid UTF-8 included.
class JsonChecker {
public:
    explicit JsonChecker(const std::string& t) : m_t(t) {}
    bool Valid() {
        Blank();
        if (!Value()) return false;
        Blank();
        return m_i == m_t.size();
    }

private:
    void Blank() {
        while (m_i < m_t.size() && std::strchr(" \t\r\n", m_t[m_i])) ++m_i;
    }
    bool Eat(char c) {
        Blank();
        if (m_i < m_t.size() && m_t[m_i] == c) return ++m_i, true;
        return false;
    }
    bool Word(const char* w) {
        const std::size_t n = std::strlen(w);
        if (m_t.compare(m_i, n, w) != 0) return false;
        m_i += n;
        return true;
    }
    bool String() {
        if (!Eat('"')) return false;
        while (m_i < m_t.size()) {
            const unsigned char c = static_cast<unsigned char>(m_t[m_i++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c == '\\') {
                if (m_i >= m_t.size()) return false;
                const char e = m_t[m_i++];
                if (e == 'u') {
                    if (m_i + 4 > m_t.size()) return false;
                    for (int k = 0; k < 4; ++k) {
                        if (!std::isxdigit(static_cast<unsigned char>(m_t[m_i++]))) return false;
                    }
                } else if (!std::strchr("\"\\/bfnrt", e)) {
                    return false;
                }
            } else if (c >= 0x80) {
                const int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : -1;
                if (more < 0 || c > 0xF4) return false;
                for (int k = 0; k < more; ++k) {
                    if (m_i >= m_t.size() || (static_cast<unsigned char>(m_t[m_i++]) & 0xC0) != 0x80) return false;
                }
            }
        }
        return false;
    }
    bool Value() {
        Blank();
        if (m_i >= m_t.size()) return false;
        const char c = m_t[m_i];
        if (c == '{') {
            ++m_i;
            if (Eat('}')) return true;
            do {
                Blank();
                if (!String() || !Eat(':') || !Value()) return false;
            } while (Eat(','));
            return Eat('}');
        }
        if (c == '[') {
            ++m_i;
            if (Eat(']')) return true;
            do {
                if (!Value()) return false;
            } while (Eat(','));
            return Eat(']');
        }
        if (c == '"') return String();
        if (Word("true") || Word("false") || Word("null")) return true;
        const std::size_t start = m_i;
        if (m_t[m_i] == '-') ++m_i;
        while (m_i < m_t.size() && std::isdigit(static_cast<unsigned char>(m_t[m_i]))) ++m_i;
        return m_i > start;
    }
    const std::string& m_t;
    std::size_t m_i = 0;
};

}  // namespace

TEST(CheckJson, ValidForEveryReportShape) {
    CheckReport r;
    r.medium = "/tmp/m\"edium\\";
    r.ini.productName = "ゾミ表";
    r.ini.package = "P\x01.PKG";                                 // a control character
    r.faults = {"[COMPONENTS] ソ", "[COMPONENTS] \xFF\xFE"};     // the last is no UTF-8
    r.components.push_back({setupini::Component{"A", "a", "<TARGETDIR>\\x", 1}, std::nullopt, 0});
    r.components.push_back({setupini::Component{"B", "b", "<SYSTEMDIR>", -3}, false, 0});
    r.packageChecked = true;
    r.packageError = "bad \"checksum\"\n";
    r.exeChecked = true;
    r.withProduct = true;
    r.productFolder = "/opt/\xE8\xA1\xA8";  // UTF-8 path
    r.key = 0xABCDEF01;
    r.outcome = "would update";
    r.copies.push_back({"<TARGETDIR>\\HELP", "使い方.txt", PlannedCopy::Add, "HELP\\使い方.txt"});
    r.copies.push_back({"<SYSTEMDIR>", "x.dll", PlannedCopy::Elsewhere, "SYS\\x.dll"});
    r.problems.push_back({"a \"quoted\" problem", texts::kFilesNotFound});
    r.notes.push_back("tab\there");
    r.firstBox = texts::kPackageFormatError;
    r.status = 1;
    const std::string json = updpkg::ReportJson(r);
    EXPECT_TRUE(JsonChecker(json).Valid()) << json;
    // UTF-8 as it is; the package's control character escaped.
    EXPECT_NE(json.find("\"product_name\":\"ゾミ表\""), std::string::npos) << json;
    EXPECT_NE(json.find("P\\u0001.PKG"), std::string::npos) << json;
    const std::string separator = updpkg::kPathSeparator == '/' ? "/" : "\\\\";  // as JSON writes it
    EXPECT_NE(json.find("\"folder\":\"/opt/\xE8\xA1\xA8" + separator + "HELP\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"from\":\"HELP\\\\使い方.txt\""), std::string::npos) << json;

    CheckReport empty;
    EXPECT_TRUE(JsonChecker(updpkg::ReportJson(empty)).Valid());
    // The checker itself refuses what is not JSON.
    EXPECT_FALSE(JsonChecker("{\"a\":1,}").Valid());
    EXPECT_FALSE(JsonChecker("{\"a\":\"\x83\x5D\"}").Valid());
}

TEST_F(MediumTest, SoundMediumAndThePlannedCopies) {
    // A UTF-8 SETUP.INI with LF ends becomes code page 932 with CRLF.
    Write(root / "SETUP.INI", "\xEF\xBB\xBF" + kIni);
    ASSERT_EQ(Medium(), 0);
    EXPECT_TRUE(fs::exists(root / "medium/ZOMI7UPD.PKG"));
    EXPECT_EQ(Read(root / "medium/SETUP.EXE"), kSetupExe);
    const std::string ini = Read(root / "medium/SETUP.INI");
    EXPECT_EQ(ini.substr(0, 11), "[PRODUCT]\r\n");
    EXPECT_EQ(ini.find("\n\n"), std::string::npos);

    const CheckReport r = Check();
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.problems.empty());
    EXPECT_TRUE(r.packageSound);
    EXPECT_EQ(r.entries, 4u);
    ASSERT_TRUE(r.exeVersion);
    EXPECT_EQ(r.exeVersion->Text(), "7.5.2.0");
    ASSERT_TRUE(r.installed);
    EXPECT_EQ(r.outcome, "would update");
    EXPECT_TRUE(r.firstBox.empty());
    ASSERT_EQ(r.copies.size(), 4u);
    EXPECT_EQ(Find(r, "Zomi7.EXE")->state, PlannedCopy::Replace);
    EXPECT_EQ(Find(r, "readme.txt")->state, PlannedCopy::Replace);
    EXPECT_EQ(Find(r, "faq.txt")->state, PlannedCopy::Same);
    ASSERT_TRUE(Find(r, "sub\\deep.txt"));
    EXPECT_EQ(Find(r, "sub\\deep.txt")->state, PlannedCopy::Add);
    EXPECT_EQ(Find(r, "sub\\deep.txt")->folder, "<TARGETDIR>\\HELP");

    const std::string json = updpkg::ReportJson(r);
    EXPECT_NE(json.find("\"status\":0"), std::string::npos);
    EXPECT_NE(json.find("\"outcome\":\"would update\""), std::string::npos);
    EXPECT_NE(json.find("\"state\":\"add\""), std::string::npos);
    // Without a key nothing of the package can be judged, and so it says.
    const CheckReport blind = Check(false);
    EXPECT_FALSE(blind.packageChecked);
    EXPECT_FALSE(blind.notes.empty());
    EXPECT_FALSE(blind.components[0].found.has_value());
}

TEST_F(MediumTest, ALinkWhereTheUpdateWritesIsPredictedAsSetupRefusesIt) {
    // A folder link, a file link and a second name of a file where the
    // update writes: SETUP.EXE's link box, naming it. A link in a folder
    // the update does not touch changes nothing.
#ifdef _WIN32
    GTEST_SKIP() << "Wine makes no links: the end-to-end link table checks updpkg.exe with links made on the host";
#endif
    ASSERT_EQ(Medium(), 0);
    Write(root / "elsewhere/FAQ.TXT", "faq");
    Write(root / "victim.txt", "someone else's");
    const struct {
        void (*make)(const fs::path& product, const fs::path& root);
        const char* link;  // "" for none
    } cases[] = {
        {[](const fs::path& p, const fs::path& r) { fs::remove_all(p / "HELP"), fs::create_directory_symlink(r / "elsewhere", p / "HELP"); },
         "<TARGETDIR>\\HELP"},
        {[](const fs::path& p, const fs::path& r) { fs::remove(p / "readme.txt"), fs::create_symlink(r / "victim.txt", p / "readme.txt"); },
         "<TARGETDIR>\\readme.txt"},
        {[](const fs::path& p, const fs::path& r) { fs::remove(p / "readme.txt"), fs::create_hard_link(r / "victim.txt", p / "readme.txt"); },
         "<TARGETDIR>\\readme.txt"},
        {[](const fs::path& p, const fs::path& r) { fs::create_directory_symlink(r / "elsewhere", p / "DOCS"); }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        fs::remove_all(root / "product");
        Write(root / "product/Zomi7.EXE", Exe(0x70005, 0x10000));
        Write(root / "product/kvp2lib.dll", "the product's library");
        Write(root / "product/readme.txt", "old readme");
        Write(root / "product/HELP/FAQ.TXT", "faq");
        c.make(root / "product", root);
        const CheckReport r = Check();
        EXPECT_EQ(r.status, *c.link ? 1 : 0);
        EXPECT_EQ(r.firstBox, *c.link ? texts::kDestinationLink + std::string(c.link) : "");
        if (*c.link) {
            ASSERT_EQ(r.problems.size(), 1u);
            EXPECT_NE(r.problems[0].what.find(c.link), std::string::npos) << r.problems[0].what;
        }
    }
    EXPECT_EQ(Read(root / "victim.txt"), "someone else's");
}

TEST_F(MediumTest, EachFailurePredictedWithSetupsMessage) {
    ASSERT_EQ(Medium(), 0);
    // Another build of the library: the package fails its entry checks.
    Write(root / "product/kvp2lib.dll", "another build");
    CheckReport r = Check();
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.packageSound);
    EXPECT_EQ(r.firstBox, texts::kPackageFormatError);

    // Installed 7.5.2.0: up to date, told before the package is read.
    Write(root / "product/Zomi7.EXE", Exe(0x70005, 0x20000));
    r = Check();
    EXPECT_EQ(r.outcome, "up to date");
    EXPECT_EQ(r.firstBox, texts::kUpToDate);
    EXPECT_TRUE(r.copies.empty());

    // A faulty SETUP.INI on the medium: SETUP.EXE's lines, in its order.
    Write(root / "medium/SETUP.INI", "[COMPONENTS]\r\nAPP=APP\r\n[PRODUCT]\r\nPRODUCT_VERSION=1\r\n");
    r = Check(false, 1);
    ASSERT_EQ(r.faults, (std::vector<std::string>{"[PRODUCT] PRODUCT_NAME", "[COMPONENTS] APP"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.firstBox.empty());  // the SETUP.INI box comes first
    Write(root / "medium/SETUP.INI", "\xEF\xBB\xBF" + kIni);
    EXPECT_EQ(Check().status, 1);  // a byte order mark hides [PRODUCT] from Windows

    // A misspelt macro: SETUP.EXE's fault line, exit 1, no copy planned "outside".
    Write(root / "product/kvp2lib.dll", "the product's library");
    Write(root / "product/Zomi7.EXE", Exe(0x70005, 0x10000));
    Write(root / "medium/SETUP.INI", kIni + "DOCS=HELP,<TARGETDIRR>\\DOCS,3\n");
    EXPECT_EQ(updpkg::RunVendorCommand({"check", (root / "medium").string(), "--product", (root / "product").string()}), 1);
    r = Check();
    EXPECT_EQ(r.faults, std::vector<std::string>{"[COMPONENTS] DOCS"});
    EXPECT_TRUE(r.copies.empty() && r.outcome == "would update");
}

TEST_F(MediumTest, WhatTheVendorsTreeMustHold) {
    // A component whose folder FILES lacks: nothing is written.
    Write(root / "SETUP.INI", kIni + "DOCS=DOCS,<TARGETDIR>\\DOCS,3\n");
    EXPECT_EQ(Medium(), 1);
    EXPECT_FALSE(fs::exists(root / "medium"));
    // Neither for a SETUP.EXE that is not there.
    Write(root / "SETUP.INI", kIni);
    fs::rename(root / "SETUP.EXE", root / "SETUP.BAK");
    EXPECT_THROW(Medium(), updpkg::FileError);
    EXPECT_FALSE(fs::exists(root / "medium"));
    fs::rename(root / "SETUP.BAK", root / "SETUP.EXE");
    // A faulty SETUP.INI: nothing is written either.
    Write(root / "SETUP.INI", "[PRODUCT]\nPRODUCT_NAME=x\n");
    EXPECT_EQ(Medium(), 1);
    EXPECT_FALSE(fs::exists(root / "medium"));
    Write(root / "SETUP.INI", kIni + "DOCS=HELP,<TARGETDIRR>,3\n");
    EXPECT_EQ(Medium(), 1);
    EXPECT_FALSE(fs::exists(root / "medium"));

    // A Zomi7.EXE still below 7.5.2.0 is built but judged a failure.
    Write(root / "SETUP.INI", kIni);
    Write(root / "FILES/APP/Zomi7.EXE", Exe(0x70005, 0x1FFFF));
    EXPECT_EQ(Medium(), 1);
    EXPECT_EQ(Check().exeVersion->Text(), "7.5.1.65535");
    // A folder that is not empty is refused without --force.
    EXPECT_THROW(Medium(), updpkg::UsageError);
    Write(root / "FILES/APP/Zomi7.EXE", Exe(0x80000, 0));
    EXPECT_EQ(Medium({"--force"}), 0);

    // No PACKAGE: the files are copied into FILES beside SETUP.EXE; a folder
    // removed from there is reported with SETUP.EXE's message.
    fs::remove_all(root / "medium");
    Write(root / "SETUP.INI", "[PRODUCT]\nPRODUCT_NAME=Zomi7\nPRODUCT_VERSION=7.5.2.0\n[COMPONENTS]\napp=app,<TARGETDIR>,1\n");
    ASSERT_EQ(Medium(), 0);  // "app" finds "APP" as Windows would
    EXPECT_EQ(Read(root / "medium/FILES/HELP/faq.txt"), "faq");
    fs::remove_all(root / "medium/FILES/APP");
    CheckReport r = Check();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.firstBox, texts::kFilesNotFound);
    fs::remove_all(root / "medium/FILES");
    r = Check();
    EXPECT_EQ(r.firstBox, texts::kFilesNotFound);
    EXPECT_FALSE(*r.components[0].found);
}

TEST_F(MediumTest, TheWrongProgramForSetupOrKey) {
    // A Zomi7.EXE given as SETUP.EXE is refused before anything is written.
    const std::string zomi7 = testsupport::MakePe({.strings = {{u"ProductName", u"ゾミ７"}}});
    Write(root / "SETUP.EXE", zomi7);
    EXPECT_THROW(Medium(), updpkg::UsageError);
    EXPECT_FALSE(fs::exists(root / "medium"));
    Write(root / "SETUP.EXE", testsupport::MakePe({.strings = {{u"ProductName", u"Other"}, {u"InternalName", u"SETUP"}}}));
    ASSERT_EQ(Medium(), 0);  // either name will do
    // check finds it on a medium.
    Write(root / "medium/SETUP.EXE", zomi7);
    const CheckReport r = Check();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(updpkg::ReportText(r).find("SETUP.EXE: not the update wizard"), std::string::npos);

    // A key file that is no DLL or has another name is doubted, not refused.
    Write(root / "KVP2LIB.DLL", testsupport::MakePe({.library = true, .strings = {}}));
    fs::copy_file(root / "KVP2LIB.DLL", root / "kvp2lib-7.5.1.dll");
    for (const auto& [file, doubts] : {std::pair{"KVP2LIB.DLL", 0u}, {"kvp2lib-7.5.1.dll", 1u}, {"SETUP.EXE", 2u}}) {
        EXPECT_EQ(updpkg::KeyFileDoubts((root / file).string()).size(), doubts) << file;
    }
}

TEST_F(MediumTest, SignedMediaPredictedAsSetupChecksThem) {
    Write(root / "SETUP.EXE", testsupport::MakePeWithKeySlot());
    const std::string key = (root / "vendor.key").string();
    ASSERT_EQ(updpkg::RunVendorCommand({"keygen", "-o", key}), 0);
    EXPECT_THROW(updpkg::RunVendorCommand({"keygen", "-o", key}), updpkg::FileError);  // never replaced
#ifndef _WIN32
    EXPECT_EQ(fs::status(key).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
#endif
    ASSERT_EQ(Medium({"--sign-key", key}), 0);
    CheckReport r = Check();
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.signature.inForce);
    EXPECT_EQ(r.signature.trustedKey, crypto::KeyId(updpkg::ReadPublicKey((root / "vendor.pub").string())));
    Write(root / "medium/ZOMI7UPD.PKG", Read(root / "medium/ZOMI7UPD.PKG") + "x");
    r = Check();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.firstBox, texts::kSignatureRefused);

    // Without a package: a file added below FILES, or one changed there.
    fs::remove_all(root / "medium");
    Write(root / "SETUP.INI", "[PRODUCT]\nPRODUCT_NAME=Zomi7\nPRODUCT_VERSION=7.5.2.0\n[COMPONENTS]\nAPP=APP,<TARGETDIR>,1\n");
    ASSERT_EQ(Medium({"--sign-key", key}), 0);
    Write(root / "medium/FILES/APP/added.dll", "x");
    EXPECT_EQ(Check().firstBox, texts::kSignatureRefused);
    fs::remove(root / "medium/FILES/APP/added.dll");
    Write(root / "medium/FILES/APP/readme.txt", "new readmE");  // its signed size
    r = Check();
    EXPECT_EQ(r.firstBox, texts::kSignatureRefused);
    EXPECT_NE(r.signature.refusal.find("APP\\readme.txt: SHA-256"), std::string::npos) << r.signature.refusal;
    // A SETUP.EXE that trusts no key installs it: a warning, no failure.
    Write(root / "medium/SETUP.EXE", testsupport::MakePeWithKeySlot());
    r = Check();
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(updpkg::ReportJson(r).find("\"warning\":\"SETUP.EXE trusts no key"), std::string::npos);
}

TEST_F(MediumTest, DiffShipsOnlyWhatChanged) {
    Write(root / "new/Zomi7.EXE", Exe(0x70005, 0x20000));
    Write(root / "new/readme.txt", "old readme");  // unchanged
    Write(root / "new/HELP/faq.txt", "faq 2");
    Write(root / "new/HELP/new.txt", "new");
    Write(root / "new/kvp2lib.dll", "the product's library");
    Write(root / "new/DOCS/a.txt", "docs");  // as installed: DOCS gets no folder
    Write(root / "product/DOCS/a.txt", "docs");
    Write(root / "DIFF.INI", kIni + "DOCS=DOCS,<TARGETDIR>\\DOCS,3\n");
    fs::remove_all(root / "FILES");
    std::vector<std::string> diff = {"diff", (root / "product").string(), (root / "new").string(), "--ini",
                                     (root / "DIFF.INI").string(), "-o", (root / "FILES").string()};
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(updpkg::RunVendorCommand(diff), 0);
    const std::string warned = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(warned.find("component DOCS: none of its files"), std::string::npos) << warned;
    EXPECT_EQ(warned.find("component APP"), std::string::npos) << warned;
    EXPECT_THROW(updpkg::RunVendorCommand(diff), updpkg::UsageError);  // FILES is not empty now
    diff.push_back("--force");
    ASSERT_EQ(updpkg::RunVendorCommand(diff), 0);
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root / "FILES")) {
        if (e.is_regular_file()) files.push_back(fs::relative(e.path(), root / "FILES").generic_string());
    }
    std::sort(files.begin(), files.end());
    // HELP's files go to HELP (its destination is the closer one), not APP.
    EXPECT_EQ(files, (std::vector<std::string>{"APP/Zomi7.EXE", "HELP/faq.txt", "HELP/new.txt"}));
    // The small medium built from it checks sound over the old product.
    ASSERT_EQ(Medium(), 0);
    const CheckReport r = Check();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.copies.size(), 3u);
}

TEST(VendorCommandLine, TakesEachCommandsOptionsAndNoOthers) {
    using updpkg::ParseVendorCommandLine;
    const auto m = ParseVendorCommandLine(
        {"medium", "--ini", "S.INI", "--setup", "SETUP.EXE", "--key=0xBEEF", "--level", "9", "--force", "-o", "M", "F"});
    EXPECT_EQ(*m.key, 0xBEEFu);
    EXPECT_EQ(m.level, 9);
    EXPECT_TRUE(m.force);
    EXPECT_EQ(m.operands, std::vector<std::string>{"F"});
    const auto c = ParseVendorCommandLine({"check", "M", "--product", "P", "--json"});
    EXPECT_EQ(c.product, "P");
    EXPECT_TRUE(c.json);
    EXPECT_TRUE(ParseVendorCommandLine({"diff", "--help"}).help);
    EXPECT_EQ(ParseVendorCommandLine({"sign", "--sign-key", "V.key", "M"}).signKey, "V.key");
    EXPECT_EQ(ParseVendorCommandLine({"keygen", "-o", "V.key"}).output, "V.key");

    const std::vector<std::vector<std::string>> refused = {
        {"medium", "--ini", "S", "--setup", "E", "-o", "M", "F"},                   // no key
        {"medium", "--ini", "S", "--key", "1", "-o", "M", "F"},                     // no --setup
        {"medium", "--ini", "S", "--setup", "E", "--key", "1", "F"},                // no -o
        {"medium", "--ini", "S", "--setup", "E", "--key", "1", "--level", "10", "-o", "M", "F"},
        {"check", "M", "--key", "1", "--product", "P"},                             // two keys
        {"check", "M", "--force"},                                                  // medium's option
        {"check", "M", "--json=yes"},
        {"check"},                                                                  // no medium
        {"check", "M", "N"},
        {"diff", "OLD", "--ini", "S", "-o", "F"},                                   // one tree
        {"diff", "OLD", "NEW", "--ini", "S", "-o", "F", "--key", "1"},
        {"check", "M", "--ini", "S"},
        {"medium", "--ini", "S", "--ini", "T", "--setup", "E", "--key", "1", "-o", "M", "F"},
        {"sign", "M"},                                                              // no key
        {"sign", "--sign-key", "V", "-o", "M"},
        {"keygen", "-o", "V", "M"},
        {"check", "M", "--sign-key", "V"},
    };
    for (const auto& args : refused) {
        std::string line;
        for (const auto& a : args) line += a + " ";
        EXPECT_THROW(ParseVendorCommandLine(args), updpkg::UsageError) << line;
    }
}
