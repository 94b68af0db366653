#pragma once

namespace veltrix {

// Logical processors reported by the platform, 1 when it cannot tell.
int hardware_threads();

// Bytes of the last-level data cache the platform reports, 0 when it cannot tell.
long long last_level_cache_bytes();

// Worker count for a requested `threads`: a positive request capped at the hardware count,
// anything else the hardware count. Always at least 1.
int get_thread_count(int threads);

// How many of `workers` a call should use for `work` units (vertices plus edges it touches):
// enough that each worker gets at least kWorkPerWorker of them, since a small graph is done
// before extra threads would have started. Never less than 1 nor more than `workers`.
constexpr long long kWorkPerWorker = 1 << 15;
inline int workers_for(long long work, int workers) {
    const long long useful = work / kWorkPerWorker;
    return static_cast<int>(useful < 1 ? 1 : useful < workers ? useful : workers);
}

// Length of each equal contiguous chunk when n indices are cut for `threads` workers (the last
// chunk may be shorter): (n + threads - 1) / threads with truncating division, or n itself when
// `threads` is not positive. Computed in 64 bits, so no sum of two ints overflows.
inline long long chunk_length(long long n, int threads) {
    return threads > 0 ? (n + threads - 1) / threads : n;
}

// chunk_length for a range of int length; the result always fits an int.
inline int chunk_size(int n, int threads) { return static_cast<int>(chunk_length(n, threads)); }

}  // namespace veltrix
