#pragma once

#include <functional>

namespace veltrix {

// Runs chunk(first, last) once for every non-empty chunk of [begin, end), each on a fresh thread;
// chunks are chunk_size(end - begin, get_thread_count(threads)) long. Returns after every worker
// has been joined. The calling thread runs no chunk. If a worker throws, the first exception is
// rethrown here after all workers have finished; if a thread cannot be started, the workers
// already running are joined before that error propagates.
void parallel_for_chunks(int begin, int end, int threads, const std::function<void(int, int)>& chunk);

// Runs body(i) once for every i in [begin, end), ascending within each chunk of
// parallel_for_chunks. The one copy of `body` is shared by all workers.
template <class Body>
void parallel_for(int begin, int end, int threads, Body body) {
    parallel_for_chunks(begin, end, threads, [&body](int first, int last) {
        for (int i = first; i < last; ++i) body(i);
    });
}

// Worker-slot partitioning: an algorithm that runs parallel_for(0, T, T, ...) with a resolved T
// gets exactly T threads, one slot each, and slot s covers this block of the n vertices (empty
// for slots past the last vertex).
struct Block {
    int first;
    int last;
};
Block slot_block(int n, int slots, int s);

}  // namespace veltrix
