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

// The end of the run of entries equal to *first.
const int* run_end(const int* first, const int* last) {
    const int* p = first;
    while (p != last && *p == *first) ++p;
    return p;
}

// Counts, for one vertex u at a time, the entries that u's upper list shares with the upper list
// of each of its upper neighbours v. Two ascending ranges share a value w as often as the range
// holding it fewer times holds it.
class CommonEntries {
public:
    explicit CommonEntries(const UpperLists& upper, int n) : upper_(upper), occurrences_(n, 0) {}

    // The triangles whose lowest vertex is u: for each entry v of u's upper list, the entries of
    // u's list above v that v's upper list holds too. Repeated entries of v count once each.
    std::int64_t triangles_at(int u) {
        const int* const end = upper_.end(u);
        for (const int* p = upper_.begin(u); p != end; ++p) ++occurrences_[*p];
        std::int64_t total = 0;
        for (const int* p = upper_.begin(u); p != end;) {
            const int v = *p;
            const int* above = run_end(p, end);
            total += (above - p) * shared(above, end, upper_.begin(v), upper_.end(v));
            p = above;
        }
        for (const int* p = upper_.begin(u); p != end; ++p) occurrences_[*p] = 0;
        return total;
    }

private:
    // Entries shared by u's list above v (`tail`) and v's upper list (`list`, all above v). A
    // short tail is galloped through the list; otherwise the list is walked and each of its
    // values looked up in u's occurrence counts.
    std::int64_t shared(const int* tail, const int* tail_end, const int* list, const int* list_end) const {
        std::int64_t matches = 0;
        if (8 * (tail_end - tail) < list_end - list) {
            for (; tail != tail_end && list != list_end; ++tail) {
                list = gallop(list, list_end, *tail);
                if (list != list_end && *list == *tail) ++matches, ++list;
            }
            return matches;
        }
        for (const int* run = list; run != list_end;) {
            const int* next = run_end(run, list_end);
            matches += std::min<std::ptrdiff_t>(next - run, occurrences_[*run]);
            run = next;
        }
        return matches;
    }

    const UpperLists& upper_;
    std::vector<int> occurrences_;  // of each value in the current u's upper list
};

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
        CommonEntries common(upper, n);
        std::int64_t total = 0;
        for (std::int64_t first; (first = cursor.fetch_add(kBatch, std::memory_order_relaxed)) < n;)
            for (int u = static_cast<int>(first), last = std::min<std::int64_t>(first + kBatch, n); u < last; ++u)
                total += common.triangles_at(u);
        partial[t] = total;
    });
    std::int64_t count = 0;
    for (std::int64_t p : partial) count += p;
    return count;
}

}  // namespace veltrix
