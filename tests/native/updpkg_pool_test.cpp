// updpkg's ordered pool: results come back in order whatever the jobs'
// timing, the first failure in that order is the one reported, the threads
// stay within the read-ahead bounds, and every failure passes through.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tools/updpkg/ordered_pool.h"

namespace {

using updpkg::OrderedPool;
using updpkg::PoolLimits;

void Sleep(int microseconds) { std::this_thread::sleep_for(std::chrono::microseconds(microseconds)); }

// Counts the results alive, so that a test sees every one released.
struct Counted {
    static std::atomic<int> alive;
    int value;
    explicit Counted(int v) : value(v) { ++alive; }
    Counted(Counted&& other) noexcept : value(other.value) { ++alive; }
    ~Counted() { --alive; }
};
std::atomic<int> Counted::alive{0};

// Jobs 0..count-1 with random delays; failAt throws from job i after
// failDelay[i] microseconds.
struct Trial {
    int count = 200;
    unsigned threads = 4;
    PoolLimits limits;
    std::vector<int> delays;
    std::vector<int> taken;
    std::atomic<int> takers{0};
    bool overlapped = false;
    std::function<bool()> stopping;

    explicit Trial(unsigned seed) {
        std::mt19937 rng(seed);
        for (int i = 0; i < count; ++i) delays.push_back(static_cast<int>(rng() % 1500));
    }

    template <class Work>
    void Go(Work work, std::function<uint64_t(const int&)> weigh = {}) {
        int next = 0;
        OrderedPool<int, Counted> pool(
            threads, limits,
            {[&]() -> std::optional<int> {
                 if (next == count) return std::nullopt;
                 return next++;
             },
             weigh, [&] { return std::function<Counted(int&)>([&](int& i) { return Counted(work(i)); }); },
             [&](Counted& c) {
                 if (takers.fetch_add(1) != 0) overlapped = true;
                 taken.push_back(c.value);
                 Sleep(delays[static_cast<std::size_t>(c.value)] / 10);
                 takers.fetch_sub(1);
             }});
        stopping = [&pool] { return pool.Stopping(); };
        pool.Run();
    }
};

std::vector<int> Iota(int n) {
    std::vector<int> v;
    for (int i = 0; i < n; ++i) v.push_back(i);
    return v;
}

}  // namespace

TEST(UpdpkgPool, ResultsComeInOrderOneAtATimeWhateverTheDelays) {
    for (unsigned threads : {1u, 2u, 5u}) {
        Trial run(threads);
        run.threads = threads;
        run.limits.ahead = 7;
        run.Go([&](int i) {
            Sleep(run.delays[static_cast<std::size_t>(i)]);
            return i;
        });
        EXPECT_EQ(run.taken, Iota(run.count)) << threads << " threads";
        EXPECT_FALSE(run.overlapped);
        EXPECT_EQ(Counted::alive.load(), 0);
    }
}

TEST(UpdpkgPool, TheFirstFailureInOrderWinsAndNothingAfterItIsHandedOn) {
    Trial run(2);
    run.count = 60;
    std::atomic<bool> sawStop{false};
    try {
        // Job 40 fails at once, job 20 only after a while: 20 is reported.
        // Job 25 runs until it sees the run stopping.
        run.Go([&](int i) {
            if (i == 25) {
                for (int n = 0; n < 5000 && !sawStop; ++n) {
                    sawStop = run.stopping();
                    Sleep(1000);
                }
            }
            if (i == 40) throw std::runtime_error("forty");
            if (i == 20) {
                Sleep(20000);
                throw std::runtime_error("twenty");
            }
            Sleep(run.delays[static_cast<std::size_t>(i)]);
            return i;
        });
        FAIL() << "no failure reported";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "twenty");
    }
    EXPECT_EQ(run.taken, Iota(20));
    EXPECT_TRUE(sawStop);
    EXPECT_EQ(Counted::alive.load(), 0);  // results made after job 20 are released

    // A failure of take() ends the run the same way.
    Trial taking(3);
    taking.count = 50;
    int next = 0;
    std::vector<int> seen;
    OrderedPool<int, int> pool(3, {}, {[&]() -> std::optional<int> {
                                           if (next == taking.count) return std::nullopt;
                                           return next++;
                                       },
                                       {},
                                       [&] {
                                           return std::function<int(int&)>([&](int& i) {
                                               Sleep(taking.delays[static_cast<std::size_t>(i)]);
                                               return i;
                                           });
                                       },
                                       [&](int& i) {
                                           if (i == 9) throw std::logic_error("take");
                                           seen.push_back(i);
                                       }});
    EXPECT_THROW(pool.Run(), std::logic_error);
    EXPECT_EQ(seen, Iota(9));
    EXPECT_LE(next, 10 + 64);  // nothing fetched past the read-ahead
}

