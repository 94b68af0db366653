// parallel_for and parallel_for_chunks: partitioning, threads, and exceptions from workers.
// Expectations are derived from the worker-count and chunking rules, so the program holds for any
// hardware thread count.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "check.hpp"
#include "parallel/parallel_for.hpp"
#include "parallel/threads.hpp"

namespace {

using namespace std::chrono_literals;
using Chunk = std::pair<long long, long long>;  // [first, last)

int hardware() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(n);
}

int workers_for(int threads) { return threads > 0 ? std::min(threads, hardware()) : hardware(); }

// The non-empty chunks of [begin, end) for a request of `threads`, in ascending order.
std::vector<Chunk> expected_chunks(int begin, int end, int threads) {
    std::vector<Chunk> chunks;
    const long long length = static_cast<long long>(end) - begin;
    if (length <= 0) return chunks;
    const int count = workers_for(threads);
    const long long step = (length + count - 1) / count;
    for (long long first = begin; first < end; first += step)
        chunks.emplace_back(first, std::min<long long>(first + step, end));
    return chunks;
}

void set_context(const std::string& what, int begin, int end, int threads) {
    check::context() = what + " begin=" + std::to_string(begin) + " end=" + std::to_string(end) +
                       " threads=" + std::to_string(threads);
}

// What each worker thread did, in call order.
class Recorder {
public:
    void add(int first, int last) {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_[std::this_thread::get_id()].emplace_back(first, last);
    }

    // Each thread must have run exactly one of the expected chunks, and no chunk may be missing or
    // run twice. Per-index calls of one thread must be consecutive ascending indices.
    void check_partition(const std::vector<Chunk>& expected) const {
        CHECK(calls_.count(std::this_thread::get_id()) == 0);
        CHECK_EQ(calls_.size(), expected.size());
        std::vector<Chunk> seen;
        for (const auto& [id, calls] : calls_) {
            const Chunk run(calls.front().first, calls.back().second);
            for (std::size_t k = 1; k < calls.size(); ++k)
                CHECK_EQ(calls[k].first, calls[k - 1].second);
            seen.push_back(run);
        }
        std::sort(seen.begin(), seen.end());
        CHECK(seen == expected);
    }

    std::size_t threads() const { return calls_.size(); }

private:
    std::mutex mutex_;
    std::map<std::thread::id, std::vector<std::pair<int, int>>> calls_;
};

void partition_cases() {
    const int cases[][3] = {
        {0, 10, 4},
        {0, 10, 8},
        {0, 9, 4},
        {0, 3, 8},
        {0, 1, -1},
        {5, 17, 3},
        {-7, 6, 2},
        {3, 4, 1},
        {0, 10, 1},
        {0, 1000, 0},
        {100, 1000, -3},
        {0, 1000, 64},
        {0, 100000, -1},
        {INT_MAX - 9, INT_MAX, -1},
        {INT_MIN, INT_MIN + 5, 3},
    };
    for (const auto& [begin, end, threads] : cases) {
        set_context("parallel_for", begin, end, threads);
        Recorder per_index;
        veltrix::parallel_for(begin, end, threads, [&](int i) { per_index.add(i, i + 1); });
        per_index.check_partition(expected_chunks(begin, end, threads));

        set_context("parallel_for_chunks", begin, end, threads);
        Recorder per_chunk;
        veltrix::parallel_for_chunks(begin, end, threads,
                                     [&](int first, int last) { per_chunk.add(first, last); });
        per_chunk.check_partition(expected_chunks(begin, end, threads));
    }
}

void empty_ranges() {
    const int cases[][3] = {{0, 0, 4}, {5, 5, 1}, {10, 3, 2}, {0, -5, -1}, {INT_MAX, INT_MIN, 2}};
    for (const auto& [begin, end, threads] : cases) {
        set_context("empty range", begin, end, threads);
        std::atomic<int> calls{0};
        veltrix::parallel_for(begin, end, threads, [&](int) { ++calls; });
        veltrix::parallel_for_chunks(begin, end, threads, [&](int, int) { ++calls; });
        CHECK_EQ(calls.load(), 0);
    }
}

