// The platform's file class and directory search against the real APIs.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/filefind.h"
#include "tests/support/test_util.h"

using platform::File;
using platform::FileException;
using testsupport::ScratchDir;
using testsupport::Sjis;

namespace {

// The error code a call throws with, or 0 when it does not throw.
template <class F>
DWORD ThrownError(F&& f) {
    try {
        f();
    } catch (const FileException& e) {
        return e.error;
    }
    return 0;
}

}  // namespace

TEST(File, WritesReadsAndReportsLength) {
    ScratchDir dir("hB_file_rw");
    const std::string path = dir / "data.bin";
    {
        File out(path, File::modeCreate | File::modeWrite | File::shareExclusive);
        out.Write("hello ", 6);
        out.Write("world", 5);
        EXPECT_EQ(out.GetLength(), 11u);
        EXPECT_EQ(out.GetFilePath(), path);
        out.Close();
        EXPECT_FALSE(out.IsOpen());
    }
    File in(path, File::modeRead | File::shareDenyWrite);
    char buf[8] = {};
    EXPECT_EQ(in.Read(buf, 8), 8u);
    EXPECT_EQ(std::string(buf, 8), "hello wo");
    EXPECT_EQ(in.Read(buf, 8), 3u);
    EXPECT_EQ(std::string(buf, 3), "rld");
    EXPECT_EQ(in.Read(buf, 8), 0u);  // the end

    // modeCreate truncates an existing file.
    in.Close();
    { File trunc(path, File::modeCreate | File::modeWrite); EXPECT_EQ(trunc.GetLength(), 0u); }
}

TEST(File, EveryFailureThrowsTheSystemError) {
    ScratchDir dir("hB_file_errors");
    const std::string path = dir / "data.bin";
    ASSERT_TRUE(testsupport::WriteFileBytes(path, "abc"));

    EXPECT_EQ(ThrownError([&] { File f(dir / "absent.bin", File::modeRead); }),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(ThrownError([&] { File f(dir / "no\\such.bin", File::modeCreate | File::modeWrite); }),
              static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    // An exclusive opener keeps every other open out, and is kept out itself
    // while another handle is open; a reader that denies writing keeps
    // writers out but lets other such readers in.
    {
        File held(path, File::modeRead | File::shareExclusive);
        EXPECT_EQ(ThrownError([&] { File f(path, File::modeRead | File::shareDenyWrite); }),
                  static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    {
        File reader(path, File::modeRead | File::shareDenyWrite);
        EXPECT_EQ(ThrownError([&] { File f(path, File::modeRead | File::shareExclusive); }),
                  static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(ThrownError([&] { File f(path, File::modeRead | File::shareDenyWrite); }), 0u);
        EXPECT_EQ(ThrownError([&] { File f(path, File::modeWrite | File::shareDenyWrite); }),
                  static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        // Writing to a file opened for reading fails.
        EXPECT_EQ(ThrownError([&] { reader.Write("x", 1); }), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }

    // A closed file refuses everything but another Close.
    File closed;
    char c;
    EXPECT_EQ(ThrownError([&] { closed.Read(&c, 1); }), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(ThrownError([&] { closed.Write(&c, 1); }), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(ThrownError([&] { closed.GetLength(); }), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(ThrownError([&] { BY_HANDLE_FILE_INFORMATION info; closed.GetInformation(info); }),
              static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(ThrownError([&] { closed.Close(); }), 0u);
}

TEST(File, StatusGivesSizeAndModificationTimeInSeconds) {
    ScratchDir dir("hB_file_status");
    const std::string path = dir / "data.bin";
    ASSERT_TRUE(testsupport::WriteFileBytes(path, std::string(70000, 'q')));
    // 2001-09-09 01:46:40.5 UTC = 1000000000.5 s after 1970.
    HANDLE h = ::CreateFileW(platform::Wide(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const unsigned long long ticks = (1000000000ULL + 11644473600ULL) * 10000000ULL + 5000000ULL;
    FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    ASSERT_TRUE(::SetFileTime(h, nullptr, nullptr, &ft));
    ::CloseHandle(h);

    platform::FileStatus st;
    ASSERT_TRUE(File::GetStatus(path, st));
    EXPECT_EQ(st.size, 70000u);
    EXPECT_EQ(st.mtime, 1000000000);
    EXPECT_FALSE(st.attributes & FILE_ATTRIBUTE_DIRECTORY);
    ::SetLastError(0);
    EXPECT_FALSE(File::GetStatus(dir / "absent", st));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(FileFind, StepsThroughEveryEntryAndTellsWhenItIsTheLast) {
    ScratchDir dir("hB_find");
    const std::string so = "ソ";  // 83 5C
    ASSERT_TRUE(testsupport::MakeDir(dir / so));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir / "one.txt", "1"));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir / so + "\\inner.txt", "22"));

    platform::FileFind find;
    BOOL more = find.FindFile(dir / "*.*");
    ASSERT_TRUE(more);
    std::map<std::string, std::pair<bool, std::string>> seen;  // name -> (directory, path)
    int dots = 0, lastFlags = 0;
    while (more) {
        more = find.FindNextFile();
        if (!more) ++lastFlags;
        if (find.IsDots()) {
            ++dots;
            EXPECT_TRUE(find.IsDirectory());
            continue;
        }
        seen[find.GetFileName()] = {find.IsDirectory(), find.GetFilePath()};
    }
    EXPECT_EQ(dots, 2);
    EXPECT_EQ(lastFlags, 1);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen["one.txt"], std::make_pair(false, dir / "one.txt"));
    EXPECT_EQ(seen[so], std::make_pair(true, dir / so));
    // After the last entry the search reports nothing more.
    EXPECT_FALSE(find.FindNextFile());

    // The folder part of a pattern ending in a double-byte character with a
    // 5C second byte is kept whole.
    ASSERT_TRUE(find.FindFile(dir / so + "\\inner.txt"));
    EXPECT_FALSE(find.FindNextFile());
    EXPECT_EQ(find.GetFilePath(), dir / so + "\\inner.txt");
    EXPECT_EQ(find.GetLength(), 2u);
}

TEST(FileFind, NothingFoundKeepsTheSearchError) {
    ScratchDir dir("hB_find_none");
    platform::FileFind find;
    ::SetLastError(0);
    EXPECT_FALSE(find.FindFile(dir / "missing\\*.*"));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(find.FindNextFile());
    ::SetLastError(0);
    EXPECT_FALSE(find.FindFile(dir / "*.none"));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}
