#include "parallel/parallel_for.hpp"

#include <algorithm>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "parallel/threads.hpp"

namespace veltrix {

namespace {

// Keeps the first exception thrown by any worker.
class FirstError {
public:
    void run(const std::function<void(int)>& worker, int s) noexcept {
        try {
            worker(s);
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!error_) error_ = std::current_exception();
        }
    }
    void rethrow() const {
        if (error_) std::rethrow_exception(error_);
    }

private:
    std::mutex mutex_;
    std::exception_ptr error_;
};

void join_all(std::vector<std::thread>& workers) {
    for (auto& worker : workers) worker.join();
}

}  // namespace

void run_workers(int count, const std::function<void(int)>& worker) {
    FirstError error;
    std::vector<std::thread> workers;
    try {
        for (int s = 0; s < count; ++s)
            workers.emplace_back([&worker, &error, s] { error.run(worker, s); });
    } catch (...) {
        join_all(workers);
        throw;
    }
    join_all(workers);
    error.rethrow();
}

void parallel_for_chunks(int begin, int end, int threads,
                         const std::function<void(int, int)>& chunk) {
    const long long length = static_cast<long long>(end) - begin;
    if (length <= 0) return;
    const long long step = chunk_length(length, get_thread_count(threads));
    const int chunks = static_cast<int>((length + step - 1) / step);
    run_workers(chunks, [&](int k) {
        const long long first = begin + step * k;
        chunk(static_cast<int>(first),
              static_cast<int>(std::min(first + step, static_cast<long long>(end))));
    });
}

Block slot_block(int n, int slots, int s) {
    const long long step = chunk_size(n, slots);
    const long long first = std::min(step * s, static_cast<long long>(n));
    const long long last = std::min(first + step, static_cast<long long>(n));
    return {static_cast<int>(first), static_cast<int>(last)};
}

}  // namespace veltrix