// parallel_for(0, T, T, body) with a resolved T: exactly T threads, slot s run once by one of them,
// and all of them running at the same time (each waits until every slot has started).
void worker_slots() {
    for (const int requested : {-1, 0, 1, 2, hardware(), hardware() + 5, 1000}) {
        const int slots = veltrix::get_thread_count(requested);
        set_context("worker slots", 0, slots, requested);
        CHECK_EQ(slots, workers_for(requested));
        Recorder recorder;
        std::atomic<int> started{0};
        std::atomic<bool> all_started{true};
        veltrix::parallel_for(0, slots, slots, [&](int s) {
            recorder.add(s, s + 1);
            ++started;
            const auto deadline = std::chrono::steady_clock::now() + 10s;
            while (started.load() < slots) {
                if (std::chrono::steady_clock::now() > deadline) {
                    all_started = false;
                    return;
                }
                std::this_thread::sleep_for(1ms);
            }
        });
        recorder.check_partition(expected_chunks(0, slots, slots));
        CHECK_EQ(recorder.threads(), static_cast<std::size_t>(slots));
        CHECK(all_started.load());
    }
}

void slot_blocks() {
    const int cases[][2] = {{10, 4}, {9, 4}, {2, 4}, {0, 3}, {7, 1}, {5, 4}, {1000, 7}};
    for (const auto& [n, slots] : cases) {
        set_context("slot_block", 0, n, slots);
        const long long step = (static_cast<long long>(n) + slots - 1) / slots;
        for (int s = 0; s < slots; ++s) {
            const veltrix::Block block = veltrix::slot_block(n, slots, s);
            CHECK_EQ(block.first, std::min<long long>(s * step, n));
            CHECK_EQ(block.last, std::min<long long>(s * step + step, n));
        }
    }
}

// Every worker sees the one copy of the body that parallel_for took.
void one_shared_body() {
    check::context() = "shared body";
    struct Body {
        std::mutex* mutex;
        std::set<const void*>* copies;
        void operator()(int) const {
            std::lock_guard<std::mutex> lock(*mutex);
            copies->insert(this);
        }
    };
    std::mutex mutex;
    std::set<const void*> copies;
    veltrix::parallel_for(0, 64, -1, Body{&mutex, &copies});
    CHECK_EQ(copies.size(), 1u);
}

// A throwing chunk must not cut short the others: the exception arrives after every worker has
// finished. The first chunk works slowly and then sets a flag; the last chunk throws at once.
// (With one hardware thread both are the same chunk, in that order.)
void exception_after_join() {
    const int length = 2 * hardware();
    for (const bool chunks_form : {false, true}) {
        check::context() = chunks_form ? "exception after join, chunks" : "exception after join";
        std::atomic<bool> slow_done{false};
        auto work = [&](int first, int last) {
            if (first == 0) {
                std::this_thread::sleep_for(200ms);
                slow_done = true;
            }
            if (last == length) throw std::runtime_error("last chunk");
        };
        bool caught = false;
        try {
            if (chunks_form)
                veltrix::parallel_for_chunks(0, length, -1, work);
            else
                veltrix::parallel_for(0, length, -1, [&](int i) { work(i, i + 1); });
        } catch (const std::runtime_error& e) {
            caught = true;
            CHECK(slow_done.load());
            CHECK_EQ(std::string(e.what()), std::string("last chunk"));
        }
        CHECK(caught);
    }
}

// Several workers throw: the first exception thrown is the one rethrown, whatever its type, and
// the others neither replace it nor terminate the process.
void first_of_several_exceptions() {
    const int slots = hardware();
    if (slots < 2) return;  // needs two workers
    for (const bool chunks_form : {false, true}) {
        check::context() = chunks_form ? "several exceptions, chunks" : "several exceptions";
        std::atomic<bool> first_thrown{false};
        std::atomic<int> late{0};
        auto work = [&](int slot) {
            if (slot == 0) {
                first_thrown = true;
                throw slot;
            }
            const auto deadline = std::chrono::steady_clock::now() + 10s;
            while (!first_thrown.load() && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(1ms);
            std::this_thread::sleep_for(100ms);
            ++late;
            throw std::runtime_error("late");
        };
        try {
            if (chunks_form)
                veltrix::parallel_for_chunks(0, slots, slots, [&](int first, int) { work(first); });
            else
                veltrix::parallel_for(0, slots, slots, work);
            CHECK(!"no exception reached the caller");
        } catch (int slot) {
            CHECK_EQ(slot, 0);
            CHECK_EQ(late.load(), slots - 1);
        } catch (...) {
            CHECK(!"a later exception replaced the first");
        }
    }
}

}  // namespace

int main() {
    partition_cases();
    empty_ranges();
    worker_slots();
    slot_blocks();
    one_shared_body();
    exception_after_join();
    first_of_several_exceptions();
    check::context().clear();
    return check::report();
}
