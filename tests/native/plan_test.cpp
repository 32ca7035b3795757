// The plan of an update, as SETUP.EXE carries it out and updpkg check
// prints it: which file each destination gets, in which order, moved or
// copied, under which names, with which folders made.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "engine/plan/plan.h"
#include "util/name_key.h"

namespace {

// What stands at the destinations, by name key.
class FakeView : public plan::DestinationView {
public:
    std::map<std::string, uint32_t> there;
    FakeView& With(const std::string& path, uint32_t attributes) {
        there[names::Key(path)] = attributes;
        return *this;
    }
    uint32_t Attributes(const std::string& path) override {
        const auto it = there.find(names::Key(path));
        return it == there.end() ? plan::kMissing : it->second;
    }
};

const plan::Product kProduct{"C:\\P", "Zomi7.EXE"};

struct Case {
    const char* what;
    std::vector<plan::Component> components;
    std::vector<std::string> committed;  // the destinations, in commit order
    std::vector<std::string> sources;    // of each commit
    std::vector<bool> moved;             // of each commit
};

}  // namespace

TEST(Plan, EachDestinationOnceTheLaterComponentWinsTheExecutableLast) {
    const std::string fullA = "\xEF\xBC\xA1.txt", fullSmallA = "\xEF\xBD\x81.txt";  // Ａ, ａ
    const std::string alpha = "\xCE\xB1.dat", capitalAlpha = "\xCE\x91.dat";       // α, Α
    const Case cases[] = {
        {"a source folder shared by two components: copied first, moved for its last use",
         {{"C:\\P\\A\\", {{"x.dll", "W\\APP\\x.dll", true}}}, {"C:\\P\\B\\", {{"x.dll", "W\\APP\\x.dll", true}}}},
         {"C:\\P\\A\\x.dll", "C:\\P\\B\\x.dll"}, {"W\\APP\\x.dll", "W\\APP\\x.dll"}, {false, true}},
        {"a later component over an earlier one",
         {{"C:\\P\\", {{"a.txt", "W\\ONE\\a.txt", true}, {"b.txt", "W\\ONE\\b.txt", true}}},
          {"C:\\P\\", {{"a.txt", "W\\TWO\\a.txt", true}}}},
         {"C:\\P\\b.txt", "C:\\P\\a.txt"}, {"W\\ONE\\b.txt", "W\\TWO\\a.txt"}, {true, true}},
        {"names that differ only in full-width or Greek case are one file",
         {{"C:\\P\\", {{fullA, "F\\1\\" + fullA}, {alpha, "F\\1\\" + alpha}}},
          {"C:\\P\\", {{fullSmallA, "F\\2\\" + fullSmallA}, {capitalAlpha, "F\\2\\" + capitalAlpha}}}},
         {"C:\\P\\" + fullSmallA, "C:\\P\\" + capitalAlpha}, {"F\\2\\" + fullSmallA, "F\\2\\" + capitalAlpha},
         {false, false}},
        {"a destination spelled with different case",
         {{"C:\\P\\Bin\\", {{"x.dll", "F\\1\\x.dll"}}}, {"c:\\p\\BIN\\", {{"X.DLL", "F\\2\\X.DLL"}}}},
         {"c:\\p\\BIN\\X.DLL"}, {"F\\2\\X.DLL"}, {false}},
        {"the product's executable last, whatever its spelling",
         {{"c:\\p\\", {{"ZOMI7.exe", "F\\1\\ZOMI7.exe"}, {"z.dll", "F\\1\\z.dll"}}},
          {"C:\\P\\DATA\\", {{"d.dat", "F\\2\\d.dat"}}}},
         {"c:\\p\\z.dll", "C:\\P\\DATA\\d.dat", "c:\\p\\ZOMI7.exe"}, {"F\\1\\z.dll", "F\\2\\d.dat", "F\\1\\ZOMI7.exe"},
         {false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeView view;
        view.With("C:\\P", plan::kFolderAttribute).With("C:\\P\\A", plan::kFolderAttribute);
        view.With("C:\\P\\B", plan::kFolderAttribute).With("C:\\P\\BIN", plan::kFolderAttribute);
        view.With("C:\\P\\DATA", plan::kFolderAttribute);
        const plan::Plan p = plan::Build(c.components, kProduct, view);
        std::vector<std::string> committed, sources;
        std::vector<bool> moved;
        for (std::size_t i : p.commits) {
            committed.push_back(p.files[i].dest);
            sources.push_back(p.files[i].source);
            moved.push_back(p.files[i].move);
        }
        EXPECT_EQ(committed, c.committed);
        EXPECT_EQ(sources, c.sources);
        EXPECT_EQ(moved, c.moved);
        EXPECT_EQ(p.commitRecords.size(), p.commits.size());
        // Every file is staged; the ones no commit takes are superseded.
        EXPECT_EQ(p.files.size() - p.commits.size(),
                  static_cast<std::size_t>(std::count_if(p.files.begin(), p.files.end(),
                                                         [](const plan::File& f) { return f.superseded; })));
        EXPECT_TRUE(p.blocked.empty());
    }
}

TEST(Plan, NamesFoldersAndJournalRecords) {
    FakeView view;
    view.With("C:\\P", plan::kFolderAttribute).With("C:\\P\\old.dll", 0x21);  // read-only, archive
    view.With("C:\\P\\old.dll.~kvs0", 0x20);                                   // a staged name already taken
    const std::vector<plan::Component> components{
        {"C:\\P\\", {{"old.dll", "F\\old.dll"}, {"NEW\\SUB\\n.txt", "F\\NEW\\SUB\\n.txt"}}},
        {"C:\\P\\new\\", {{"m.txt", "F\\m.txt"}}}};
    const plan::Plan p = plan::Build(components, kProduct, view);
    ASSERT_EQ(p.files.size(), 3u);
    // Numbers step by the count of files, so no two files share one.
    EXPECT_EQ(p.files[0].staged, "C:\\P\\old.dll.~kvs3");
    EXPECT_EQ(p.files[1].staged, "C:\\P\\NEW\\SUB\\n.txt.~kvs1");
    EXPECT_EQ(p.files[2].staged, "C:\\P\\new\\m.txt.~kvs2");
    EXPECT_EQ(p.files[0].backup, "C:\\P\\old.dll.~kvb0");
    EXPECT_EQ(p.files[0].attributes, 0x21u);
    EXPECT_TRUE(p.files[1].backup.empty());
    // Missing folders, outermost first, each once whatever its spelling.
    EXPECT_EQ(p.folders, (std::vector<std::string>{"C:\\P\\NEW", "C:\\P\\NEW\\SUB"}));
    using R = journal::Record;
    std::string kinds;
    for (const R& r : p.stagingRecords) kinds += static_cast<char>(r.kind);
    EXPECT_EQ(kinds, "SSDDS");
    EXPECT_EQ(p.stagingRecords[2].path, "C:\\P\\NEW");
    EXPECT_EQ(p.commitRecords[0].kind, R::Commit);
    EXPECT_EQ(p.commitRecords[0].backup, "C:\\P\\old.dll.~kvb0");
    EXPECT_EQ(p.commitRecords[0].path, p.files[0].staged);
}

TEST(Plan, ADestinationWithNoFreeNameBlocksThePlan) {
    FakeView view;
    view.With("C:\\P", plan::kFolderAttribute);
    for (unsigned n = 0; n < plan::kNameTries; ++n) view.With("C:\\P\\a.txt.~kvs" + std::to_string(n), 0x20);
    const plan::Plan p = plan::Build({{"C:\\P\\", {{"a.txt", "F\\a.txt"}}}}, kProduct, view);
    EXPECT_EQ(p.blocked, "C:\\P\\a.txt");
    EXPECT_EQ(plan::ParentFolder("C:\\a.txt"), "C:\\");
}