TEST(UpdpkgPool, StaysWithinItsReadAheadAndWeightButNeverStallsOnAHeavyJob) {
    Trial run(4);
    auto weight = [](int i) -> uint64_t { return i % 10 == 3 ? 250 : 30; };  // some heavier than the bound
    std::mutex mutex;
    int next = 0, started = 0, taken = 0, maxAhead = 0;
    uint64_t inHand = 0, maxInHand = 0;
    std::vector<int> seen;
    OrderedPool<int, int> pool(4, {5, 100},
                               {[&]() -> std::optional<int> {
                                    if (next == 120) return std::nullopt;
                                    return next++;
                                },
                                weight,
                                [&] {
                                    return std::function<int(int&)>([&](int& i) {
                                        {
                                            std::lock_guard<std::mutex> lock(mutex);
                                            inHand += weight(i);
                                            maxAhead = std::max(maxAhead, ++started - taken);
                                            // Only the oldest job may take the weight past the bound.
                                            if (i != taken) maxInHand = std::max(maxInHand, inHand);
                                        }
                                        // At least a millisecond, which Windows does not round to nothing.
                                        Sleep(1000 + run.delays[static_cast<std::size_t>(i)] / 3);
                                        return i;
                                    });
                                },
                                [&](int& i) {
                                    std::lock_guard<std::mutex> lock(mutex);
                                    seen.push_back(i);
                                    inHand -= weight(i);
                                    taken = i + 1;
                                }});
    pool.Run();
    EXPECT_EQ(seen, Iota(120));
    EXPECT_GT(maxAhead, 1);  // it does run ahead
    EXPECT_LE(maxAhead, 5);  // but no further than told
    EXPECT_LE(maxInHand, 100u);
}

TEST(UpdpkgPool, FailuresOfTheSourceAndOfAThreadsSetupArriveInTheirPlace) {
    // next() fails when asked for job 30: jobs 0..29 are handed on first.
    int next = 0;
    std::vector<int> seen;
    OrderedPool<int, int> pool(2, {8}, {[&]() -> std::optional<int> {
                                            if (next == 30) throw std::out_of_range("source");
                                            return next++;
                                        },
                                        {},
                                        [&] { return std::function<int(int&)>([](int& i) { return i * 2; }); },
                                        [&](int& i) { seen.push_back(i / 2); }});
    EXPECT_THROW(pool.Run(), std::out_of_range);
    EXPECT_EQ(seen, Iota(30));

    // A thread that cannot set itself up fails the job it took.
    std::atomic<int> setups{0};
    int jobs = 0;
    OrderedPool<int, int> broken(3, {4}, {[&]() -> std::optional<int> {
                                              if (jobs == 10) return std::nullopt;
                                              return jobs++;
                                          },
                                          {},
                                          [&]() -> std::function<int(int&)> {
                                              if (++setups > 0) throw std::invalid_argument("setup");
                                              return {};
                                          },
                                          [](int&) {}});
    EXPECT_THROW(broken.Run(), std::invalid_argument);

    // An empty source ends at once.
    OrderedPool<int, int> empty(2, {}, {[]() -> std::optional<int> { return std::nullopt; }, {},
                                        [] { return std::function<int(int&)>([](int& i) { return i; }); },
                                        [](int&) { ADD_FAILURE() << "nothing to take"; }});
    EXPECT_NO_THROW(empty.Run());
}
