// The owning-handle template and its aliases: each closes what it owns,
// keeps the last error across the close, and moves, releases and resets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi.h"
#include "platform/handle.h"
#include "platform/last_error.h"
#include "platform/regkey.h"
#include "platform/window.h"

namespace {

constexpr DWORD kMark = 0x2A2A;  // a last error no call here sets

// A handle kind whose "close" records the value and, as a failing close
// would, overwrites the last error.
std::vector<int> g_closed;
struct RecordingTraits {
    using Type = int;
    static Type None() { return 0; }
    static bool IsValid(Type h) { return h != 0; }
    static void Close(Type h) {
        g_closed.push_back(h);
        ::SetLastError(ERROR_INVALID_HANDLE);
    }
};
using Recorded = platform::Owned<RecordingTraits>;

// Closes the owner's handle with the last error set to the mark, which
// must survive; returns the handle that was closed.
template <class Owner>
typename Owner::Type CloseKeepingError(Owner& owner) {
    EXPECT_TRUE(owner);
    const auto raw = owner.get();
    ::SetLastError(kMark);
    owner.reset();
    EXPECT_EQ(::GetLastError(), kMark);
    EXPECT_FALSE(owner);
    return raw;
}

LRESULT CALLBACK PassOn(int code, WPARAM wp, LPARAM lp) { return ::CallNextHookEx(nullptr, code, wp, lp); }

}  // namespace

TEST(Owned, MovesReleasesAndResetsClosingEachHandleOnce) {
    g_closed.clear();
    {
        Recorded none;
        EXPECT_FALSE(none);
        EXPECT_EQ(none.get(), 0);

        Recorded a(1);
        Recorded b(std::move(a));  // a gives 1 up
        EXPECT_FALSE(a);
        EXPECT_EQ(b.get(), 1);

        Recorded c(2);
        c = std::move(b);  // 2 closed, 1 taken over
        EXPECT_EQ(g_closed, std::vector<int>({2}));
        EXPECT_EQ(c.get(), 1);

        EXPECT_EQ(c.release(), 1);  // the caller's now: never closed here
        EXPECT_FALSE(c);

        c.reset(3);
        c.reset(4);  // 3 closed
        *c.out() = 5;  // 4 closed, 5 written into the slot
        EXPECT_EQ(c.get(), 5);
        EXPECT_EQ(g_closed, std::vector<int>({2, 3, 4}));
    }
    EXPECT_EQ(g_closed, std::vector<int>({2, 3, 4, 5}));  // 5 closed on destruction
}

TEST(Owned, ClosingKeepsTheLastErrorEvenWhenTheCloseSetsAnother) {
    g_closed.clear();
    {
        Recorded r(7);
        ::SetLastError(kMark);
        r.reset(8);
        EXPECT_EQ(::GetLastError(), kMark);
        ::SetLastError(kMark);
        Recorded other(9);
        r = std::move(other);
        EXPECT_EQ(::GetLastError(), kMark);
        ::SetLastError(kMark);
    }
    EXPECT_EQ(::GetLastError(), kMark);  // the destructor's close too
    EXPECT_EQ(g_closed, std::vector<int>({7, 8, 9}));
}

TEST(Owned, EveryAliasClosesItsHandleAndKeepsTheLastError) {
    // Kernel handles; NULL and INVALID_HANDLE_VALUE are never closed.
    platform::Handle event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(CloseKeepingError(event), &flags));
    EXPECT_FALSE(platform::Handle(INVALID_HANDLE_VALUE));

    char temp[MAX_PATH] = {};
    ASSERT_NE(::GetTempPathA(MAX_PATH, temp), 0u);
    WIN32_FIND_DATAA data;
    platform::FindHandle find(::FindFirstFileA((std::string(temp) + "*").c_str(), &data));
    EXPECT_FALSE(::FindNextFileA(CloseKeepingError(find), &data));
    EXPECT_FALSE(platform::FindHandle());  // INVALID_HANDLE_VALUE, as FindFirstFileA fails with

    platform::RegKey key;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, key.out()), ERROR_SUCCESS);
    DWORD subkeys = 0;
    EXPECT_NE(::RegQueryInfoKeyA(CloseKeepingError(key), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);

    platform::Bitmap bitmap(::CreateBitmap(2, 2, 1, 32, nullptr));
    BITMAP bm;
    EXPECT_EQ(::GetObjectA(CloseKeepingError(bitmap), sizeof bm, &bm), 0);

    platform::MemoryDC dc(::CreateCompatibleDC(nullptr));
    EXPECT_EQ(::GetObjectType(CloseKeepingError(dc)), 0u);

    platform::WindowsHook hook(::SetWindowsHookExA(WH_CBT, PassOn, nullptr, ::GetCurrentThreadId()));
    EXPECT_FALSE(::UnhookWindowsHookEx(CloseKeepingError(hook)));

    platform::WindowHandle window(::CreateWindowExA(
        0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr));
    EXPECT_FALSE(::IsWindow(CloseKeepingError(window)));

    // Freed memory and an unloaded module cannot be looked at safely: that
    // they are given back once is the template's own test above.
    platform::LocalMemory<char> text;
    ASSERT_NE(::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, ERROR_ACCESS_DENIED, 0, reinterpret_cast<char*>(text.out()), 0,
                               nullptr),
              0u);
    CloseKeepingError(text);

    char system[MAX_PATH] = {};
    ASSERT_NE(::GetSystemDirectoryA(system, MAX_PATH), 0u);
    platform::Module module(
        ::LoadLibraryExA((std::string(system) + "\\version.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    CloseKeepingError(module);
}

TEST(LastErrorKeeper, RestoresTheErrorOfTheScopesStart) {
    ::SetLastError(kMark);
    {
        platform::LastErrorKeeper keep;
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(keep.error(), kMark);
    }
    EXPECT_EQ(::GetLastError(), kMark);
}
