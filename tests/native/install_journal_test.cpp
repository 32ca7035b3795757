// The install journal's text form and the checks a journal from disk must
// pass before anything in it is acted on.
#include <gtest/gtest.h>

#include "engine/install_journal.h"

using journal::Journal;
using journal::Record;

namespace {

const std::string kSo = "ソ";

Journal Sample() {
    Journal j;
    j.records.push_back({Record::Folder, "C:\\Zomi7\\HELP", {}, {}, 0});
    j.records.push_back({Record::Staged, "C:\\Zomi7\\HELP\\" + kSo + ".txt.~kvs0",
                         "C:\\Zomi7\\HELP\\" + kSo + ".txt", {}, 0});
    j.records.push_back({Record::Staged, "C:\\Zomi7\\Zomi7.EXE.~kvs1", "C:\\Zomi7\\Zomi7.EXE", {}, 0});
    j.records.push_back({Record::Commit, "C:\\Zomi7\\HELP\\" + kSo + ".txt.~kvs0",
                         "C:\\Zomi7\\HELP\\" + kSo + ".txt", {}, 0});
    j.records.push_back({Record::Commit, "C:\\Zomi7\\Zomi7.EXE.~kvs1", "C:\\Zomi7\\Zomi7.EXE",
                         "C:\\Zomi7\\Zomi7.EXE.~kvb1", 0x27});
    return j;
}

bool Same(const Journal& a, const Journal& b) {
    if (a.records.size() != b.records.size()) return false;
    for (size_t i = 0; i < a.records.size(); ++i) {
        const Record &x = a.records[i], &y = b.records[i];
        if (x.kind != y.kind || x.path != y.path || x.dest != y.dest || x.backup != y.backup ||
            x.attributes != y.attributes)
            return false;
    }
    return true;
}

}  // namespace

TEST(JournalText, RoundTripsEveryRecordKind) {
    for (bool committed : {false, true}) {
        Journal j = Sample();
        if (committed) j.records.push_back({Record::Committed, {}, {}, {}, 0});
        Journal back;
        std::string why;
        ASSERT_TRUE(journal::Parse(journal::Serialize(j), back, why)) << why;
        EXPECT_TRUE(Same(j, back));
        EXPECT_EQ(back.IsCommitted(), committed);
    }
    // The form itself: other programs (and people) read it.
    Journal one;
    one.records.push_back({Record::Commit, "C:\\a.~kvs3", "C:\\a", "C:\\a.~kvb3", 0x21});
    EXPECT_EQ(journal::Serialize(one),
              "KVJOURNAL\t2\r\nC\tC:\\a.~kvs3\tC:\\a\tC:\\a.~kvb3\t00000021\r\nEND\t1\r\n");
}

TEST(JournalText, EveryCutOfAValidJournalIsRefused) {
    // A journal is replaced as a whole, but a disk may still hand back a
    // short file: no prefix may pass as a complete journal.
    const std::string text = journal::Serialize(Sample());
    for (size_t n = 0; n < text.size(); ++n) {
        Journal j;
        std::string why;
        EXPECT_FALSE(journal::Parse(text.substr(0, n), j, why)) << n;
        EXPECT_FALSE(why.empty()) << n;
    }
}

TEST(JournalText, MalformedJournalsAreRefusedWithAReason) {
    const std::string head = "KVJOURNAL\t2\r\n";
    struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"empty", ""},
        {"the code page 932 form of before", "KVJOURNAL\t1\r\nEND\t0\r\n"},
        {"LF lines", "KVJOURNAL\t2\nEND\t0\n"},
        {"count too high", head + "D\tC:\\x\r\nEND\t2\r\n"},
        {"count too low", head + "D\tC:\\x\r\nEND\t0\r\n"},
        {"count not a number", head + "END\tx\r\n"},
        {"unknown record", head + "X\tC:\\x\r\nEND\t1\r\n"},
        {"folder with two fields", head + "D\tC:\\x\tC:\\y\r\nEND\t1\r\n"},
        {"commit without attributes", head + "C\tC:\\a.~kvs0\tC:\\a\t\r\nEND\t1\r\n"},
        {"attributes not hex", head + "C\tC:\\a.~kvs0\tC:\\a\t\t0000002G\r\nEND\t1\r\n"},
        {"attributes too short", head + "C\tC:\\a.~kvs0\tC:\\a\t\t21\r\nEND\t1\r\n"},
        {"text after END", head + "END\t0\r\nD\tC:\\x\r\n"},
        {"no END", head + "D\tC:\\x\r\n"},
    };
    for (auto& c : cases) {
        Journal j;
        std::string why;
        EXPECT_FALSE(journal::Parse(c.text, j, why)) << c.name;
        EXPECT_FALSE(why.empty()) << c.name;
    }
}

