// What reading a journal or a SETUP.INI costs in memory at each one's size
// limit, counted by the allocator (every operator new of this program), so
// that the figures are the same on every machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "app/SetupInfo.h"
#include "app/profile.h"
#include "engine/install_journal.h"
#include "tests/support/reader_inputs.h"

namespace {
std::size_t g_now = 0, g_peak = 0;  // bytes held now, and the most since PeakOf began
constexpr std::size_t kHead = alignof(std::max_align_t);
}  // namespace

// Out of line: the compiler must not see the header taken off a block.
[[gnu::noinline]] void* operator new(std::size_t n) {
    void* p = std::malloc(n + kHead);
    if (!p) throw std::bad_alloc();
    *static_cast<std::size_t*>(p) = n;
    g_peak = std::max(g_peak, g_now += n);
    return static_cast<char*>(p) + kHead;
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    if (!p) return;
    char* block = static_cast<char*>(p) - kHead;
    g_now -= *reinterpret_cast<std::size_t*>(block);
    std::free(block);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

template <class Read>
std::size_t PeakOf(Read read) {
    const std::size_t before = g_peak = g_now;
    read();
    return g_peak - before;
}

TEST(ReaderCost, AJournalAtItsLimitCostsLittleMoreThanItsText) {
    // One record of 64 Mi tabs was a string for each: 3 GiB here, and
    // std::bad_alloc in the 32-bit SETUP.EXE, which then never undid the
    // interrupted run. Refused now before anything is made of it.
    struct {
        const char* name;
        std::string (*make)(std::size_t, std::size_t);
        const char* why;  // "" where the journal is read
    } cases[] = {
        {"one record of tabs", [](std::size_t n, std::size_t) { return testsupport::JournalOfTabs(n); }, "a line longer"},
        {"three-byte records", [](std::size_t n, std::size_t) { return testsupport::JournalOfTinyRecords(n); }, "more than"},
        {"the most records of real paths", testsupport::JournalOfFolders, ""},
    };
    for (auto& c : cases) {
        const std::string text = c.make(journal::kMaxBytes, 64);
        bool read = false;
        std::string why;
        const std::size_t peak = PeakOf([&] {
            journal::Journal j;
            read = journal::Parse(text, j, why) && journal::Validate(j, {"C:\\Zomi7"}, [](const std::string& p) { return p; }, why);
        });
        std::printf("%s: %zu bytes, peak %zu bytes\n", c.name, text.size(), peak);
        EXPECT_GT(text.size(), journal::kMaxBytes - 64) << c.name;
        EXPECT_EQ(read, *c.why == '\0') << c.name << ": " << why;
        EXPECT_NE(why.find(c.why), std::string::npos) << c.name << ": " << why;
        EXPECT_LE(peak, read ? 3 * text.size() : 4096) << c.name;
    }
}

TEST(ReaderCost, ASetupIniValueOfCommasAtItsLimitIsNoListOfThem) {
    // It was a list of 16 Mi names: 800 MiB here.
    const std::string ini = testsupport::SetupIniOfCommas(CSetupInfo::kMaxBytes);
    std::size_t faults = 0;
    const std::size_t peak = PeakOf([&] { faults = setupini::FaultLines(setupini::ReadDescriptionFrom(ini).faults).size(); });
    std::printf("%zu bytes, peak %zu bytes\n", ini.size(), peak);
    EXPECT_EQ(faults, 3u);  // the product's name and version, and the component
    EXPECT_LE(peak, 8 * ini.size());
}
