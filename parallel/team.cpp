#include "parallel/team.hpp"

#include <algorithm>
#include <chrono>

#include "parallel/threads.hpp"

namespace veltrix {

namespace {

constexpr std::uint32_t kClosed = 0xffffffffu;  // a cursor index no pass reaches
// How long an idle thread spins before it sleeps. The serial steps between a kernel's passes (a
// frontier gathered, the small levels of a search) last tens to hundreds of microseconds, and a
// sleeping worker costs about as much again to wake, at the next pass or at the join; so a team
// that has a processor for each of its threads spins through them. A larger team spins briefly,
// as its spinning threads would hold processors that working ones wait for.
constexpr std::int64_t kSpinNs = 300'000;
constexpr std::int64_t kCrowdedSpinNs = 30'000;
constexpr std::int64_t kPollNs = 50'000'000;  // interrupt checks inside a pass, at most this often
constexpr long long kMinGrain = 64;
constexpr long long kChunksPerWorker = 8;

std::int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline void cpu_relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Spins for a short while and then sleeps until `value` no longer holds `old`; returns what it
// holds then. Spinning first keeps the wake-up of back-to-back passes off the kernel's path.
template <class T>
T await_change(const std::atomic<T>& value, T old, std::int64_t spin_ns) {
    const std::int64_t deadline = now_ns() + spin_ns;
    for (int spins = 0;; ++spins) {
        const T current = value.load(std::memory_order_acquire);
        if (current != old) return current;
        if ((spins & 63) == 63 && now_ns() > deadline) break;
        cpu_relax();
    }
    for (;;) {
        value.wait(old, std::memory_order_acquire);
        const T current = value.load(std::memory_order_acquire);
        if (current != old) return current;
    }
}

}  // namespace

Team::Team(int workers, Interrupt* interrupt)
    : size_(std::max(workers, 1)),
      interrupt_(interrupt),
      spin_ns_(size_ <= hardware_threads() ? kSpinNs : kCrowdedSpinNs) {
    threads_.reserve(size_ - 1);
    try {
        for (int worker = 1; worker < size_; ++worker)
            threads_.emplace_back([this, worker] { serve(worker); });
    } catch (...) {
        quit_.store(true, std::memory_order_relaxed);
        posted_.fetch_add(1, std::memory_order_release);
        posted_.notify_all();
        for (auto& thread : threads_) thread.join();
        throw;
    }
    last_poll_ns_ = now_ns();
}

Team::~Team() {
    quit_.store(true, std::memory_order_relaxed);
    posted_.fetch_add(1, std::memory_order_release);
    posted_.notify_all();
    for (auto& thread : threads_) thread.join();
}

std::int64_t Team::grain_for(std::int64_t length) const {
    if (size_ == 1 || length <= kMinGrain) return std::max<std::int64_t>(length, 1);
    const std::int64_t chunks = kChunksPerWorker * size_;
    return std::max<std::int64_t>(kMinGrain, (length + chunks - 1) / chunks);
}

void Team::serve(int worker) {
    std::uint32_t seen = 0;
    for (;;) {
        seen = await_change(posted_, seen, spin_ns_);
        if (quit_.load(std::memory_order_relaxed)) return;
        work(worker, seen);
    }
}

void Team::work(int worker, std::uint32_t pass) {
    while (run_one(worker, pass)) {
    }
}

// Claims the next task of `pass` and runs it; false once that pass has no task left to hand out.
bool Team::run_one(int worker, std::uint32_t pass) {
    std::uint64_t cursor = cursor_.load(std::memory_order_acquire);
    for (;;) {
        if (static_cast<std::uint32_t>(cursor >> 32) != pass) return false;
        const std::uint32_t t = static_cast<std::uint32_t>(cursor);
        if (t == kClosed || t >= static_cast<std::uint32_t>(tasks_.load(std::memory_order_relaxed)))
            return false;
        if (cursor_.compare_exchange_weak(cursor, cursor + 1, std::memory_order_acq_rel,
                                          std::memory_order_acquire))
            break;
    }
    execute(static_cast<int>(static_cast<std::uint32_t>(cursor)), worker);
    finish_task();
    return true;
}

void Team::execute(int t, int worker) {
    if (stop_.load(std::memory_order_relaxed)) return;
    try {
        trampoline_.load(std::memory_order_relaxed)(task_.load(std::memory_order_relaxed), t,
                                                    worker);
    } catch (...) {
        std::lock_guard<std::mutex> lock(error_mutex_);
        if (!error_) error_ = std::current_exception();
        stop_.store(true, std::memory_order_relaxed);
    }
}

void Team::finish_task() {
    // Read before counting: once the count is complete the caller may post the next pass.
    const int tasks = tasks_.load(std::memory_order_relaxed);
    if (done_.fetch_add(1, std::memory_order_acq_rel) + 1 == tasks) done_.notify_one();
}

void Team::poll_interrupt(bool force) {
    if (interrupt_ == nullptr) return;
    const std::int64_t now = now_ns();
    if (!force && now - last_poll_ns_ < kPollNs) return;
    last_poll_ns_ = now;
    try {
        interrupt_->check();
    } catch (...) {
        std::lock_guard<std::mutex> lock(error_mutex_);
        if (!error_) error_ = std::current_exception();
        stop_.store(true, std::memory_order_relaxed);
    }
}

void Team::run_erased(int tasks, void* task, Trampoline trampoline) {
    if (tasks <= 0) return;
    stop_.store(false, std::memory_order_relaxed);
    done_.store(0, std::memory_order_relaxed);
    tasks_.store(tasks, std::memory_order_relaxed);
    task_.store(task, std::memory_order_relaxed);
    trampoline_.store(trampoline, std::memory_order_relaxed);

    if (size_ == 1 || tasks == 1) {
        for (int t = 0; t < tasks; ++t) {
            execute(t, 0);
            poll_interrupt(false);
        }
    } else {
        const std::uint32_t pass = posted_.load(std::memory_order_relaxed) + 1;
        const std::uint64_t base = static_cast<std::uint64_t>(pass) << 32;
        cursor_.store(base, std::memory_order_release);
        posted_.store(pass, std::memory_order_release);
        posted_.notify_all();

        while (run_one(0, pass)) poll_interrupt(false);
        for (int done = done_.load(std::memory_order_acquire); done != tasks;
             done = done_.load(std::memory_order_acquire))
            await_change(done_, done, spin_ns_);
        // Closed between passes, so that a late claim can never pair an index of this pass with
        // the task fields of the next one.
        cursor_.store(base | kClosed, std::memory_order_relaxed);
    }
    poll_interrupt(true);

    std::exception_ptr error;
    {
        std::lock_guard<std::mutex> lock(error_mutex_);
        std::swap(error, error_);
    }
    if (error) std::rethrow_exception(error);
}

}  // namespace veltrix
