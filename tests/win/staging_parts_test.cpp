// The parts staging is made of: a rename through an open handle, the facts
// read from a handle, and the folder listings that planning asks instead of
// the file system.
#include <gtest/gtest.h>

#include "engine/install/folder_names.h"
#include "tests/support/test_util.h"
#include "util/file_facts.h"
#include "util/fs.h"

using testsupport::Exists;
using testsupport::ReadFileBytes;
using testsupport::Sjis;
using testsupport::WriteFileBytes;

namespace {

HANDLE OpenForMove(const std::string& path) {
    return CreateFileW(platform::Wide(path).c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

}  // namespace

TEST(RenameOpenFile, MovesTheFileThatWasOpenedWhateverNowHasItsName) {
    // Wine renames whatever has the name the file was opened by.
    if (testsupport::RunningUnderWine()) GTEST_SKIP() << "only Windows renames through the handle itself";
    testsupport::ScratchDir dir("upd_rename_open");
    const std::string checked = dir / "checked.txt";
    ASSERT_TRUE(WriteFileBytes(checked, "checked"));
    HANDLE h = OpenForMove(checked);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    // The name is taken over by another file while the handle is open.
    ASSERT_TRUE(MoveFileW(platform::Wide(checked).c_str(), platform::Wide(dir / "aside.txt").c_str()));
    ASSERT_TRUE(WriteFileBytes(checked, "planted"));

    EXPECT_TRUE(RenameOpenFile(h, dir / "移動先.txt", false));
    CloseHandle(h);
    EXPECT_EQ(ReadFileBytes(dir / "移動先.txt"), "checked");
    EXPECT_EQ(ReadFileBytes(checked), "planted");
    EXPECT_FALSE(Exists(dir / "aside.txt"));
}

TEST(RenameOpenFile, ReplacesOnlyWhenAskedAndNeedsItsFolder) {
    testsupport::ScratchDir dir("upd_rename_open");
    ASSERT_TRUE(WriteFileBytes(dir / "a.txt", "a"));
    ASSERT_TRUE(WriteFileBytes(dir / "b.txt", "b"));
    HANDLE h = OpenForMove(dir / "a.txt");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(RenameOpenFile(h, dir / "b.txt", false));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ReadFileBytes(dir / "b.txt"), "b");
    EXPECT_TRUE(RenameOpenFile(h, dir / "b.txt", true));
    EXPECT_FALSE(RenameOpenFile(h, dir / "new\\deeper\\c.txt", false));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    ASSERT_TRUE(CreateDirectoryPath(dir / "new\\deeper"));
    EXPECT_TRUE(RenameOpenFile(h, dir / "new\\deeper\\c.txt", false));
    CloseHandle(h);  // the handle keeps others from reading the file
    EXPECT_EQ(ReadFileBytes(dir / "new\\deeper\\c.txt"), "a");
    EXPECT_FALSE(Exists(dir / "a.txt"));
    EXPECT_FALSE(Exists(dir / "b.txt"));
}

TEST(FileFacts, FollowTheFileThroughARenameAndCountItsNames) {
    testsupport::ScratchDir dir("upd_file_facts");
    ASSERT_TRUE(WriteFileBytes(dir / "f.bin", std::string(70000, 'f')));
    ASSERT_TRUE(WriteFileBytes(dir / "other.bin", "other"));
    HANDLE h = OpenForMove(dir / "f.bin");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FileFacts before;
    ASSERT_TRUE(ReadFileFacts(h, before));
    EXPECT_EQ(before.size, 70000u);
    EXPECT_EQ(before.links, 1u);
    EXPECT_FALSE(before.attributes & FILE_ATTRIBUTE_DIRECTORY);

    // Its number is the system's, the same one the documented query gives,
    // and another file has another.
    BY_HANDLE_FILE_INFORMATION info;
    ASSERT_TRUE(GetFileInformationByHandle(h, &info));
    EXPECT_EQ(before.index, (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
    EXPECT_EQ(CompareFileTime(&before.written, &info.ftLastWriteTime), 0);
    HANDLE other = OpenForMove(dir / "other.bin");
    FileFacts otherFacts;
    ASSERT_TRUE(ReadFileFacts(other, otherFacts));
    CloseHandle(other);
    EXPECT_NE(otherFacts.index, before.index);

    ASSERT_TRUE(RenameOpenFile(h, dir / "g.bin", false));
    ASSERT_TRUE(CreateHardLinkA((dir / "second.bin").c_str(), (dir / "g.bin").c_str(), nullptr));
    FileFacts after;
    ASSERT_TRUE(ReadFileFacts(h, after));
    CloseHandle(h);
    EXPECT_EQ(after.index, before.index);
    EXPECT_EQ(after.size, before.size);
    EXPECT_EQ(CompareFileTime(&after.written, &before.written), 0);
    EXPECT_EQ(after.links, 2u);
}

TEST(FolderNames, AnswerFromOneListingWithoutRegardToCase) {
    testsupport::ScratchDir dir("upd_folder_names");
    ASSERT_TRUE(WriteFileBytes(dir / "Readme.TXT", "r"));
    ASSERT_TRUE(testsupport::MakeDir(dir / "Sub"));
    ASSERT_TRUE(SetFileAttributesW(platform::Wide(dir / "Readme.TXT").c_str(), FILE_ATTRIBUTE_HIDDEN));
    install::FolderNames names;
    EXPECT_TRUE(names.Exists(dir / "readme.txt"));
    EXPECT_EQ(names.Attributes(dir / "README.txt") & FILE_ATTRIBUTE_HIDDEN, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(names.IsFolder(dir / "sub"));
    EXPECT_FALSE(names.IsFolder(dir / "readme.txt"));
    EXPECT_FALSE(names.Exists(dir / "missing.txt"));
    EXPECT_FALSE(names.Exists(dir / "sub\\missing.txt"));
    EXPECT_FALSE(names.Exists(dir / "no folder\\x.txt"));
    EXPECT_TRUE(names.IsFolder(dir.path()));  // from the listing of the folder above

    // The listing is not read again.
    ASSERT_TRUE(WriteFileBytes(dir / "late.txt", "l"));
    EXPECT_FALSE(names.Exists(dir / "late.txt"));
}
