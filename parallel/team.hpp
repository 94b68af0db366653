#pragma once

// A team of workers that lives for one algorithm call. The calling thread is worker 0; workers
// 1..size-1 are started once by the constructor, run every pass of the call and are joined by the
// destructor, so no thread outlives the team.
//
// A pass is a count of tasks handed out one at a time, in ascending order, from a shared cursor;
// it ends when every task has finished, not when every worker has arrived. A worker that the
// operating system has descheduled therefore delays a pass by at most the task it holds, and a
// pass of one task runs on the caller without waking anybody.

#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace veltrix {

// Asked by the calling thread between passes, and between tasks about every 50 ms, whether the
// call should stop; it stops the call by throwing. It never runs on another thread.
class Interrupt {
public:
    virtual void check() = 0;

protected:
    ~Interrupt() = default;
};

class Team {
public:
    // `workers` is a resolved count (at least 1); it may exceed the hardware count. If a thread
    // cannot be started, the ones already running are joined and the error propagates.
    explicit Team(int workers, Interrupt* interrupt = nullptr);
    Team(const Team&) = delete;
    Team& operator=(const Team&) = delete;
    ~Team();

    int size() const { return size_; }

    // Runs task(t, worker) once for every t in [0, tasks); `worker` is the index of the thread
    // running it, so per-worker scratch needs no lock. Returns when all tasks have finished. The
    // first exception a task throws (or the interrupt's) skips the tasks not yet started and is
    // rethrown here once the running ones have finished.
    template <class Task>
    void run(int tasks, Task&& task) {
        run_erased(tasks, &task,
                   [](void* f, int t, int worker) { (*static_cast<Task*>(f))(t, worker); });
    }

    // Runs chunk(first, last, worker) over [begin, end) cut into chunks of `grain` indices. The
    // indices are of the range's own type: vertex ranges are int, and a range of list entries or
    // of queued vertices, which may pass 2^31, is std::int64_t.
    template <class Index, class Chunk>
    void for_chunks(Index begin, Index end, std::type_identity_t<Index> grain, Chunk&& chunk) {
        if (end <= begin) return;
        const std::int64_t length = static_cast<std::int64_t>(end) - begin;
        const int tasks = static_cast<int>((length + grain - 1) / grain);
        run(tasks, [&](int t, int worker) {
            const std::int64_t first = begin + static_cast<std::int64_t>(grain) * t;
            const std::int64_t last = first + grain < end ? first + grain : end;
            chunk(static_cast<Index>(first), static_cast<Index>(last), worker);
        });
    }

    // Runs body(i) for every i in [begin, end), in chunks sized for this team (see grain_for).
    template <class Body>
    void for_each(int begin, int end, Body&& body) {
        for_chunks(begin, end, static_cast<int>(grain_for(end - begin)),
                   [&](int first, int last, int) {
                       for (int i = first; i < last; ++i) body(i);
                   });
    }

    // A chunk length that gives every worker several chunks of [0, length), so that the load
    // balances and a stalled worker holds back little, but no chunk too short to pay for its claim.
    // Never more than `length`, so a grain for an int range is an int.
    std::int64_t grain_for(std::int64_t length) const;

    // True once the running pass has been told to stop; long tasks may poll it and return early.
    bool stopping() const { return stop_.load(std::memory_order_relaxed); }

    // For tasks too long to wait for: on the calling thread (worker 0) it also asks the interrupt,
    // at most every 50 ms, which the team otherwise does only between tasks. `work` is what the
    // task has done since its last checkpoint, in steps of a few nanoseconds (list entries read);
    // the clock is read only once a run of them has passed, so a checkpoint after every small step
    // costs next to nothing. True when the task should return at once.
    bool checkpoint(int worker, std::int64_t work) {
        if (worker == 0 && (unpolled_work_ += work) >= kWorkPerPoll) {
            unpolled_work_ = 0;
            poll_interrupt(false);
        }
        return stopping();
    }

private:
    using Trampoline = void (*)(void*, int, int);

    void run_erased(int tasks, void* task, Trampoline trampoline);
    void work(int worker, std::uint32_t pass);
    bool run_one(int worker, std::uint32_t pass);
    void execute(int t, int worker);
    void finish_task();
    void poll_interrupt(bool force);
    void serve(int worker);

    const int size_;
    Interrupt* const interrupt_;
    const std::int64_t spin_ns_;  // how long an idle thread of this team spins before it sleeps
    std::vector<std::thread> threads_;

    // The pass in the high 32 bits and the next task in the low 32: a claim is a compare-and-swap
    // on both, so a worker that wakes late can never take a task of a later pass for its own.
    // Between passes the index is closed (all ones) while the task fields change.
    std::atomic<std::uint64_t> cursor_{0xffffffffu};
    std::atomic<int> tasks_{0};
    std::atomic<void*> task_{nullptr};
    std::atomic<Trampoline> trampoline_{nullptr};
    std::atomic<int> done_{0};
    std::atomic<std::uint32_t> posted_{0};  // pass number workers wait on; bumped to wake them
    std::atomic<bool> quit_{false};
    std::atomic<bool> stop_{false};

    std::mutex error_mutex_;
    std::exception_ptr error_;
    std::int64_t last_poll_ns_ = 0;
    static constexpr std::int64_t kWorkPerPoll = 1 << 14;
    std::int64_t unpolled_work_ = 0;  // worker 0's only
};

}  // namespace veltrix
