// The folder removal runs elevated on folders below the user's temporary
// folder: a link planted there must be removed as a link, never followed.
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <cstdlib>
#include <cstring>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_util.h"
#include "util/fs.h"

using testsupport::Exists;

namespace {

// A junction made through the system (Windows). Wine cannot make one; under
// Wine the layout comes from fixtures/make_folder_links.sh instead.
bool MakeJunction(const std::string& link, const std::string& target) {
    if (!testsupport::MakeDir(link)) return false;
    HANDLE h = ::CreateFileW(platform::Wide(link).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    // Mount-point reparse data: tag, data length, reserved, then offsets and
    // lengths (bytes) of the substitute and print names, then both names,
    // each NUL-terminated, in UTF-16.
    const std::wstring sub = L"\\??\\" + std::wstring(target.begin(), target.end());
    const std::wstring print(target.begin(), target.end());
    std::vector<unsigned char> buf(16 + (sub.size() + print.size() + 2) * 2);
    auto put16 = [&](size_t at, size_t v) {
        buf[at] = static_cast<unsigned char>(v);
        buf[at + 1] = static_cast<unsigned char>(v >> 8);
    };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    std::memcpy(buf.data(), &tag, 4);
    put16(4, buf.size() - 8);
    put16(8, 0);
    put16(10, sub.size() * 2);
    put16(12, sub.size() * 2 + 2);
    put16(14, print.size() * 2);
    std::memcpy(buf.data() + 16, sub.c_str(), sub.size() * 2 + 2);
    std::memcpy(buf.data() + 16 + sub.size() * 2 + 2, print.c_str(), print.size() * 2 + 2);
    DWORD ret = 0;
    const BOOL ok = ::DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, buf.data(),
                                      static_cast<DWORD>(buf.size()), nullptr, 0, &ret, nullptr);
    ::CloseHandle(h);
    return ok != FALSE;
}

// The layout of make_folder_links.sh: victim\keep.txt, victim\sub\deep.txt,
// work\a.txt, work\planted -> victim, worklink -> victim.
class FolderLinks : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* made = std::getenv("UPD_LINK_FIXTURE")) {
            m_dir = made;
        } else {
            m_scratch = std::make_unique<testsupport::ScratchDir>("hB_links");
            m_dir = m_scratch->path();
            testsupport::MakeDir(m_dir + "\\victim");
            testsupport::MakeDir(m_dir + "\\victim\\sub");
            testsupport::MakeDir(m_dir + "\\work");
            testsupport::WriteFileBytes(m_dir + "\\victim\\keep.txt", "keep\n");
            testsupport::WriteFileBytes(m_dir + "\\victim\\sub\\deep.txt", "deep\n");
            testsupport::WriteFileBytes(m_dir + "\\work\\a.txt", "a\n");
            ASSERT_TRUE(MakeJunction(m_dir + "\\work\\planted", m_dir + "\\victim"));
            ASSERT_TRUE(MakeJunction(m_dir + "\\worklink", m_dir + "\\victim"));
        }
        // The links must be seen as links, or the tests below prove nothing.
        for (const char* link : {"\\work\\planted", "\\worklink"}) {
            const DWORD a = ::GetFileAttributesW(platform::Wide(m_dir + link).c_str());
            ASSERT_NE(a, INVALID_FILE_ATTRIBUTES) << link;
            ASSERT_TRUE(a & FILE_ATTRIBUTE_REPARSE_POINT) << link;
        }
        ASSERT_TRUE(Exists(m_dir + "\\victim\\keep.txt"));
    }

    void ExpectVictimWhole() {
        EXPECT_TRUE(Exists(m_dir + "\\victim\\keep.txt"));
        EXPECT_TRUE(Exists(m_dir + "\\victim\\sub\\deep.txt"));
        EXPECT_EQ(testsupport::ReadFileBytes(m_dir + "\\victim\\keep.txt"), "keep\n");
    }

    std::string m_dir;
    std::unique_ptr<testsupport::ScratchDir> m_scratch;
};

}  // namespace

TEST_F(FolderLinks, RemovingTreesWithLinksLeavesTheTargetsAlone) {
    // Windows removes the links themselves; Wine's folder removal follows a
    // link and refuses (the target is not empty). Either way nothing that a
    // link points to may be deleted.
    RemoveDirectoryTree(m_dir + "\\worklink");
    RemoveDirectoryTree(m_dir + "\\work");
    ExpectVictimWhole();
    EXPECT_FALSE(Exists(m_dir + "\\work\\a.txt"));
}
