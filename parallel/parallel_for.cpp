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
    template <class Work>
    void run(Work&& work) noexcept {
        try {
            work();
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

void parallel_for_chunks(int begin, int end, int threads, const std::function<void(int, int)>& chunk) {
    const int count = get_thread_count(threads);
    const long long length = static_cast<long long>(end) - begin;
    if (length <= 0) return;
    const long long step = chunk_length(length, count);

    FirstError error;
    std::vector<std::thread> workers;
    try {
        for (int i = 0; i < count; ++i) {
            const long long first = begin + step * i;
            const long long last = std::min(first + step, static_cast<long long>(end));
            if (first >= last) break;
            workers.emplace_back([&chunk, &error, first, last] {
                error.run([&] { chunk(static_cast<int>(first), static_cast<int>(last)); });
            });
        }
    } catch (...) {
        join_all(workers);
        throw;
    }
    join_all(workers);
    error.rethrow();
}

Block slot_block(int n, int slots, int s) {
    const long long step = chunk_size(n, slots);
    const long long first = std::min(step * s, static_cast<long long>(n));
    const long long last = std::min(first + step, static_cast<long long>(n));
    return {static_cast<int>(first), static_cast<int>(last)};
}

}  // namespace veltrix
