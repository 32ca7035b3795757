// Folder and file helpers against the real file system (under Wine).
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "tests/support/test_util.h"
#include "util/fs.h"
#include "util/syserr.h"

using testsupport::Exists;
using testsupport::ScratchDir;

namespace {

void MakeDir(const std::string& path) { ASSERT_TRUE(::CreateDirectoryW(testsupport::Wide(path).c_str(), nullptr)) << path; }
void MakeFile(const std::string& path, const std::string& bytes = "x") {
    ASSERT_TRUE(testsupport::WriteFileBytes(path, bytes)) << path;
}

}  // namespace

TEST(RemoveDirectoryTree, RemovesTheWholeTree) {
    ScratchDir dir("hB_remove_tree");
    const std::string root = dir / "tree";
    MakeDir(root);
    MakeDir(root + "\\sub");
    MakeDir(root + "\\sub\\empty");
    MakeFile(root + "\\sub\\f.bin", std::string(70000, 'z'));
    MakeFile(root + "\\hidden.txt");
    ::SetFileAttributesW(platform::Wide(root + "\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(RemoveDirectoryTree(root));
    EXPECT_FALSE(Exists(root));
    EXPECT_TRUE(Exists(dir.path()));
}

TEST(RemoveDirectoryTree, RefusesDriveRootsAndShortPaths) {
    // The marker proves that nothing in the root was deleted.
    const std::string marker = "C:\\hB_root_marker.txt";
    MakeFile(marker);
    for (const char* path : {"C:\\", "C:", "", "\\"}) {
        ::SetLastError(0);
        EXPECT_FALSE(RemoveDirectoryTree(path)) << path;
        EXPECT_NE(::GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND)) << path;
    }
    EXPECT_TRUE(Exists(marker));
    ::DeleteFileW(platform::Wide(marker).c_str());
}

TEST(RemoveDirectoryTree, MissingFolderGivesPathNotFound) {
    ScratchDir dir("hB_remove_missing");
    for (const std::string& path : {dir / "absent", dir / "absent\\deeper"}) {
        ::SetLastError(0);
        EXPECT_FALSE(RemoveDirectoryTree(path)) << path;
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND)) << path;
    }
}

TEST(RemoveDirectoryTree, ReadOnlyFileStopsItAfterTheFilesBeforeIt) {
    ScratchDir dir("hB_remove_readonly");
    const std::string root = dir / "tree";
    MakeDir(root);
    // The search reports entries in name order here, so "a" comes before "m".
    MakeFile(root + "\\a_first.txt");
    MakeFile(root + "\\m_locked.txt");
    ASSERT_TRUE(::SetFileAttributesW(platform::Wide(root + "\\m_locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ::SetLastError(0);
    EXPECT_FALSE(RemoveDirectoryTree(root));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(Exists(root + "\\a_first.txt"));
    EXPECT_TRUE(Exists(root + "\\m_locked.txt"));
    EXPECT_TRUE(Exists(root));
}

TEST(CreateDirectoryPath, CreatesMissingLevelsAndRefusesExistingFolders) {
    ScratchDir dir("hB_create_path");
    // Two levels below an existing folder, one of them named 表.
    const std::string two = dir / "表\\leaf";
    EXPECT_TRUE(CreateDirectoryPath(two));
    EXPECT_TRUE(Exists(dir / "表"));
    EXPECT_TRUE(Exists(two));

    // Three levels at once, then one level.
    EXPECT_TRUE(CreateDirectoryPath(dir / "a\\b\\c"));
    EXPECT_TRUE(Exists(dir / "a\\b\\c"));
    EXPECT_TRUE(CreateDirectoryPath(dir / "single"));

    ::SetLastError(0);
    EXPECT_FALSE(CreateDirectoryPath(two));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryPath("C:\\"));
    EXPECT_FALSE(CreateDirectoryPath("C:"));
}

TEST(CreateDirectoryPath, FailsBelowAFileAndOnAMissingDrive) {
    ScratchDir dir("hB_create_fail");
    MakeFile(dir / "plain");
    ::SetLastError(0);
    EXPECT_FALSE(CreateDirectoryPath(dir / "plain\\x\\y"));
    EXPECT_NE(::GetLastError(), 0u);
    EXPECT_FALSE(Exists(dir / "plain\\x"));
}

TEST(GetSystemErrorText, SystemTextOrEmptyAndLastErrorKept) {
    ::SetLastError(1234);
    const std::string text = GetSystemErrorText(ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(::GetLastError(), 1234u);
    ASSERT_FALSE(text.empty());
    // As the system gives it, final line break included.
    EXPECT_EQ(text.back(), '\n');
    EXPECT_NE(text, GetSystemErrorText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetSystemErrorText(0x2FFFFFFF), "");
}
