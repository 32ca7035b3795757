// Folder and file helpers against the real file system (under Wine).
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "tests/support/scripted_prompt.h"
#include "tests/support/test_util.h"
#include "util/fs.h"
#include "util/syserr.h"

using testsupport::Exists;
using testsupport::ScratchDir;
using testsupport::ScriptedPrompt;
using testsupport::Sjis;

namespace {

std::string TempFolder() {
    char tmp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, tmp);
    return tmp;
}

void MakeDir(const std::string& path) { ASSERT_TRUE(::CreateDirectoryA(path.c_str(), nullptr)) << path; }
void MakeFile(const std::string& path, const std::string& bytes = "x") {
    ASSERT_TRUE(testsupport::WriteFileBytes(path, bytes)) << path;
}

}  // namespace

TEST(CreateTempFileName, MakesAnEmptyKvcFileInTheTemporaryFolder) {
    const std::string first = CreateTempFileName();
    const std::string second = CreateTempFileName();
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first, second);
    for (const std::string& path : {first, second}) {
        const std::string folder = TempFolder();
        ASSERT_EQ(path.compare(0, folder.size(), folder), 0) << path;
        EXPECT_EQ(path.substr(folder.size(), 3), "kvc") << path;
        WIN32_FILE_ATTRIBUTE_DATA data;
        ASSERT_TRUE(::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) << path;
        EXPECT_EQ(data.nFileSizeLow, 0u);
        EXPECT_TRUE(::DeleteFileA(path.c_str()));
    }
}

TEST(DeleteFilesRecursive, DeletesFilesAndListsFoldersDeepestFirst) {
    ScratchDir dir("hB_delete_order");
    const std::string root = dir / "root";
    MakeDir(root);
    MakeDir(root + "\\a");
    MakeDir(root + "\\a\\deep");
    MakeDir(root + "\\b");
    MakeFile(root + "\\top.txt");
    MakeFile(root + "\\a\\one.txt");
    MakeFile(root + "\\a\\deep\\two.txt");
    // A folder named ソ (83 5C) holds a 0x5C that is no separator.
    MakeDir(root + "\\b\\" + Sjis("ソ"));
    MakeFile(root + "\\b\\" + Sjis("ソ") + "\\three.txt");

    std::list<std::string> folders{"earlier"};
    ASSERT_TRUE(DeleteFilesRecursive(root, folders));

    // Every folder after all folders below it, the starting folder last; the
    // list is appended to, not replaced.
    std::vector<std::string> got(folders.begin(), folders.end());
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got.front(), "earlier");
    EXPECT_EQ(got.back(), root);
    auto index = [&](const std::string& p) {
        for (size_t i = 0; i < got.size(); ++i)
            if (got[i] == p) return static_cast<int>(i);
        return -1;
    };
    EXPECT_GT(index(root + "\\a\\deep"), 0);
    EXPECT_LT(index(root + "\\a\\deep"), index(root + "\\a"));
    EXPECT_LT(index(root + "\\b\\" + Sjis("ソ")), index(root + "\\b"));
    EXPECT_GT(index(root + "\\b\\" + Sjis("ソ")), 0);

    // Files are gone, folders stay for the caller to remove.
    for (const char* f : {"\\top.txt", "\\a\\one.txt", "\\a\\deep\\two.txt"}) EXPECT_FALSE(Exists(root + f)) << f;
    EXPECT_FALSE(Exists(root + "\\b\\" + Sjis("ソ") + "\\three.txt"));
    EXPECT_TRUE(Exists(root + "\\a\\deep"));
}

TEST(RemoveDirectoryTree, RemovesTheWholeTree) {
    ScratchDir dir("hB_remove_tree");
    const std::string root = dir / "tree";
    MakeDir(root);
    MakeDir(root + "\\sub");
    MakeDir(root + "\\sub\\empty");
    MakeFile(root + "\\sub\\f.bin", std::string(70000, 'z'));
    MakeFile(root + "\\hidden.txt");
    ::SetFileAttributesA((root + "\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
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
    ::DeleteFileA(marker.c_str());
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
    ASSERT_TRUE(::SetFileAttributesA((root + "\\m_locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ::SetLastError(0);
    EXPECT_FALSE(RemoveDirectoryTree(root));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(Exists(root + "\\a_first.txt"));
    EXPECT_TRUE(Exists(root + "\\m_locked.txt"));
    EXPECT_TRUE(Exists(root));
}

TEST(CreateDirectoryPath, CreatesMissingLevelsAndRefusesExistingFolders) {
    ScratchDir dir("hB_create_path");
    // Two levels below an existing folder, one of them named 表 (95 5C).
    const std::string two = dir / (Sjis("表") + "\\leaf");
    EXPECT_TRUE(CreateDirectoryPath(two));
    EXPECT_TRUE(Exists(dir / Sjis("表")));
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

TEST(CopyFileCreatingPath, CreatesTheMissingFolderAndCopies) {
    ScratchDir dir("hB_copy_create");
    const std::string source = dir / "src.bin";
    MakeFile(source, "payload");
    ScriptedPrompt prompt;
    const std::string dest = dir / "new\\deeper\\dst.bin";
    EXPECT_TRUE(CopyFileCreatingPath(source, dest, FALSE));
    EXPECT_EQ(testsupport::ReadFileBytes(dest), "payload");
    // Copy into an existing folder, replacing the file.
    MakeFile(source, "second");
    EXPECT_TRUE(CopyFileCreatingPath(source, dest, FALSE));
    EXPECT_EQ(testsupport::ReadFileBytes(dest), "second");
    EXPECT_TRUE(prompt.Seen().empty());
}

TEST(CopyFileCreatingPath, FailIfExistsFailsQuietly) {
    ScratchDir dir("hB_copy_exists");
    MakeFile(dir / "src.bin", "new");
    MakeFile(dir / "dst.bin", "old");
    ScriptedPrompt prompt;
    ::SetLastError(0);
    EXPECT_FALSE(CopyFileCreatingPath(dir / "src.bin", dir / "dst.bin", TRUE));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "dst.bin"), "old");
    EXPECT_TRUE(prompt.Seen().empty());
}

TEST(CopyFileCreatingPath, MissingSourceFailsWithoutABox) {
    ScratchDir dir("hB_copy_nosource");
    ScriptedPrompt prompt;
    ::SetLastError(0);
    EXPECT_FALSE(CopyFileCreatingPath(dir / "absent.bin", dir / "dst.bin", FALSE));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(prompt.Seen().empty());
}

TEST(CopyFileCreatingPath, SecondFailureIsShownAndItsErrorKept) {
    // The first copy fails for the missing folder; once the folder exists the
    // second fails for the missing source. That second failure alone is
    // shown, with the system's text for it.
    ScratchDir dir("hB_copy_second");
    ScriptedPrompt prompt;
    prompt.OnBox([](const ScriptedPrompt::Shown&) { ::SetLastError(ERROR_INVALID_FUNCTION); });
    ::SetLastError(0);
    EXPECT_FALSE(CopyFileCreatingPath(dir / "nosrc\\absent.bin", dir / "made\\dst.bin", FALSE));
    const DWORD after = ::GetLastError();
    EXPECT_TRUE(Exists(dir / "made"));
    auto boxes = prompt.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].style, 0x30u);
    // The missing source folder: path not found, both in the box and after it
    // (the box itself changed the last error).
    EXPECT_EQ(after, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(boxes[0].text, GetSystemErrorText(ERROR_PATH_NOT_FOUND));
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