TEST(JournalNames, StagedAndBackupNamesSitBesideTheirFile) {
    EXPECT_EQ(journal::StagedName("C:\\P\\" + kSo, 12), "C:\\P\\" + kSo + ".~kvs12");
    EXPECT_EQ(journal::BackupName("C:\\P\\a.dll", 0), "C:\\P\\a.dll.~kvb0");
}

TEST(JournalValidate, OnlyTheUpdatesOwnDestinationsAndNames) {
    const std::vector<std::string> roots = {"C:\\Zomi7", "C:\\WINDOWS\\system32\\", "\\\\host\\share\\Z"};
    // The system's full form, as far as these cases need it: the last name
    // loses its trailing dots and blanks.
    const journal::FullPathOf full = [](const std::string& p) { return p.substr(0, p.find_last_not_of(". ") + 1); };
    auto commit = [](std::string staged, std::string dest, std::string backup) {
        Journal j;
        j.records.push_back({Record::Commit, staged, dest, backup, 0x20});
        return j;
    };
    auto folder = [](std::string path) {
        Journal j;
        j.records.push_back({Record::Folder, path, {}, {}, 0});
        return j;
    };
    struct {
        const char* name;
        Journal j;
        bool ok;
    } cases[] = {
        {"sample", Sample(), true},
        {"root without case", commit("c:\\zomi7\\a.~kvs1", "c:\\zomi7\\a", "c:\\zomi7\\a.~kvb1"), true},
        {"below a root with a trailing backslash",
         commit("C:\\WINDOWS\\system32\\k.dll.~kvs0", "C:\\WINDOWS\\system32\\k.dll", ""), true},
        {"a root itself as created folder", folder("C:\\Zomi7"), true},
        {"a folder beside a root", folder("C:\\Zomi7x"), false},
        {"a created folder above a root", folder("C:\\WINDOWS"), true},
        {"a file above a root", commit("C:\\WINDOWS\\a.~kvs1", "C:\\WINDOWS\\a", ""), false},
        {"longer than 260 bytes", folder("C:\\Zomi7\\" + std::string(300, 'a')), true},
        {"not its own full form", folder("C:\\Zomi7\\x."), false},
        {"outside every root", commit("C:\\other\\a.~kvs1", "C:\\other\\a", ""), false},
        {"dot-dot out of a root", commit("C:\\Zomi7\\..\\x.~kvs1", "C:\\Zomi7\\..\\x", ""), false},
        {"dot part", folder("C:\\Zomi7\\.\\x"), false},
        {"empty part", folder("C:\\Zomi7\\\\x"), false},
        {"forward slash", folder("C:\\Zomi7\\a/b"), false},
        {"device form", commit("\\\\?\\C:\\Zomi7\\a.~kvs1", "\\\\?\\C:\\Zomi7\\a", ""), false},
        {"device namespace", folder("\\\\.\\C:\\Zomi7\\a"), false},
        {"UNC below a UNC root", folder("\\\\host\\share\\Z\\x"), true},
        {"a name the file system refuses", commit("C:\\Zomi7\\a:s.~kvs1", "C:\\Zomi7\\a:s", ""), true},
        {"staged name of another file", commit("C:\\Zomi7\\b.~kvs1", "C:\\Zomi7\\a", ""), false},
        {"staged name without number", commit("C:\\Zomi7\\a.~kvs", "C:\\Zomi7\\a", ""), false},
        {"backup in another folder",
         commit("C:\\Zomi7\\a.~kvs1", "C:\\Zomi7\\a", "C:\\Users\\x\\a.~kvb1"), false},
        {"backup with the staged suffix", commit("C:\\Zomi7\\a.~kvs1", "C:\\Zomi7\\a", "C:\\Zomi7\\a.~kvs2"),
         false},
        {"control character", folder("C:\\Zomi7\\a\x01"), true},
        {"lead byte cut off", folder("C:\\Zomi7\\a\x83"), false},
    };
    for (auto& c : cases) {
        std::string why;
        EXPECT_EQ(journal::Validate(c.j, roots, full, why), c.ok) << c.name << ": " << why;
        if (!c.ok) {
            EXPECT_FALSE(why.empty()) << c.name;
        }
    }
}

TEST(JournalValidate, RootsAreNoFoldersToMake) {
    for (auto [path, root] : {std::pair{"C:\\", true}, {"\\\\h\\s", true}, {"\\\\h\\s\\", true}, {"C:\\a", false},
                              {"C:", false}, {"\\\\h", false}, {"\\\\?\\C:\\", false}, {"\\\\h\\s\\a", false}})
        EXPECT_EQ(journal::IsRoot(path), root) << path;
}
