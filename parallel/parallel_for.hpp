#pragma once

#include <functional>

namespace veltrix {

// Starts `count` fresh threads, thread s running worker(s), and joins them all in start order.
// If a worker throws, the first exception is rethrown here once every worker has finished; if a
// thread cannot be started, the workers already running are joined before that error propagates.
// No thread outlives the call.
void run_workers(int count, const std::function<void(int)>& worker);

// Runs chunk(first, last) for every non-empty chunk of [begin, end), one fresh thread per chunk;
// chunks are chunk_size(end - begin, get_thread_count(threads)) long and start at begin. The
// calling thread only starts and joins the workers.
void parallel_for_chunks(int begin, int end, int threads,
                         const std::function<void(int, int)>& chunk);

// Runs body(i) once for every i in [begin, end), ascending within each chunk of
// parallel_for_chunks. The one copy of `body` is shared by all workers.
template <class Body>
void parallel_for(int begin, int end, int threads, Body body) {
    parallel_for_chunks(begin, end, threads, [&body](int first, int last) {
        for (int i = first; i < last; ++i) body(i);
    });
}

// Worker-slot partitioning: parallel_for(0, T, T, ...) with a resolved T runs exactly T threads,
// one slot each, and slot s covers this block of the n vertices (empty past the last vertex).
struct Block {
    int first;
    int last;
};
Block slot_block(int n, int slots, int s);

}  // namespace veltrix
