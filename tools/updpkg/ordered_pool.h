#pragma once
// A few threads that run jobs side by side and hand the results on in the
// order the jobs were given, with a bound on how far they run ahead.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace updpkg {

struct PoolLimits {
    // Jobs started whose results are not yet handed on and released, at most.
    std::size_t ahead = 64;
    // Their summed weight, at most; a job starts whatever its weight when no
    // other is in hand, so one heavy job never stalls the run.
    uint64_t weight = std::numeric_limits<uint64_t>::max();
};

// Run() takes jobs from next() in order, runs each on one of the threads and
// hands each result to take() in that same order, one at a time, on whichever
// thread finished the oldest job (so no thread wakes for every result). The
// first failure in that order ends the run: a job's exception or take()'s is
// rethrown by Run(), nothing after it is handed on, no further job starts,
// and the results already made are destroyed (a result that owns something
// releases it in its destructor). A job that notices Stopping() may throw to
// end early; its exception is never seen.
template <class Job, class Result>
class OrderedPool {
public:
    struct Tasks {
        // Called under the pool's lock, one job at a time; nullopt: no more.
        // Its exception counts as the failure of the job it would have given.
        std::function<std::optional<Job>()> next;
        // The weight of a job for PoolLimits::weight; none: every job weighs 0.
        std::function<uint64_t(const Job&)> weigh;
        // Called once on each thread, before its first job, for the function
        // that runs the jobs there (it may hold the thread's own state).
        std::function<std::function<Result(Job&)>()> worker;
        std::function<void(Result&)> take;
    };

    OrderedPool(unsigned threads, PoolLimits limits, Tasks tasks)
        : m_threads(threads == 0 ? 1 : threads), m_limits(limits), m_tasks(std::move(tasks)) {
        if (m_limits.ahead == 0) m_limits.ahead = 1;
        m_slots.resize(m_limits.ahead);
    }
    OrderedPool(const OrderedPool&) = delete;
    OrderedPool& operator=(const OrderedPool&) = delete;

    void Run() {
        std::vector<std::thread> threads;
        try {
            for (unsigned i = 0; i < m_threads; ++i) {
                threads.emplace_back([this] {
                    try {
                        Thread();
                    } catch (...) {  // no exception leaves a thread
                        Fail(std::current_exception());
                    }
                });
            }
        } catch (...) {
            Fail(std::current_exception());
        }
        for (std::thread& t : threads) t.join();
        m_slots.clear();  // results never handed on
        if (m_error) std::rethrow_exception(m_error);
    }

    // Whether the run is ending: a job may give up then.
    bool Stopping() const { return m_stop.load(std::memory_order_relaxed); }

private:
    struct Slot {
        std::optional<Result> result;
        std::exception_ptr error;
        uint64_t weight = 0;
        bool done = false;
    };

    Slot& SlotOf(uint64_t seq) { return m_slots[static_cast<std::size_t>(seq % m_slots.size())]; }

    void Fail(std::exception_ptr error) {
        std::lock_guard<std::mutex> lock(m_mutex);
        Stop(std::move(error));
    }

    // Under the lock.
    void Stop(std::exception_ptr error) {
        if (!m_error) m_error = std::move(error);
        m_stop = true;
        if (m_waiting) m_room.notify_all();
    }

    // Under the lock: takes the next job from next() once its result has room.
    void Fetch() {
        if (m_pending || m_end || m_fetched >= m_released + m_limits.ahead) return;
        try {
            m_pending = m_tasks.next();
            if (!m_pending) {
                m_end = true;
                if (m_waiting) m_room.notify_all();
                return;
            }
            m_pendingWeight = m_tasks.weigh ? m_tasks.weigh(*m_pending) : 0;
        } catch (...) {
            // The failure of the job it would have been, in its place.
            m_pending.reset();
            m_end = true;
            Slot& slot = SlotOf(m_fetched++);
            slot.error = std::current_exception();
            slot.done = true;
            if (m_waiting) m_room.notify_all();
        }
    }

    bool MayStart() const {
        return m_pending && (m_fetched == m_released || m_inHand + m_pendingWeight <= m_limits.weight);
    }

    void Thread() {
        std::function<Result(Job&)> work;
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            if (m_stop) break;
            Fetch();
            if (SlotOf(m_handed).done && !m_handing) {
                HandOn(lock);
                continue;
            }
            if (MayStart()) {
                const uint64_t seq = m_fetched++;
                Job job = std::move(*m_pending);
                m_pending.reset();
                m_inHand += m_pendingWeight;
                const uint64_t weight = m_pendingWeight;
                lock.unlock();
                std::optional<Result> result;
                std::exception_ptr error;
                try {
                    if (!work) work = m_tasks.worker();
                    result.emplace(work(job));
                } catch (...) {
                    error = std::current_exception();
                }
                lock.lock();
                Slot& slot = SlotOf(seq);
                if (result) slot.result.emplace(std::move(*result));
                slot.error = error;
                slot.weight = weight;
                slot.done = true;
                continue;
            }
            if (m_end && !m_pending) break;  // nothing left to start
            ++m_waiting;
            m_room.wait(lock);
            --m_waiting;
        }
    }

    // Under the lock, which it leaves while take() runs: hands on the
    // finished results at the head of the order.
    void HandOn(std::unique_lock<std::mutex>& lock) {
        m_handing = true;
        while (!m_stop && SlotOf(m_handed).done) {
            Slot& slot = SlotOf(m_handed);
            slot.done = false;
            if (slot.error) {
                Stop(std::exchange(slot.error, nullptr));
                break;
            }
            std::optional<Result> result;
            result.emplace(std::move(*slot.result));
            slot.result.reset();
            const uint64_t weight = slot.weight;
            ++m_handed;
            lock.unlock();
            std::exception_ptr error;
            try {
                m_tasks.take(*result);
            } catch (...) {
                error = std::current_exception();
            }
            result.reset();  // outside the lock
            lock.lock();
            // It counts until it is gone.
            ++m_released;
            m_inHand -= weight;
            if (m_waiting) m_room.notify_all();
            if (error) Stop(error);
        }
        m_handing = false;
    }

    const unsigned m_threads;
    PoolLimits m_limits;
    const Tasks m_tasks;

    std::mutex m_mutex;
    std::condition_variable m_room;  // threads waiting for a job or for room
    std::vector<Slot> m_slots;       // by sequence number, modulo ahead
    std::optional<Job> m_pending;    // taken from next(), not started yet
    uint64_t m_pendingWeight = 0;
    uint64_t m_fetched = 0;  // jobs taken from next()
    uint64_t m_handed = 0;   // results handed on
    uint64_t m_released = 0;  // results handed on and destroyed
    uint64_t m_inHand = 0;   // weight of the jobs started and not handed on
    unsigned m_waiting = 0;
    bool m_end = false;
    bool m_handing = false;
    std::atomic<bool> m_stop{false};  // set under the lock, read anywhere
    std::exception_ptr m_error;
};

}  // namespace updpkg
