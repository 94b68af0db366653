#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "algorithms/algorithms.hpp"
#include "parallel/parallel_for.hpp"
#include "parallel/threads.hpp"

namespace veltrix {

namespace {

// For every vertex u, the entries of its list greater than u, ascending, repeats kept:
// entries[offsets[u] .. offsets[u + 1]). Every triangle u < v < w is found from these alone.
struct UpperLists {
    std::vector<std::size_t> offsets;
    std::vector<int> entries;

    const int* begin(int u) const { return entries.data() + offsets[u]; }
    const int* end(int u) const { return entries.data() + offsets[u + 1]; }
};

UpperLists upper_lists(const AdjacencyLists& adj, int workers) {
    const int n = static_cast<int>(adj.size());
    UpperLists upper{std::vector<std::size_t>(n + 1, 0), {}};
    for (int u = 0; u < n; ++u)
        upper.offsets[u + 1] = upper.offsets[u] + std::count_if(adj[u].begin(), adj[u].end(), [u](int v) { return v > u; });
    upper.entries.resize(upper.offsets[n]);
    parallel_for(0, n, workers, [&](int u) {
        int* out = upper.entries.data() + upper.offsets[u];
        std::copy_if(adj[u].begin(), adj[u].end(), out, [u](int v) { return v > u; });
        std::sort(out, upper.entries.data() + upper.offsets[u + 1]);
    });
    return upper;
}

// First position of [first, last) whose value is not below x, searched outward from `first`.
const int* gallop(const int* first, const int* last, int x) {
    std::ptrdiff_t step = 1;
    while (step < last - first && first[step] < x) {
        first += step;
        step *= 2;
    }
    return std::lower_bound(first, first + std::min(step, last - first), x);
}

// Matches of a merge of two ascending ranges: a value common to both counts as often as it occurs
// in the range that holds it fewer times. When one range is much longer, the shorter one is walked
// and the longer one galloped through, which finds the same matches.
std::int64_t common_entries(const int* a, const int* a_end, const int* b, const int* b_end) {
    if (a_end - a > b_end - b) {
        std::swap(a, b);
        std::swap(a_end, b_end);
    }
    std::int64_t matches = 0;
    if ((b_end - b) > 32 * (a_end - a)) {
        for (; a != a_end && b != b_end; ++a) {
            b = gallop(b, b_end, *a);
            if (b != b_end && *b == *a) ++matches, ++b;
        }
        return matches;
    }
    while (a != a_end && b != b_end) {
        if (*a == *b) ++matches, ++a, ++b;
        else if (*a < *b) ++a;
        else ++b;
    }
    return matches;
}

// Triangles found at their lowest vertex u: for each entry v of u's upper list, the entries of
// u's list above v met again in v's upper list. Repeated entries of v count once each.
std::int64_t triangles_at(const UpperLists& upper, int u) {
    std::int64_t total = 0;
    for (const int *p = upper.begin(u), *end = upper.end(u); p != end;) {
        const int v = *p;
        const int* above = std::upper_bound(p, end, v);
        total += (above - p) * common_entries(above, end, upper.begin(v), upper.end(v));
        p = above;
    }
    return total;
}

}  // namespace

// The count is an exact integer sum, so it does not depend on how vertices are shared out. Low
// vertex numbers tend to carry most of the work, so the slots take small batches of vertices from
// a shared cursor instead of fixed blocks, each adding into its own partial count.
std::int64_t triangle_count_parallel(const Graph& graph, int threads) {
    const int n = graph.vertices();
    const int slots = get_thread_count(threads);
    const UpperLists upper = upper_lists(graph.get_adj(), slots);

    constexpr int kBatch = 64;
    std::atomic<std::int64_t> cursor{0};
    std::vector<std::int64_t> partial(slots, 0);
    parallel_for(0, slots, slots, [&](int t) {
        std::int64_t total = 0;
        for (std::int64_t first; (first = cursor.fetch_add(kBatch, std::memory_order_relaxed)) < n;)
            for (int u = static_cast<int>(first), last = std::min<std::int64_t>(first + kBatch, n); u < last; ++u)
                total += triangles_at(upper, u);
        partial[t] = total;
    });
    std::int64_t count = 0;
    for (std::int64_t p : partial) count += p;
    return count;
}

}  // namespace veltrix
